// The enumerations of the service catalogue and its small sets.
//
// Usage:
//   TServiceState s = svc->ServiceState();                 // ordinal = SCM current-state code
//   if (svc->ControlsAccepted().Contains(caPauseContinue)) ...
//   DWORD bits = ServiceTypeCode(svc->ServiceTypes());   // set -> SCM code
//   TServiceTypes t = ServiceTypesOf(0x110);              // SCM code -> set
#pragma once

#include <cstdint>
#include <initializer_list>

// Ordinal = the SCM's current-state code; ssUnknown marks a status never read.
enum TServiceState : int {
    ssUnknown = 0,
    ssStopped = 1,
    ssStartPending = 2,
    ssStopPending = 3,
    ssRunning = 4,
    ssContinuePending = 5,
    ssPausePending = 6,
    ssPaused = 7
};

// The state of an SCM current-state code; ssUnknown for any other number.
constexpr TServiceState StateOf(unsigned long code)
{
    return code >= ssStopped && code <= ssPaused ? static_cast<TServiceState>(code) : ssUnknown;
}

// Starting, stopping, resuming or pausing.
constexpr bool IsPendingState(TServiceState state)
{
    return state == ssStartPending || state == ssStopPending || state == ssContinuePending || state == ssPausePending;
}

// Ordinal = the SCM's start-type code.
enum TServiceStartType : int { sstBoot = 0, sstSystem = 1, sstAuto = 2, sstDemand = 3, sstDisabled = 4 };

// Ordinal = the SCM's error-control code.
enum TServiceErrorControlType : int { ectIgnore = 0, ectNormal = 1, ectSevere = 2, ectCritical = 3 };

// Members of TServiceTypes; their SCM bits are 0x1, 0x2, 0x4, 0x8, 0x10, 0x20 and 0x100.
enum TServiceType : int {
    stKernelDriver,
    stFileSystemDriver,
    stAdapter,
    stRecognizerDriver,
    stWin32OwnProcess,
    stWin32ShareProcess,
    stInteractiveProcess
};

// Members of TServiceControlAccepteds; their SCM bits are 0x1, 0x2 and 0x4.
enum TServiceControlAccepted : int { caStop, caPauseContinue, caShutdown };

// A set of up to eight members in one byte, member n being bit n.
template <typename E>
class TSmallSet {
public:
    constexpr TSmallSet() = default;
    constexpr TSmallSet(std::initializer_list<E> members)
    {
        for (E m : members)
            FBits = static_cast<uint8_t>(FBits | Bit(m));
    }
    static constexpr TSmallSet FromByte(uint8_t bits)
    {
        TSmallSet s;
        s.FBits = bits;
        return s;
    }

    constexpr bool Contains(E m) const { return (FBits & Bit(m)) != 0; }
    constexpr void Include(E m) { FBits = static_cast<uint8_t>(FBits | Bit(m)); }
    constexpr void Exclude(E m) { FBits = static_cast<uint8_t>(FBits & ~Bit(m)); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr uint8_t Byte() const { return FBits; }
    constexpr bool operator==(const TSmallSet&) const = default;

private:
    static constexpr uint8_t Bit(E m) { return static_cast<uint8_t>(1u << static_cast<int>(m)); }
    uint8_t FBits = 0;
};

using TServiceTypes = TSmallSet<TServiceType>;
using TServiceControlAccepteds = TSmallSet<TServiceControlAccepted>;

// Conversions between the SCM's codes and the sets (other bits are dropped).
unsigned long ServiceTypeCode(TServiceTypes types);
TServiceTypes ServiceTypesOf(unsigned long code);
unsigned long ControlsAcceptedCode(TServiceControlAccepteds accepted);
TServiceControlAccepteds ControlsAcceptedOf(unsigned long code);
