// The test service's whole life as a process: its options read from the command line, then the
// service dispatcher run until the service has stopped.
#pragma once

// Returns the process's exit code: 0 after the service stopped, 1 when the process was not
// started by the Service Control Manager, 2 for an unknown option (lenient: unknown options
// are passed over).
int RunTestService(bool lenient);
