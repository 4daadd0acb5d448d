// The dialog of "Computers of the installation...": the computers whose services the list
// shows, in their order (this computer first, unless removed), with a name box to add one
// (the same checks as any computer's name, no computer twice, at most 32) that offers the last
// ten names typed, and buttons that remove the selected computer and move it up or down. The
// last computer cannot be removed. OK with a name typed and not added adds it first.
//
// Usage:
//   std::vector<std::wstring> computers = list.Installation().Computers();
//   if (AskInstallationComputers(computers)) list.SetComputers(computers);
#pragma once

#include "ui/base/dialog_window.h"

#include <string>
#include <vector>

class TFormComputers : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormComputers";
    static constexpr const wchar_t* Title = L"Computers of the installation";

    enum : int {
        IdListLabel = 100,
        IdList,
        IdRemove,
        IdUp,
        IdDown,
        IdNameLabel,
        IdName,
        IdAdd,
        IdBtnOk = IDOK,
        IdBtnCancel = IDCANCEL,
    };

    // computers: the installation's now (empty name: this computer); history: the names offered.
    TFormComputers(const std::vector<std::wstring>& computers, const std::vector<std::wstring>& history);

    // The computers as the dialog holds them.
    const std::vector<std::wstring>& Computers() const { return FComputers; }
    // The names typed and added, newest first (the history to keep).
    const std::vector<std::wstring>& History() const { return FHistory; }

protected:
    void FormShow() override;
    void BtnOkClick() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Adds the name box's computer; false (having said why) when it cannot be added.
    bool AddTyped();
    void RemoveSelected();
    void MoveSelected(int by);
    // The list box shows the computers, the one at index selected; the buttons follow.
    void ShowComputers(int selected);
    void UpdateButtons();
    void FillHistory();

    std::vector<std::wstring> FComputers;
    std::vector<std::wstring> FHistory;
};

// Shows the dialog; true when OK chose the computers (set in computers). The names added head
// the kept history, also when the dialog is cancelled.
bool AskInstallationComputers(std::vector<std::wstring>& computers);
