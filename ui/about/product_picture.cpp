#include "ui/about/product_picture.h"

#include "common/errors.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
constexpr int W = ProductPictureWidth;
constexpr int H = ProductPictureHeight;
constexpr int BandTop = 266;
constexpr COLORREF Ink = RGB(2, 46, 95);

struct TRgb {
    double R, G, B;
};

TRgb FromColor(COLORREF c) { return {double(GetRValue(c)), double(GetGValue(c)), double(GetBValue(c))}; }

TRgb Mix(TRgb a, TRgb b, double t) { return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t}; }

// The picture's pixels, drawn on with smooth edges before GDI adds the texts.
class TCanvas {
public:
    explicit TCanvas(uint32_t* bits) : FBits(bits) {}

    TRgb Get(int x, int y) const
    {
        const uint32_t p = FBits[y * W + x];
        return {double((p >> 16) & 0xFF), double((p >> 8) & 0xFF), double(p & 0xFF)};
    }
    void Blend(int x, int y, TRgb c, double alpha)
    {
        if (x < 0 || y < 0 || x >= W || y >= H || alpha <= 0)
            return;
        const TRgb m = Mix(Get(x, y), c, std::min(alpha, 1.0));
        auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
        FBits[y * W + x] = (byte(m.R) << 16) | (byte(m.G) << 8) | byte(m.B);
    }

    // A vertical gradient over a box.
    void Gradient(int left, int top, int right, int bottom, COLORREF from, COLORREF to)
    {
        for (int y = top; y < bottom; ++y) {
            const TRgb c = Mix(FromColor(from), FromColor(to), bottom - top > 1 ? double(y - top) / (bottom - top - 1) : 0);
            for (int x = left; x < right; ++x)
                Blend(x, y, c, 1.0);
        }
    }

    // A rounded box with a vertical gradient; the corners are smoothed.
    void RoundBox(double left, double top, double right, double bottom, double radius, COLORREF from, COLORREF to,
                  double alpha = 1.0)
    {
        for (int y = int(top); y < int(std::ceil(bottom)); ++y) {
            const TRgb c = Mix(FromColor(from), FromColor(to), (y + 0.5 - top) / (bottom - top));
            for (int x = int(left); x < int(std::ceil(right)); ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double qx = std::max({left + radius - px, px - (right - radius), 0.0});
                const double qy = std::max({top + radius - py, py - (bottom - radius), 0.0});
                const double outside = std::sqrt(qx * qx + qy * qy) - radius;
                const double edge = std::min({px - left, right - px, py - top, bottom - py}) + 0.5;
                Blend(x, y, c, alpha * std::clamp(0.5 - outside, 0.0, 1.0) * std::clamp(edge, 0.0, 1.0));
            }
        }
    }

    // A filled ellipse with smooth edges.
    void Ellipse(double cx, double cy, double rx, double ry, COLORREF color, double alpha = 1.0)
    {
        const TRgb c = FromColor(color);
        for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
            for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x) {
                const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                const double d = (std::sqrt(dx * dx + dy * dy) - 1.0) * std::min(rx, ry);
                Blend(x, y, c, alpha * std::clamp(0.5 - d, 0.0, 1.0));
            }
    }

private:
    uint32_t* FBits;
};

void DrawSky(TCanvas& c)
{
    c.Gradient(0, 0, W, BandTop, RGB(253, 254, 255), RGB(203, 221, 243));
    // Wide soft arcs rising from the lower left.
    c.Ellipse(40, 420, 360, 300, RGB(170, 198, 235), 0.35);
    c.Ellipse(-20, 460, 330, 290, RGB(140, 178, 226), 0.30);
    c.Gradient(0, BandTop - 3, W, BandTop, RGB(245, 156, 40), RGB(230, 120, 20));
    c.Gradient(0, BandTop, W, H, RGB(20, 56, 110), Ink);
}

