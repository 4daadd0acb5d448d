// What the failures of a connection to another computer's Service Control Manager say.
// (TServiceList::Connect, the connection itself, is in connection.cpp as well.)
#pragma once

#include <windows.h>

#include <exception>
#include <string>

// The message for a failed connection to the computer (the error being handled, in a catch
// block): unknown or unreachable, refused, or another failure; the system's text follows.
std::wstring ConnectFailureText(const std::wstring& machineName, const std::exception& error);

// The message for a connection lost while a read, a refresh or a command ran.
std::wstring ConnectionLostText(const std::wstring& machineName, const std::wstring& detail);

// The reason shown for a computer that has not answered a read or a refresh for a while.
std::wstring NoAnswerText(const std::wstring& machineName);
