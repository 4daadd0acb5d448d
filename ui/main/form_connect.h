// The dialog of "Connect to another computer...": "Local computer" or "Another computer" with a
// name box that offers the last ten names connected to (kept in the settings key). OK with a
// name that cannot be a computer's says why and keeps the dialog open.
//
// Usage:
//   std::wstring machine = list.Manager().MachineName();   // empty: this computer
//   if (AskComputer(machine)) list.Connect(machine);        // empty again for this computer
#pragma once

#include "ui/base/dialog_window.h"

#include <string>
#include <vector>

class TFormConnect : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormConnect";
    static constexpr const wchar_t* Title = L"Connect to another computer";

    enum : int {
        IdLocal = 100,
        IdRemote,
        IdName,
        IdNameHint,
        IdBtnOk = IDOK,
        IdBtnCancel = IDCANCEL,
    };

    // machineName: the computer connected now (empty: this one); history: the names offered.
    TFormConnect(const std::wstring& machineName, const std::vector<std::wstring>& history);

    // Once OK has closed the dialog: the computer chosen, empty for this one.
    const std::wstring& Chosen() const { return FChosen; }

protected:
    void FormShow() override;
    void BtnOkClick() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::wstring FChosen;
};

// The names remembered, newest first, at most ComputerHistorySize.
constexpr size_t ComputerHistorySize = 10;
std::vector<std::wstring> LoadComputerHistory();
void SaveComputerHistory(const std::vector<std::wstring>& names);
// The name put first, an earlier entry of it (letter case ignored) dropped, the list cut to
// ComputerHistorySize.
void AddToComputerHistory(std::vector<std::wstring>& names, const std::wstring& name);

// Shows the dialog; true when OK chose a computer (machineName set, empty for this computer, a
// name of this computer counting as this computer), which then heads the history.
bool AskComputer(std::wstring& machineName);