// A server tower with four rack units, each with a drive slot and three lamps.
void DrawTower(TCanvas& c, double left, double top, double width, double height, const COLORREF lamps[4])
{
    c.Ellipse(left + width / 2 + 8, top + height + 3, width * 0.75, 7, RGB(40, 60, 90), 0.25);
    c.RoundBox(left, top, left + width, top + height, 7, RGB(88, 102, 126), RGB(44, 54, 72));
    c.RoundBox(left + 4, top + 4, left + width - 4, top + 14, 4, RGB(120, 136, 162), RGB(88, 102, 126));
    const double unitTop = top + 22, unitHeight = (height - 40) / 4;
    for (int u = 0; u < 4; ++u) {
        const double y = unitTop + u * unitHeight;
        c.RoundBox(left + 8, y, left + width - 8, y + unitHeight - 6, 3, RGB(70, 84, 108), RGB(54, 66, 86));
        c.RoundBox(left + 14, y + unitHeight / 2 - 6, left + width * 0.55, y + unitHeight / 2 - 2, 1.5,
                   RGB(24, 30, 42), RGB(34, 42, 56));
        for (int k = 0; k < 3; ++k) {
            const COLORREF lamp = k == 2 ? lamps[u] : RGB(60, 210, 90);
            const double lx = left + width - 36 + k * 9, ly = y + unitHeight / 2 - 4;
            c.Ellipse(lx, ly, 5.5, 5.5, lamp, 0.25);
            c.Ellipse(lx, ly, 2.8, 2.8, lamp);
        }
    }
    c.RoundBox(left + 10, top + height - 14, left + width - 10, top + height - 10, 2, RGB(30, 38, 52), RGB(30, 38, 52));
}

void DrawText(HDC dc, const wchar_t* text, RECT box, int height, int weight, COLORREF color, UINT format,
              const wchar_t* face = L"Tahoma")
{
    UniqueFont font(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
    TSelectObjectScope selected(dc, font.get());
    SetTextColor(dc, color);
    DrawTextW(dc, text, -1, &box, format | DT_NOPREFIX | DT_SINGLELINE | DT_NOCLIP);
}
}  // namespace

UniqueBitmap CreateProductPicture()
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = W;
    info.bmiHeader.biHeight = -H;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap picture(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture)
        RaiseLastOSError();

    TCanvas canvas(static_cast<uint32_t*>(bits));
    DrawSky(canvas);
    const COLORREF backLamps[4] = {RGB(60, 210, 90), RGB(250, 190, 30), RGB(60, 210, 90), RGB(60, 210, 90)};
    const COLORREF frontLamps[4] = {RGB(60, 210, 90), RGB(60, 210, 90), RGB(230, 50, 40), RGB(60, 210, 90)};
    DrawTower(canvas, 112, 64, 88, 176, backLamps);
    DrawTower(canvas, 36, 86, 96, 170, frontLamps);
    GdiFlush();

    UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
    if (!memory)
        RaiseLastOSError();
    HDC dc = memory.get();
    TSelectObjectScope selected(dc, picture.get());
    SetBkMode(dc, TRANSPARENT);
    DrawText(dc, L"Talvora ERP", {200, 62, 448, 118}, 38, FW_BOLD, Ink, DT_RIGHT | DT_BOTTOM);
    UniqueGdiObject accent(CreateSolidBrush(RGB(240, 146, 30)));
    RECT rule{300, 126, 448, 129};
    FillRect(dc, &rule, static_cast<HBRUSH>(accent.get()));
    DrawText(dc, L"Application servers and databases", {230, 168, 448, 186}, 13, FW_NORMAL, RGB(70, 92, 124),
             DT_RIGHT);
    DrawText(dc, L"in one view", {230, 186, 448, 204}, 13, FW_NORMAL, RGB(70, 92, 124), DT_RIGHT);
    DrawText(dc, L"T A L V O R A", {20, BandTop, 300, H}, 13, FW_BOLD, RGB(235, 242, 252), DT_LEFT | DT_VCENTER);
    DrawText(dc, L"Enterprise software since 1994", {200, BandTop, 480, H}, 12, FW_NORMAL, RGB(170, 192, 222),
             DT_RIGHT | DT_VCENTER);
    GdiFlush();
    return picture;
}
