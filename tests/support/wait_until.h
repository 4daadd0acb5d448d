// Waiting for a condition in tests: polls with a generous bound while this thread's messages
// keep flowing (windows of the test answer the program, monitors reach the GUI thread).
#pragma once

#include <windows.h>

#include <functional>

// Polls until done() holds or timeoutMs pass, processing this thread's messages through the
// application's loop meanwhile; returns done().
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000, DWORD stepMs = 25);
