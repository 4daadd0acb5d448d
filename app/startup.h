// Start-up errors: what fails during static initialisation is kept here and reported to the
// user by the entry before the process ends.
#pragma once

#include <string>

void RecordStartupError(const std::wstring& message) noexcept;
// The first recorded start-up error, or null.
const std::wstring* PendingStartupError() noexcept;
// Shows a failed start-up to the user: a message box with the error icon, titled with the
// application title.
void ReportStartupFailure(const std::wstring& message) noexcept;

constexpr const wchar_t* ApplicationTitle = L"Talvora ERP Service Manager";
