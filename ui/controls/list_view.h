// A thin, non-owning wrapper of a report-style list view: one method a message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class TListView {
public:
    explicit TListView(HWND wnd = nullptr) : FWnd(wnd) {}
    HWND Handle() const { return FWnd; }

    int Count() const { return static_cast<int>(ListView_GetItemCount(FWnd)); }
    int Selected() const { return ListView_GetNextItem(FWnd, -1, LVNI_SELECTED); }
    void Select(int index) const
    {
        ListView_SetItemState(FWnd, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    void EnsureVisible(int index) const { ListView_EnsureVisible(FWnd, index, FALSE); }
    void DeleteAll() const { ListView_DeleteAllItems(FWnd); }

    void AddColumn(int index, const wchar_t* caption, int width) const
    {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(caption);
        col.cx = width;
        col.iSubItem = index;
        SendMessageW(FWnd, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
    }
    int ColumnWidth(int index) const { return ListView_GetColumnWidth(FWnd, index); }

    // Inserts a row at index with its caption, image and data; returns its index.
    int Insert(int index, const std::wstring& caption, int image, LPARAM data) const
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = index;
        item.pszText = const_cast<wchar_t*>(caption.c_str());
        item.iImage = image;
        item.lParam = data;
        return static_cast<int>(SendMessageW(FWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    LPARAM Data(int index) const
    {
        LVITEMW item = Item(index, LVIF_PARAM);
        return SendMessageW(FWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
    }
    void SetData(int index, LPARAM data) const
    {
        LVITEMW item = Item(index, LVIF_PARAM);
        item.lParam = data;
        SendMessageW(FWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    std::wstring Text(int index, int subItem = 0) const
    {
        wchar_t buffer[1024] = {};
        LVITEMW item{};
        item.iSubItem = subItem;
        item.pszText = buffer;
        item.cchTextMax = 1024;
        SendMessageW(FWnd, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    void SetText(int index, int subItem, const std::wstring& text) const
    {
        LVITEMW item{};
        item.iSubItem = subItem;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(FWnd, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    }
    int Image(int index) const
    {
        LVITEMW item = Item(index, LVIF_IMAGE);
        SendMessageW(FWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    void SetImage(int index, int image) const
    {
        LVITEMW item = Item(index, LVIF_IMAGE);
        item.iImage = image;
        SendMessageW(FWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    // The list control's exact-string search from the first row (letter case ignored).
    int FindCaption(const std::wstring& caption) const
    {
        LVFINDINFOW find{};
        find.flags = LVFI_STRING;
        find.psz = caption.c_str();
        return static_cast<int>(SendMessageW(FWnd, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    }
    void SetRedraw(bool on) const { SendMessageW(FWnd, WM_SETREDRAW, on ? TRUE : FALSE, 0); }

private:
    static LVITEMW Item(int index, UINT mask)
    {
        LVITEMW item{};
        item.mask = mask;
        item.iItem = index;
        return item;
    }

    HWND FWnd;
};
