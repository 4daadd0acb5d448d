// Answers the program's message boxes in tests and records what was asked.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct AskedMessageBox {
    std::wstring Text;
    std::wstring Caption;
    UINT Flags;
};

// While alive, every AppMessageBox is answered from the queue of answers (IDOK when it runs
// dry) and recorded in Asked.
class ScriptedMessageBoxes {
public:
    explicit ScriptedMessageBoxes(std::deque<int> answers = {});
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void Answer(int button) { FAnswers.push_back(button); }
    std::vector<AskedMessageBox> Asked;

private:
    std::deque<int> FAnswers;
};

// The message box this thread shows now, if any (a visible dialog of the message boxes' class).
HWND ThreadMessageBox();
