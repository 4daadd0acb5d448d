#include "ui/main/images.h"

#include "common/errors.h"
#include "ui/main/vector_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {
constexpr int N = MainImageSize;
constexpr COLORREF MaskColor = RGB(255, 255, 255);
constexpr COLORREF Black = RGB(0, 0, 0);

// A 16 by 16 bitmap; white pixels are transparent.
using TBitmap16 = std::array<COLORREF, N * N>;

TBitmap16 Blank()
{
    TBitmap16 b;
    b.fill(MaskColor);
    return b;
}

void FillBox(TBitmap16& b, int left, int top, int right, int bottom, COLORREF color)
{
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            b[y * N + x] = color;
}

BYTE Channel(double v) { return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 254.0))); }

// A shaded ball lit from the upper left, with a darker rim. No pixel is pure white, which
// would turn transparent.
TBitmap16 Ball(COLORREF base)
{
    constexpr double Cx = 8.0, Cy = 8.0, Radius = 6.8;
    const double lx = -0.45, ly = -0.55, lz = 0.70;
    const double ln = std::sqrt(lx * lx + ly * ly + lz * lz);
    TBitmap16 b = Blank();
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double dx = (x + 0.5 - Cx) / Radius, dy = (y + 0.5 - Cy) / Radius;
            const double d2 = dx * dx + dy * dy;
            if (d2 > 1.0)
                continue;
            const double nz = std::sqrt(1.0 - d2);
            const double diffuse = std::max(0.0, (dx * lx + dy * ly + nz * lz) / ln);
            const double highlight = std::pow(diffuse, 24) * 0.75;
            double shade = 0.45 + 0.7 * diffuse;
            if (d2 > 0.78)
                shade *= 0.72;
            auto mix = [&](BYTE c) { return Channel(c * shade * (1 - highlight) + 255 * highlight); };
            b[y * N + x] = RGB(mix(GetRValue(base)), mix(GetGValue(base)), mix(GetBValue(base)));
        }
    return b;
}

// Picture rows: K frame, g glass, S sand, . transparent.
TBitmap16 Hourglass(COLORREF sand)
{
    static const char* const Rows[N] = {
        "..KKKKKKKKKKKK..",  //
        "...KggggggggK...",  //
        "...KSSSSSSSSK...",  //
        "...KgSSSSSSgK...",  //
        "....KgSSSSgK....",  //
        ".....KgSSgK.....",  //
        "......KSSK......",  //
        "......KSSK......",  //
        ".....KgSSgK.....",  //
        "....KggSSggK....",  //
        "...KgggSSgggK...",  //
        "...KggSSSSggK...",  //
        "...KgSSSSSSgK...",  //
        "...KSSSSSSSSK...",  //
        "..KKKKKKKKKKKK..",  //
        "................",  //
    };
    TBitmap16 b = Blank();
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            switch (Rows[y][x]) {
            case 'K': b[y * N + x] = RGB(40, 40, 40); break;
            case 'g': b[y * N + x] = RGB(222, 234, 246); break;
            case 'S': b[y * N + x] = sand; break;
            default: break;
            }
    return b;
}

TBitmap16 TriangleRight()
{
    TBitmap16 b = Blank();
    // Thirteen rows, from one pixel at the ends to ten in the middle.
    for (int row = 0; row < 13; ++row) {
        const int width = 1 + (9 * (6 - std::abs(row - 6)) + 3) / 6;
        FillBox(b, 4, 2 + row, 4 + width - 1, 2 + row, Black);
    }
    return b;
}

TBitmap16 Square()
{
    TBitmap16 b = Blank();
    FillBox(b, 3, 3, 12, 12, Black);
    return b;
}

TBitmap16 TwoBars()
{
    TBitmap16 b = Blank();
    FillBox(b, 4, 3, 6, 12, Black);
    FillBox(b, 9, 3, 11, 12, Black);
    return b;
}

// A clockwise arrow around a circle, open at the upper right; drawn from its outline with
// hard edges, as a masked bitmap has them.
TBitmap16 CircularArrow()
{
    constexpr COLORREF Green = RGB(0, 128, 0);
    constexpr double Cx = 8.0, Cy = 8.5, Inner = 3.4, Outer = 6.1;
    const double mid = (Inner + Outer) / 2;
    TVectorImage shape{16.0,
                       {{Green, {ArcBandContour(Cx, Cy, Inner, Outer, 90.0, 380.0)}},
                        {Green, {{{Cx - 0.5, Cy - mid - 3.3}, {Cx + 3.6, Cy - mid}, {Cx - 0.5, Cy - mid + 3.3}}}}}};
    const std::vector<uint32_t> pixels = RenderVectorImage(shape, N);
    TBitmap16 b = Blank();
    for (int i = 0; i < N * N; ++i)
        if ((pixels[i] >> 24) >= 128)
            b[i] = Green;
    return b;
}

