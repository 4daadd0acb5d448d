// A thin, non-owning wrapper of a report-style list view: one method a message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

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
    // Deselects every row.
    void Deselect() const { ListView_SetItemState(FWnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }
    int TopIndex() const { return ListView_GetTopIndex(FWnd); }
    // The rows that fit in the list wholly.
    int CountPerPage() const { return ListView_GetCountPerPage(FWnd); }

    void SetExtendedStyle(DWORD style) const { ListView_SetExtendedListViewStyle(FWnd, style); }
    void SetSmallImages(HIMAGELIST images) const { ListView_SetImageList(FWnd, images, LVSIL_SMALL); }
    HWND Header() const { return ListView_GetHeader(FWnd); }
    // Whether a click on a heading presses it like a button.
    void SetHeaderButtons(bool on) const
    {
        const HWND header = Header();
        const LONG_PTR style = GetWindowLongPtrW(header, GWL_STYLE);
        SetWindowLongPtrW(header, GWL_STYLE, on ? style | HDS_BUTTONS : style & ~static_cast<LONG_PTR>(HDS_BUTTONS));
    }

    // A virtual list (LVS_OWNERDATA): the number of rows, the scroll position kept; every row
    // is drawn anew.
    void SetItemCount(int count) const { ListView_SetItemCountEx(FWnd, count, LVSICF_NOSCROLL); }
    // The rows from first to last are drawn anew, their cells asked for again.
    void RedrawRows(int first, int last) const { ListView_RedrawItems(FWnd, first, last); }
    void RedrawAll() const { InvalidateRect(FWnd, nullptr, FALSE); }

    void AddColumn(int index, const wchar_t* caption, int width) const
    {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(caption);
        col.cx = width;
        col.iSubItem = index;
        SendMessageW(FWnd, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
    }
    // Column 0 stays (a list view keeps its first column); the others go.
    void DeleteColumnsAfterFirst() const
    {
        for (int i = ColumnCount() - 1; i > 0; --i)
            ListView_DeleteColumn(FWnd, i);
    }
    void SetColumn(int index, const wchar_t* caption, int width) const
    {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = const_cast<wchar_t*>(caption);
        col.cx = width;
        SendMessageW(FWnd, LVM_SETCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
    }
    // The heading's sort arrow: up (ascending), down, or none.
    enum TSortArrow { saNone, saUp, saDown };
    void SetSortArrow(int index, TSortArrow arrow) const
    {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        const HWND header = Header();
        if (!Header_GetItem(header, index, &item))
            return;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        item.fmt |= arrow == saUp ? HDF_SORTUP : arrow == saDown ? HDF_SORTDOWN : 0;
        Header_SetItem(header, index, &item);
    }
    void DeleteColumn(int index) const { ListView_DeleteColumn(FWnd, index); }
    // The order the columns are drawn in, by index.
    void SetColumnOrder(const std::vector<int>& order) const
    {
        ListView_SetColumnOrderArray(FWnd, static_cast<int>(order.size()), const_cast<int*>(order.data()));
    }
    int ColumnWidth(int index) const { return ListView_GetColumnWidth(FWnd, index); }
    void SetColumnWidth(int index, int width) const { ListView_SetColumnWidth(FWnd, index, width); }
    int ColumnCount() const { return Header_GetItemCount(Header()); }

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
    int Image(int index) const
    {
        LVITEMW item = Item(index, LVIF_IMAGE);
        SendMessageW(FWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    // The list control's exact-string search from the first row (letter case ignored; a
    // virtual list asks its owner).
    int FindCaption(const std::wstring& caption) const
    {
        LVFINDINFOW find{};
        find.flags = LVFI_STRING;
        find.psz = caption.c_str();
        return static_cast<int>(SendMessageW(FWnd, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    }

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
