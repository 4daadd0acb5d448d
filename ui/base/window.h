// The base of every window of the program: the window procedure trampoline (this stored at
// WM_NCCREATE, cleared at WM_NCDESTROY), controls created from a table, anchors, modal
// showing (owner disabled, own loop, result), closing and the default font.
#pragma once

#include "ui/base/gui_layer.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
constexpr unsigned akTopLeft = akLeft | akTop;
constexpr unsigned akAll = akLeft | akTop | akRight | akBottom;

// Modal results, as the buttons give them.
enum TModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrYes = IDYES, mrNo = IDNO };

// One control of a window: reads like a component table.
struct TControlSpec {
    int Id;
    const wchar_t* Name;
    const wchar_t* ClassName;
    const wchar_t* Caption;
    DWORD Style;  // WS_CHILD | WS_VISIBLE are added
    DWORD ExStyle;
    int Left, Top, Width, Height;  // pixels, in the parent's client area
    unsigned Anchors = akTopLeft;
};

struct TFormSpec {
    const wchar_t* ClassName;  // one window class per form
    const wchar_t* Caption;
    int ClientWidth;
    int ClientHeight;
    DWORD Style = WS_OVERLAPPEDWINDOW;
    DWORD ExStyle = 0;
    const wchar_t* Name = nullptr;  // the component name, under which the window keeps its layout
};

class TWindow {
public:
    TWindow() = default;
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return FHandle; }
    static TWindow* FromHandle(HWND wnd);
    // The component name ("FormMain"); empty when the form has none.
    const std::wstring& Name() const { return FName; }
    // The window's caption.
    std::wstring Caption() const;

    void Show();
    void Hide();
    // Shows the window modally: every other window of the application is disabled, a loop
    // runs until ModalResult is set, the result is returned.
    int ShowModal();
    int ModalResult() const { return FModalResult; }
    // Setting a result ends a modal loop (the loop is woken up to see it).
    void SetModalResult(int result);
    // Asks the window to close, as its close button does.
    void Close();

    // Called by the message loop for each message meant for this window or its controls;
    // true when the message was handled (shortcuts, dialog keys).
    virtual bool PreTranslateMessage(MSG& msg);

protected:
    // Creates the window with the given client size, owned by the application window.
    void CreateForm(const TFormSpec& layout, HWND owner = nullptr);
    // Creates the controls of the table, with the window's font.
    void CreateControls(const TControlSpec* table, size_t count, HWND parent = nullptr);
    HWND Control(int id) const;

    // The window's own messages; the default goes to DefWindowProcW. Exceptions never leave it.
    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Events: the first show, closing (return false to refuse) and the end of the window.
    virtual void FormShow() {}
    virtual bool FormCloseQuery() { return true; }
    virtual void FormClose() {}
    virtual void FormDestroy() {}

    bool FModal = false;

private:
    static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    void ApplyAnchors();

    struct Anchored {
        HWND Wnd;
        RECT Start;
        unsigned Anchors;
    };

    HWND FHandle = nullptr;
    std::wstring FName;
    int FModalResult = mrNone;
    SIZE FDesignClient{};
    std::vector<Anchored> FAnchored;
    std::map<int, HWND> FControls;
};

// Registers a window class of the program's module once (a class already there is kept): the
// program's icon (the system's when the module has none), the arrow cursor, the given
// procedure, class styles and background.
void RegisterWindowClass(const wchar_t* className, WNDPROC proc, UINT style = 0, HBRUSH background = nullptr);

// The height to create a font of the given size in points with, on the screen (negative: the
// characters' height, as CreateFontW takes it).
int FontHeightOfPoints(int points);

// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child);

// Centres a window on the primary display as a whole (not the work area).
void CentreOnScreen(HWND wnd);
