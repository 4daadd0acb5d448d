// The texts of the main window's status bar: the computer name and domain\user.
#pragma once

#include <string>

// GetComputerNameW with a buffer of 260 characters; empty when the call fails.
std::wstring ComputerNameText();
// domain + "\" + user: the user from GetUserNameW, the domain from the process token's user
// looked up on the local system. A token that cannot be opened leaves the domain empty; a
// failing token query raises.
std::wstring AccountText();
