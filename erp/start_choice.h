// How a service starts, as the properties dialog offers it: one row per choice, with the start
// type it gives an installed service and the switches that ask the installers for it. The
// dialog's start buttons, the reconfiguration and both installers' command lines take it from
// here.
#pragma once

#include "services/service_types.h"

#include <cstddef>
#include <iterator>
#include <optional>

enum class TStartChoice { Automatic, Manual, Disabled };

struct TStartChoiceRow {
    TStartChoice Choice;
    TServiceStartType StartType;
    const wchar_t* DbsvcSwitch;      // dbsvc.exe's
    const wchar_t* AppServerSwitch;  // the ERP server's own installer's
};

// In the order of TStartChoice.
inline constexpr TStartChoiceRow StartChoices[] = {
    {TStartChoice::Automatic, sstAuto, L"-s automatic", L"/auto"},
    {TStartChoice::Manual, sstDemand, L"-s manual", L"/manual"},
    {TStartChoice::Disabled, sstDisabled, L"-s disabled", L"/disabled"},
};

constexpr bool StartChoicesInOrder()
{
    for (std::size_t i = 0; i < std::size(StartChoices); ++i)
        if (static_cast<std::size_t>(StartChoices[i].Choice) != i)
            return false;
    return true;
}
static_assert(StartChoicesInOrder(), "each choice's row at the index of its value");

// The choice's row; a value outside the choices gives Automatic's.
constexpr const TStartChoiceRow& StartChoiceRow(TStartChoice choice)
{
    const auto index = static_cast<std::size_t>(choice);
    return StartChoices[index < std::size(StartChoices) ? index : 0];
}

// The choice that shows a start type; none for a boot or system start, which the dialog does
// not offer.
constexpr std::optional<TStartChoice> StartChoiceOf(TServiceStartType startType)
{
    for (const TStartChoiceRow& row : StartChoices)
        if (row.StartType == startType)
            return row.Choice;
    return std::nullopt;
}
