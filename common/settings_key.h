// The current user's key of the program's own settings: the window layout, the remembered
// server kind and the folder history.
#pragma once

inline constexpr const wchar_t* SettingsKey = L"Software\\Talvora\\Orvessa";
