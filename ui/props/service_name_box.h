// The Service name box of the properties dialog. Only ASCII letters, digits and "_" get in,
// whichever way the text comes (typed, pasted, set by another program, or an input method); a
// text longer than a service name may be is refused whole with a message. The dialog's own
// texts ("<default>", an installed service's name) are set as they are, and "<default>" is a
// whole: any edit of it leaves only what was typed or pasted.
//
// Usage (the dialog's way): Attach once the box exists, Changed on EN_CHANGE, Entered on
// EN_SETFOCUS, SetText for the dialog's own text, Detach before the box is destroyed.
#pragma once

#include <windows.h>

#include <string>

// The most characters a service name may have.
inline constexpr size_t MaxServiceNameLength = 256;

// Key filter of the Service name box: backspace, ASCII letters and digits and "_".
bool IsServiceNameChar(wchar_t c);
// The text with every character the key filter refuses dropped (backspace too).
std::wstring FilterServiceName(const std::wstring& text);
// At most MaxServiceNameLength characters, each an ASCII letter, a digit or "_".
bool IsValidServiceName(const std::wstring& name);

class TServiceNameBox {
public:
    // caption: the caption of the box's refusal message.
    explicit TServiceNameBox(const wchar_t* caption) : FCaption(caption) {}
    ~TServiceNameBox() { Detach(); }
    TServiceNameBox(const TServiceNameBox&) = delete;
    TServiceNameBox& operator=(const TServiceNameBox&) = delete;

    void Attach(HWND box);
    void Detach();
    // The box's text changed: what the filter refuses goes, the caret stays where it was.
    void Changed();
    // The box got the focus: the first time, its whole text is selected.
    void Entered();
    // Sets the box's text as the dialog's own (not filtered).
    void SetText(const std::wstring& text);

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref);

    const wchar_t* FCaption;
    HWND FBox = nullptr;
    bool FSetting = false;
    std::wstring FLast;  // the text as last accepted
    bool FEntered = false;
};