// A blue arrow arching from a black square over to a black triangle: the service stopped and
// started again. Picture rows: B arrow, K square and triangle, . transparent.
TBitmap16 RestartArrow()
{
    static const char* const Rows[N] = {
        "................",  //
        ".....BBBBBB.....",  //
        "...BBBBBBBBBB...",  //
        "..BBB......BBB..",  //
        "..BB........BB..",  //
        "..BB......BBBBBB",  //
        "..BB.......BBBB.",  //
        "............BB..",  //
        "................",  //
        ".........K......",  //
        ".KKKKK...KK.....",  //
        ".KKKKK...KKK....",  //
        ".KKKKK...KKKK...",  //
        ".KKKKK...KKK....",  //
        ".KKKKK...KK.....",  //
        ".........K......",  //
    };
    TBitmap16 b = Blank();
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            if (Rows[y][x] == 'B')
                b[y * N + x] = RGB(0, 70, 200);
            else if (Rows[y][x] == 'K')
                b[y * N + x] = Black;
        }
    return b;
}

// The vector images, on a 32 by 32 view box.
TVectorImage Gear()
{
    constexpr double C = 16.0;
    return {32.0,
            {{RGB(20, 60, 140), {GearContour(C, C, 8, 15.5, 11.6, 0.42), CircleContour(C, C, 4.4)}},
             {RGB(60, 125, 215), {GearContour(C, C, 8, 14.0, 10.2, 0.36), CircleContour(C, C, 5.8)}},
             {RGB(120, 175, 240), {CircleContour(C, C, 8.6), CircleContour(C, C, 5.8)}}}};
}

TVectorImage PowerSymbol()
{
    constexpr COLORREF Red = RGB(215, 30, 30);
    constexpr double C = 16.0, Cy = 17.0, Inner = 8.8, Outer = 12.8, Cap = 2.0;
    const double mid = (Inner + Outer) / 2;
    const double rad = 125.0 * std::numbers::pi / 180.0;
    return {32.0,
            {{Red, {ArcBandContour(C, Cy, Inner, Outer, 125.0, 415.0)}},
             {Red, {CircleContour(C + mid * std::cos(rad), Cy - mid * std::sin(rad), Cap)}},
             {Red, {CircleContour(C - mid * std::cos(rad), Cy - mid * std::sin(rad), Cap)}},
             {Red, {RectContour(C - Cap, 3.5, C + Cap, 14.5)}},
             {Red, {CircleContour(C, 3.5, Cap)}},
             {Red, {CircleContour(C, 14.5, Cap)}}}};
}

// Each image's picture, in index order: a masked bitmap or a vector image.
struct TPicture {
    TBitmap16 (*Bitmap)() = nullptr;
    TVectorImage (*Vector)() = nullptr;
};
constexpr TPicture Pictures[] = {
    {.Bitmap = [] { return Ball(RGB(160, 160, 160)); }},  // imgUnknown
    {.Bitmap = [] { return Ball(RGB(40, 190, 40)); }},    // imgRunning
    {.Bitmap = [] { return Ball(RGB(250, 210, 0)); }},    // imgPaused
    {.Bitmap = [] { return Ball(RGB(225, 30, 30)); }},    // imgStopped
    {.Bitmap = [] { return Hourglass(RGB(210, 30, 30)); }},  // imgStarting
    {.Bitmap = [] { return Hourglass(RGB(30, 170, 30)); }},  // imgStopping
    {.Bitmap = TriangleRight},                            // imgStart
    {.Bitmap = Square},                                   // imgStop
    {.Bitmap = TwoBars},                                  // imgPause
    {.Bitmap = CircularArrow},                            // imgRefresh
    {.Vector = Gear},                                     // imgProperties
    {.Vector = PowerSymbol},                              // imgQuit
    {.Bitmap = RestartArrow},                             // imgRestart
};
static_assert(std::size(Pictures) == MainImageCount, "one picture for every image index");

bool IsVectorImage(int index) { return Pictures[index].Vector != nullptr; }

TBitmap16 BitmapImage(int index)
{
    SM_ASSERT(Pictures[index].Bitmap != nullptr);
    return Pictures[index].Bitmap();
}

// A top-down DIB section of the given depth; bits receives its pixels.
UniqueBitmap CreateDib(int width, int height, WORD bitCount, void** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    UniqueBitmap bmp(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bmp)
        RaiseLastOSError();
    return bmp;
}

