#include "ui/props/server_picture.h"

#include "ui/base/gui_handle.h"

namespace {
constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF Gray = RGB(128, 128, 128);
constexpr COLORREF Silver = RGB(192, 192, 192);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Lime = RGB(0, 255, 0);
constexpr COLORREF Navy = RGB(0, 0, 128);
constexpr COLORREF Teal = RGB(0, 128, 128);
constexpr COLORREF Aqua = RGB(0, 255, 255);

void Fill(HDC dc, int l, int t, int r, int b, COLORREF colour)
{
    RECT rc{l, t, r, b};
    UniqueGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rc, static_cast<HBRUSH>(brush.get()));
}

void Shape(HDC dc, COLORREF pen, COLORREF fill, bool ellipse, int l, int t, int r, int b)
{
    UniqueGdiObject p(CreatePen(PS_SOLID, 1, pen));
    UniqueGdiObject f(CreateSolidBrush(fill));
    TSelectObjectScope penSelected(dc, p.get());
    TSelectObjectScope brushSelected(dc, f.get());
    if (ellipse)
        Ellipse(dc, l, t, r, b);
    else
        Rectangle(dc, l, t, r, b);
}
}  // namespace

void DrawServerPicture(HDC dc, int x, int y)
{
    // The server tower: a silver case with a dark outline, drive slots and a lit lamp.
    Shape(dc, Black, Silver, false, x + 2, y + 1, x + 19, y + 31);
    Fill(dc, x + 3, y + 2, x + 18, y + 3, White);
    for (int slot = 0; slot < 3; ++slot) {
        Fill(dc, x + 5, y + 6 + slot * 5, x + 16, y + 8 + slot * 5, Gray);
        Fill(dc, x + 5, y + 6 + slot * 5, x + 16, y + 7 + slot * 5, Black);
    }
    Fill(dc, x + 5, y + 24, x + 8, y + 27, Lime);
    // The database: a teal cylinder in front of the tower's lower right.
    Shape(dc, Navy, Teal, false, x + 14, y + 17, x + 31, y + 29);
    Shape(dc, Navy, Teal, true, x + 14, y + 24, x + 31, y + 31);
    Fill(dc, x + 15, y + 17, x + 30, y + 27, Teal);
    Shape(dc, Navy, Aqua, true, x + 14, y + 13, x + 31, y + 21);
}
