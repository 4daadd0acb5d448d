#include "tests/support/remote_controls.h"

#include "common/errors.h"

#include <commctrl.h>

TRemoteMemory::TRemoteMemory(HWND owner, size_t size)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    FProcess.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!FProcess)
        RaiseLastOSError();
    FAddress = VirtualAllocEx(FProcess.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!FAddress)
        RaiseLastOSError();
}

TRemoteMemory::~TRemoteMemory()
{
    if (FAddress)
        VirtualFreeEx(FProcess.get(), FAddress, 0, MEM_RELEASE);
}

void TRemoteMemory::Write(const void* data, size_t size, size_t offset) const
{
    Win32Check(WriteProcessMemory(FProcess.get(), static_cast<BYTE*>(FAddress) + offset, data, size, nullptr));
}

void TRemoteMemory::Read(void* data, size_t size, size_t offset) const
{
    Win32Check(ReadProcessMemory(FProcess.get(), static_cast<BYTE*>(FAddress) + offset, data, size, nullptr));
}

namespace {
constexpr size_t TextChars = 2048;
constexpr size_t TextOffset = 256;  // the text buffer follows the structure
}

int TRemoteListView::Count() const { return static_cast<int>(SendMessageW(FWnd, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring TRemoteListView::Text(int index, int subItem) const
{
    TRemoteMemory memory(FWnd, TextOffset + TextChars * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(memory.Address()) + TextOffset);
    item.cchTextMax = TextChars;
    memory.Write(&item, sizeof(item));
    LRESULT len = SendMessageW(FWnd, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(memory.Address()));
    std::wstring text(static_cast<size_t>(len), L'\0');
    if (len > 0)
        memory.Read(text.data(), static_cast<size_t>(len) * sizeof(wchar_t), TextOffset);
    return text;
}

int TRemoteListView::Image(int index) const
{
    TRemoteMemory memory(FWnd, sizeof(LVITEMW));
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    memory.Write(&item, sizeof(item));
    SendMessageW(FWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.Address()));
    memory.Read(&item, sizeof(item));
    return item.iImage;
}

int TRemoteListView::Selected() const
{
    return static_cast<int>(SendMessageW(FWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TRemoteListView::Select(int index) const
{
    TRemoteMemory memory(FWnd, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    memory.Write(&item, sizeof(item));
    SendMessageW(FWnd, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(memory.Address()));
}

std::vector<TRemoteRow> TRemoteListView::Rows() const
{
    std::vector<TRemoteRow> rows;
    const int count = Count();
    const int selected = Selected();
    for (int i = 0; i < count; ++i)
        rows.push_back({Text(i, 0), Text(i, 1), Text(i, 2), Image(i), i == selected});
    return rows;
}

int TRemoteListView::Find(const std::wstring& caption) const
{
    // One LVM_FINDITEMW a match instead of reading every row: with thousands of rows each read
    // is a message the window must answer. The control compares without case; the exact caption
    // is checked here.
    const size_t textBytes = (caption.size() + 1) * sizeof(wchar_t);
    TRemoteMemory memory(FWnd, TextOffset + textBytes);
    memory.Write(caption.c_str(), textBytes, TextOffset);
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = reinterpret_cast<const wchar_t*>(static_cast<BYTE*>(memory.Address()) + TextOffset);
    memory.Write(&find, sizeof(find));
    int from = -1;
    for (;;) {
        const int found = static_cast<int>(
            SendMessageW(FWnd, LVM_FINDITEMW, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(memory.Address())));
        if (found < 0 || found <= from || Text(found, 0) == caption)
            return found > from ? found : -1;
        from = found;
    }
}

namespace {
// A rectangle that a message fills in (starting from r), in screen coordinates.
RECT RemoteScreenRect(HWND wnd, UINT msg, WPARAM wParam, RECT r = {})
{
    TRemoteMemory memory(wnd, sizeof(RECT));
    memory.Write(&r, sizeof(r));
    SendMessageW(wnd, msg, wParam, reinterpret_cast<LPARAM>(memory.Address()));
    memory.Read(&r, sizeof(r));
    MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}
}  // namespace

RECT TRemoteListView::RowRect(int index, int part) const
{
    return RemoteScreenRect(FWnd, LVM_GETITEMRECT, static_cast<WPARAM>(index), RECT{part, 0, 0, 0});
}

int TRemoteListView::ColumnWidth(int column) const
{
    return static_cast<int>(SendMessageW(FWnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

RECT TRemoteListView::HeaderItemRect(int column) const
{
    return RemoteScreenRect(reinterpret_cast<HWND>(SendMessageW(FWnd, LVM_GETHEADER, 0, 0)), HDM_GETITEMRECT,
                            static_cast<WPARAM>(column));
}

POINT TRemoteListView::RowCentre(int index) const
{
    RECT r = RowRect(index, LVIR_LABEL);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool TRemoteToolBar::Exists(int id) const { return SendMessageW(FWnd, TB_COMMANDTOINDEX, id, 0) >= 0; }

bool TRemoteToolBar::Enabled(int id) const { return SendMessageW(FWnd, TB_ISBUTTONENABLED, id, 0) != 0; }

RECT TRemoteToolBar::ButtonRect(int id) const { return RemoteScreenRect(FWnd, TB_GETRECT, static_cast<WPARAM>(id)); }

std::vector<int> TRemoteToolBar::Commands() const
{
    std::vector<int> commands;
    const int count = static_cast<int>(SendMessageW(FWnd, TB_BUTTONCOUNT, 0, 0));
    TRemoteMemory memory(FWnd, sizeof(TBBUTTON));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        SendMessageW(FWnd, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(memory.Address()));
        memory.Read(&button, sizeof(button));
        commands.push_back((button.fsStyle & BTNS_SEP) ? 0 : button.idCommand);
    }
    return commands;
}

std::wstring RemoteStatusText(HWND statusBar, int panel)
{
    LRESULT info = SendMessageW(statusBar, SB_GETTEXTLENGTHW, panel, 0);
    size_t len = LOWORD(info);
    TRemoteMemory memory(statusBar, (len + 1) * sizeof(wchar_t));
    SendMessageW(statusBar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(memory.Address()));
    std::wstring text(len, L'\0');
    if (len > 0)
        memory.Read(text.data(), len * sizeof(wchar_t));
    return text;
}

HWND FindChildOfClass(HWND parent, const wchar_t* className) { return FindWindowExW(parent, nullptr, className, nullptr); }
