// Reads and drives the common controls of another process: the list view's rows and the
// status bar's panels. The LVM_*/SB_* structures are placed in the target process
// (VirtualAllocEx), since those messages pass pointers that are not marshalled.
#pragma once

#include "common/handle.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class TRemoteMemory {
public:
    TRemoteMemory(HWND owner, size_t size);
    ~TRemoteMemory();
    TRemoteMemory(const TRemoteMemory&) = delete;
    TRemoteMemory& operator=(const TRemoteMemory&) = delete;

    void* Address() const { return FAddress; }
    void Write(const void* data, size_t size, size_t offset = 0) const;
    void Read(void* data, size_t size, size_t offset = 0) const;

private:
    UniqueKernelHandle FProcess;
    void* FAddress = nullptr;
};

struct TRemoteRow {
    std::wstring Caption;
    std::wstring Status;
    std::wstring Description;
    int Image = -1;
    bool Selected = false;
};

class TRemoteListView {
public:
    explicit TRemoteListView(HWND wnd) : FWnd(wnd) {}
    int Count() const;
    std::wstring Text(int index, int subItem) const;
    int Image(int index) const;
    int Selected() const;
    void Select(int index) const;
    std::vector<TRemoteRow> Rows() const;
    // The row whose caption is caption, or -1.
    int Find(const std::wstring& caption) const;
    // The centre of a row in screen coordinates.
    POINT RowCentre(int index) const;
    // A row's rectangle (LVIR_BOUNDS, LVIR_LABEL, ...) in screen coordinates.
    RECT RowRect(int index, int part = LVIR_BOUNDS) const;
    int ColumnWidth(int column) const;
    // A column heading's rectangle in screen coordinates.
    RECT HeaderItemRect(int column) const;

private:
    HWND FWnd;
};

// The buttons of a toolbar in another process, by command id.
class TRemoteToolBar {
public:
    explicit TRemoteToolBar(HWND wnd) : FWnd(wnd) {}
    HWND Handle() const { return FWnd; }
    bool Exists(int id) const;
    bool Enabled(int id) const;
    // The button's rectangle in screen coordinates.
    RECT ButtonRect(int id) const;
    // The command ids of the buttons from left to right, 0 for a separator.
    std::vector<int> Commands() const;

private:
    HWND FWnd;
};

// The text of a status bar panel.
std::wstring RemoteStatusText(HWND statusBar, int panel);

// A child window of the given class (first found), or null.
HWND FindChildOfClass(HWND parent, const wchar_t* className);
