// The application: the hidden top-level window of class "TApplication" that carries the
// application title and owns the program's windows, the message loop with its idle step,
// calls run on the GUI thread for worker threads, and the default error report.
#pragma once

#include "common/gui_thread.h"
#include "ui/base/gui_handle.h"
#include "ui/base/gui_layer.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TWindow;

class TApplication final {
public:
    static constexpr const wchar_t* ClassName = L"TApplication";

    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Creates the hidden application window (once).
    void Initialize();
    HWND Handle() const { return FHandle.get(); }

    const std::wstring& Title() const { return FTitle; }
    void SetTitle(const std::wstring& title);

    // The first form created is the main form; closing it ends the message loop.
    TWindow* MainForm() const;
    HWND MainFormHandle() const;

    // The message loop. Run returns when the loop is ended (Terminate or the main form closed).
    void Run();
    // Processes one message; when the queue is empty runs the idle step and waits for the next.
    void HandleMessage();
    // Processes every message waiting in the queue.
    void ProcessMessages();
    void Terminate();
    // Takes back a Terminate whose loop has not ended yet (tests that make several main windows
    // in one process).
    void ClearTerminated();
    bool Terminated() const { return FTerminated; }
    bool IsActive() const;

    // Idle handlers run whenever the queue has been emptied. The returned id removes one.
    int AddIdleHandler(std::function<void()> handler);
    void RemoveIdleHandler(int id);
    void Idle();

    // Runs call on the GUI thread and waits for it (a message sent to the application window,
    // served by every message loop, modal ones included). On the GUI thread it runs at once.
    // An exception raised by call is raised again in the calling thread. Returns false when
    // the application window is gone and call did not run.
    bool Synchronize(const std::function<void()>& call);
    bool IsGuiThread() const { return GetCurrentThreadId() == FGuiThread; }

    // The default error report: a message box titled with the application title, with the
    // error icon and the message, a full stop appended when its last character sorts after ".".
    void ShowException(const std::wstring& message);
    // Reports whatever is being handled in the current catch block.
    void HandleException() noexcept;

    // What worker threads are given of this GUI thread: Synchronize and the default report.
    IGuiThread& GuiThread() { return FGuiThreadLink; }
    operator IGuiThread&() { return FGuiThreadLink; }

private:
    static LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    bool ProcessMessage(MSG& msg);
    bool PreTranslate(MSG& msg);

    UniqueWindow FHandle;
    std::wstring FTitle;
    bool FTerminated = false;
    DWORD FGuiThread;
    struct IdleEntry {
        int Id;
        std::function<void()> Handler;
    };
    std::vector<IdleEntry> FIdleHandlers;
    int FNextIdleId = 1;
    IGuiThread FGuiThreadLink;
};

// The program's one application object. It is never destroyed: worker threads still running
// at the process's exit may reach it while the runtime destroys its objects.
TApplication& Application();

// The default report's text for a message: a full stop appended when the last character
// sorts after ".".
std::wstring ExceptionReportText(const std::wstring& message);

// Runs body and hands any exception to the default report; for every Win32 callback.
template <typename F>
void GuardedCall(F&& body) noexcept
{
    GuardedCall(Application(), std::forward<F>(body));
}
