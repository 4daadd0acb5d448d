// The base of every window of the program: the window procedure trampoline (this stored at
// WM_NCCREATE, cleared at WM_NCDESTROY), controls created from a table, anchors, modal
// showing (owner disabled, own loop, result), closing and the default font.
//
// Sizes in the tables are designed at 96 dots per inch; the window lays itself out at the
// screen's dpi (the form, every control of a table, the minimum size and the font scale with
// it) and again when the system moves it to a screen of another dpi (WM_DPICHANGED).
#pragma once

#include "ui/base/gui_handle.h"
#include "ui/base/gui_layer.h"

#include <windows.h>

#include <functional>
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
    int Left, Top, Width, Height;  // pixels at 96 dpi, in the parent's client area
    unsigned Anchors = akTopLeft;
};

struct TFormSpec {
    const wchar_t* ClassName;  // one window class per form
    const wchar_t* Caption;
    int ClientWidth;   // pixels at 96 dpi
    int ClientHeight;
    DWORD Style = WS_OVERLAPPEDWINDOW;
    DWORD ExStyle = 0;
    const wchar_t* Name = nullptr;  // the component name, under which the window keeps its layout
    // The smallest outer size the user can give the window, at 96 dpi; 0 for no limit.
    int MinWidth = 0;
    int MinHeight = 0;
};

// The dpi the tables are designed at.
constexpr int DesignDpi = 96;

// What the windows need of the application that runs them, handed over by the application
// (TApplication) when it is made: the owner of the top-level windows, one step of the message
// loop for modal loops, whether the loop is ending, what follows the main form's end, and the
// default report of the exception being handled. Without one, windows have no owner, a modal
// loop waits for messages itself, and an exception is dropped.
struct TFormHost {
    std::function<HWND()> Owner;
    std::function<void()> NextMessage;
    std::function<bool()> LoopEnding;
    std::function<void()> MainFormEnded;
    std::function<void()> ReportError;  // must not raise
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

    // The dots per inch the window is laid out at.
    int Dpi() const { return FDpi; }
    // A designed size (pixels at 96 dpi) at the window's dpi.
    int Scale(int designPixels) const { return MulDiv(designPixels, FDpi, DesignDpi); }
    // The window's font: Tahoma 8 pt at its dpi.
    HFONT Font() const;

    // Called by the message loop for each message meant for this window or its controls;
    // true when the message was handled (shortcuts, dialog keys).
    virtual bool PreTranslateMessage(MSG& msg);

    // The application's part (see TFormHost); the last one handed over counts.
    static void SetHost(TFormHost host);
    // The owner of top-level windows: the host's, or none.
    static HWND HostWindow();
    // The main form: the first form made while there was none; its end ends the message loop.
    static TWindow* MainForm() { return FMainForm; }
    static HWND MainFormHandle() { return FMainForm ? FMainForm->Handle() : nullptr; }

protected:
    // Creates the window with the given client size, owned by the application window.
    void CreateForm(const TFormSpec& layout, HWND owner = nullptr);
    // Creates the controls of the table, with the window's font.
    void CreateControls(const TControlSpec* table, size_t count, HWND parent = nullptr);
    HWND Control(int id) const;
    // Called after the window was laid out again at a new dpi (controls, font, size done).
    virtual void DpiChanged() {}

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
    static void Register(TWindow* form);
    static void Unregister(TWindow* form);
    static inline TWindow* FMainForm = nullptr;
    void ApplyAnchors();
    void ChangeDpi(int dpi, const RECT* suggested);

    // A control of a table with its designed rectangle (96 dpi).
    struct Anchored {
        HWND Wnd;
        RECT Start;
        unsigned Anchors;
    };

    HWND FHandle = nullptr;
    std::wstring FName;
    int FModalResult = mrNone;
    SIZE FDesignClient{};  // at 96 dpi
    SIZE FMinSize{};       // at 96 dpi
    int FDpi = DesignDpi;
    UniqueFont FFont;      // when the dpi is not the screen's, whose font is DefaultFont()
    std::vector<Anchored> FLaidOut;
    std::map<int, HWND> FControls;
};

// Registers a window class of the program's module once (a class already there is kept): the
// program's icon (the system's when the module has none), the arrow cursor, the given
// procedure, class styles and background.
void RegisterWindowClass(const wchar_t* className, WNDPROC proc, UINT style = 0, HBRUSH background = nullptr);

// The height to create a font of the given size in points with, on the screen or at the given
// dpi (negative: the characters' height, as CreateFontW takes it).
int FontHeightOfPoints(int points, int dpi = 0);
// The screen's dots per inch, as fonts are made for it.
int ScreenDpi();
// The windows' font, Tahoma 8 pt, at the given dpi (0: the screen's).
UniqueFont CreateDefaultFont(int dpi = 0);
// The windows' font at the screen's dpi, made once and kept.
HFONT DefaultFont();
// Whether the window in front belongs to this process.
bool ProcessIsForeground();
// Whether no other program's window is in front (an installer that ended leaves none, or the
// desktop).
bool NoOtherProgramInFront();
// After a modal window or message box over it has gone: the window is activated again when the
// activation went nowhere or to the desktop (as after another program's window ended meanwhile),
// so that the keyboard reaches it without a click. Nothing when another program is in front or
// the window cannot take the activation.
void ReactivateAfterModal(HWND window);

// Drawing at 96 dpi on a device context for a window at another dpi: for its lifetime the
// context's world transform puts the design's origin at (left, top) and scales by dpi / 96.
class TScaledDrawing {
public:
    TScaledDrawing(HDC dc, int left, int top, int dpi);
    ~TScaledDrawing();
    TScaledDrawing(const TScaledDrawing&) = delete;
    TScaledDrawing& operator=(const TScaledDrawing&) = delete;

private:
    HDC FDc;
    int FMode;
    XFORM FSaved{};
};

// The text of a window (a control's caption or contents), whole.
std::wstring WindowText(HWND wnd);

// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child);

// Centres a window on the primary display as a whole (not the work area).
void CentreOnScreen(HWND wnd);
// The size of the primary monitor's work area; a window's designed size never exceeds it.
SIZE PrimaryWorkArea();
