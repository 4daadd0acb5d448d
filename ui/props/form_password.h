// The account password prompt: two masked fields, "Password" and "Confirm", of at most 255
// characters each, with OK and Cancel. Two texts that differ are refused with a message and
// the prompt comes again holding them; a longer password is refused with a message too, never
// cut to the fields' length.
#pragma once

#include "ui/base/dialog_window.h"

#include <string>

class TFormPassword : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormPassword";
    static constexpr int MaxLength = 255;
    static constexpr const wchar_t* TooLongText = L"The password cannot be longer than 255 characters.";

    enum : int {
        IdLabelPassword = 100,
        IdEditPassword,
        IdLabelConfirm,
        IdEditConfirm,
        IdBtnOk = IDOK,
        IdBtnCancel = IDCANCEL,
    };

    // messageCaption: the caption of the messages the prompt shows.
    explicit TFormPassword(std::wstring messageCaption = L"Service properties");

    std::wstring Password() const;
    std::wstring Confirmation() const;
    void SetTexts(const std::wstring& password, const std::wstring& confirmation);

protected:
    void FormShow() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // A field's input went past its length (typed, pasted, however it came): the field is
    // emptied and the refusal shown once the field has finished the input.
    void RefuseTooLong(int id);

    std::wstring FMessageCaption;
};

// Shows the prompt until two equal texts are confirmed (true, password set; both empty is an
// empty password) or it is cancelled (false). A mismatch shows "Password confirmation
// mismatch.", a text longer than 255 characters TooLongText, with the given caption and the
// error icon.
bool AskAccountPassword(std::wstring& password, const std::wstring& messageCaption);
