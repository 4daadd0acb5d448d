// A thin, non-owning wrapper of a status bar: one method a message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class TStatusBar {
public:
    explicit TStatusBar(HWND wnd = nullptr) : FWnd(wnd) {}
    HWND Handle() const { return FWnd; }

    // The panels by their right edges, in pixels (-1: up to the bar's end).
    void SetParts(std::vector<int> rightEdges) const
    {
        SendMessageW(FWnd, SB_SETPARTS, rightEdges.size(), reinterpret_cast<LPARAM>(rightEdges.data()));
    }
    void SetText(int panel, const std::wstring& text) const
    {
        SendMessageW(FWnd, SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.c_str()));
    }

    // One panel over the whole bar (a menu's hints) instead of the panels, or the panels again.
    void SetSimple(bool on) const { SendMessageW(FWnd, SB_SIMPLE, on ? TRUE : FALSE, 0); }
    void SetSimpleText(const std::wstring& text) const
    {
        SendMessageW(FWnd, SB_SETTEXTW, SB_SIMPLEID | SBT_NOBORDERS, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Takes its height and place at its parent's bottom edge again.
    void FitParent() const { SendMessageW(FWnd, WM_SIZE, 0, 0); }

private:
    HWND FWnd;
};