UniqueBitmap CreateBitmap24(const TBitmap16& picture)
{
    void* bits = nullptr;
    UniqueBitmap bmp = CreateDib(N, N, 24, &bits);
    const int stride = (N * 3 + 3) & ~3;
    auto* rows = static_cast<BYTE*>(bits);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            BYTE* p = rows + y * stride + x * 3;
            const COLORREF c = picture[y * N + x];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    GdiFlush();
    return bmp;
}

// A monochrome mask of a size by size picture: set bits are transparent.
UniqueBitmap CreateMaskFromAlpha(const std::vector<uint32_t>& pixels, int size)
{
    const int stride = ((size + 15) / 16) * 2;
    std::vector<BYTE> bits(static_cast<size_t>(stride) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if ((pixels[static_cast<size_t>(y) * size + x] >> 24) < 128)
                bits[static_cast<size_t>(y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    UniqueBitmap mask(CreateBitmap(size, size, 1, 1, bits.data()));
    if (!mask)
        RaiseLastOSError();
    return mask;
}

// Grey, at the given strength (premultiplied: every channel scaled alike).
void Greyed(std::vector<uint32_t>& pixels, unsigned strength)
{
    for (uint32_t& p : pixels) {
        const uint32_t grey = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
        const uint32_t a = (p >> 24) * strength / 255;
        const uint32_t g = grey * strength / 255;
        p = (a << 24) | (g << 16) | (g << 8) | g;
    }
}

void CheckAdded(int result)
{
    if (result < 0)
        RaiseLastOSError();
}
}  // namespace

std::vector<uint32_t> ImagePixels(int index, int size)
{
    SM_ASSERT(index >= 0 && index < MainImageCount && size > 0);
    if (IsVectorImage(index))
        return RenderVectorImage(Pictures[index].Vector(), size);
    const TBitmap16 picture = BitmapImage(index);
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const COLORREF c = picture[(y * N / size) * N + x * N / size];
            if (c != MaskColor)
                pixels[static_cast<size_t>(y) * size + x] =
                    0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    return pixels;
}

UniqueBitmap CreateImageBitmap(int index, int size)
{
    const std::vector<uint32_t> pixels = ImagePixels(index, size);
    void* bits = nullptr;
    UniqueBitmap bmp = CreateDib(size, size, 32, &bits);
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    GdiFlush();
    return bmp;
}

void MeasureMenuItemImage(MEASUREITEMSTRUCT& item, int size)
{
    // A little air between the picture and the caption.
    item.itemWidth = static_cast<UINT>(size + size / 4);
    item.itemHeight = static_cast<UINT>(size);
}

void DrawMenuItemImage(const DRAWITEMSTRUCT& item, int index, int size)
{
    std::vector<uint32_t> pixels = ImagePixels(index, size);
    BYTE opacity = 255;
    if (item.itemState & (ODS_GRAYED | ODS_DISABLED)) {
        // Grey, at half strength.
        Greyed(pixels, 255);
        opacity = 110;
    }
    void* bits = nullptr;
    UniqueBitmap bmp = CreateDib(size, size, 32, &bits);
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    GdiFlush();
    UniqueMemoryDC mem(CreateCompatibleDC(item.hDC));
    if (!mem)
        return;
    TSelectObjectScope selected(mem.get(), bmp.get());
    const int x = item.rcItem.left + (item.rcItem.right - item.rcItem.left - size) / 2;
    const int y = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - size) / 2;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    GdiAlphaBlend(item.hDC, x, y, size, size, mem.get(), 0, 0, size, size, blend);
}

UniqueImageList CreateDisabledImageList(int size)
{
    UniqueImageList list(ImageList_Create(size, size, ILC_COLOR32, MainImageCount, 0));
    if (!list)
        RaiseLastOSError();
    for (int i = 0; i < MainImageCount; ++i) {
        std::vector<uint32_t> pixels = ImagePixels(i, size);
        Greyed(pixels, 110);
        void* bits = nullptr;
        UniqueBitmap image = CreateDib(size, size, 32, &bits);
        std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
        GdiFlush();
        CheckAdded(ImageList_Add(list.get(), image.get(), nullptr));
    }
    return list;
}

UniqueImageList CreateMainImageList(int size)
{
    UniqueImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, MainImageCount, 0));
    if (!list)
        RaiseLastOSError();
    for (int i = 0; i < MainImageCount; ++i) {
        if (IsVectorImage(i) || size != N) {
            const std::vector<uint32_t> pixels = ImagePixels(i, size);
            UniqueBitmap image = CreateImageBitmap(i, size);
            UniqueBitmap mask = CreateMaskFromAlpha(pixels, size);
            CheckAdded(ImageList_Add(list.get(), image.get(), mask.get()));
        } else {
            UniqueBitmap image = CreateBitmap24(BitmapImage(i));
            CheckAdded(ImageList_AddMasked(list.get(), image.get(), MaskColor));
        }
    }
    return list;
}
