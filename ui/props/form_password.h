// The account password prompt: two masked fields, "Password" and "Confirm", of at most 255
// characters each, with OK and Cancel. Two texts that differ are refused with a message and
// the prompt comes again holding them.
#pragma once

#include "ui/base/dialog_window.h"

#include <string>

class TFormPassword : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormPassword";
    static constexpr int MaxLength = 255;

    enum : int {
        IdLabelPassword = 100,
        IdEditPassword,
        IdLabelConfirm,
        IdEditConfirm,
        IdBtnOk = IDOK,
        IdBtnCancel = IDCANCEL,
    };

    TFormPassword();

    std::wstring Password() const;
    std::wstring Confirmation() const;
    void SetTexts(const std::wstring& password, const std::wstring& confirmation);

protected:
    void FormShow() override;
};

// Shows the prompt until two equal texts are confirmed (true, password set; both empty is an
// empty password) or it is cancelled (false). A mismatch shows "Password confirmation
// mismatch." with the given caption and the error icon.
bool AskAccountPassword(std::wstring& password, const std::wstring& messageCaption);
