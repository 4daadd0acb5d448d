// Wine's Service Control Manager keeps every service's dependencies in the service's registry
// key (HKLM\SYSTEM\CurrentControlSet\Services\<name>, values "DependOnService" and
// "DependOnGroup") but answers as if there were none: QueryServiceConfigW gives an empty
// dependency list and EnumDependentServicesW succeeds with no services. Under Wine the program
// reaches the manager through this adapter, which completes those two answers from the keys,
// as Windows gives them, keeps the stored dependencies through a change that leaves them
// alone, and passes every other call through unchanged.
//
// Usage (at start-up):
//   IServiceControlManager& scm = RunsUnderWine() ? WineServiceControlManager() : SystemServiceControlManager();
//
// - QueryServiceConfigW: an empty dependency list is replaced by the key's services, then its
//   groups as "+group" entries, each in stored order; everything is packed into the caller's
//   buffer, and a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and the size needed.
// - EnumDependentServicesW: when the manager lists none, every service that depends on this
//   one, by name ("DependOnService") or through this one's load-order group ("DependOnGroup"),
//   directly or through other dependants, in the order in which they can be stopped (a service
//   after every service that depends on it), filtered by the state asked for; packed
//   ENUM_SERVICE_STATUSW records, or ERROR_MORE_DATA with the bytes needed.
// - The keys are indexed once for a connection (OpenSCManagerW through the adapter) and its
//   questions answered from the index, the services and their states enumerated afresh for
//   each; the index goes when the connection enumerates the services itself (a new read), when
//   a service is created, changed or deleted through the adapter, when the connection is
//   closed, or when it is a second old.
// - ChangeServiceConfigW without a dependency list ("unchanged"), which Wine takes as an empty
//   one, passes the stored list, so that the dependencies stay.
// - A stored value of another kind than text counts as no entries; data of odd size keeps its
//   whole characters, data without its terminating NUL keeps its last entry.
// - OpenSCManagerW with another computer's name fails with RPC_S_SERVER_UNAVAILABLE (1722), as
//   for a computer that cannot be reached: Wine's manager ignores the name and would answer
//   with this computer's services. This computer's own names (IsThisComputerName) pass.
// - Only handles opened through the adapter are completed (it remembers each one's service name
//   and access until it is closed); any other handle is answered by the manager alone.
// Where Wine's manager answers otherwise than Windows and the adapter passes its answer on (the
// program does not rely on the difference; the README's section on Wine lists them too):
// - ChangeServiceConfigW and CreateServiceW store dependencies in a circle, through services or
//   groups; Windows refuses them with ERROR_CIRCULAR_DEPENDENCY (1059).
// - A display name is refused as in use (ERROR_DUPLICATE_SERVICE_NAME, 1078) only when it is
//   another service's display name; Windows refuses another service's name as well.
// - StartServiceW starts the service alone; Windows first starts the services and groups it
//   needs, and refuses with ERROR_SERVICE_DEPENDENCY_FAIL (1068) when one of them cannot run,
//   ERROR_SERVICE_DEPENDENCY_DELETED (1075) when one does not exist.
// - ChangeServiceConfigW and CreateServiceW take any account name and any password; Windows
//   refuses an unknown account with ERROR_INVALID_SERVICE_ACCOUNT (1057).
// - A second STOP to a service that has not yet reported it is stopping ends its process and
//   answers ERROR_SERVICE_CANNOT_ACCEPT_CTRL (1061); Windows sends the control again.
// Controls in pending states (1061, and 1052 for a STOP that a starting service does not
// accept), a process that does not report in time (1053) and the interactive flag with an
// account other than LocalSystem (87) are answered as on Windows.
// The adapter is safe to use from several threads at once.
#pragma once

#include "services/scm_api.h"

// True when the program runs under Wine (its ntdll exports wine_get_version).
bool RunsUnderWine();

// The adapter over advapi32's manager; made on first use and never destroyed (monitor threads
// may still use it while the process ends).
IServiceControlManager& WineServiceControlManager();
