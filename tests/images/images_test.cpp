// The main window's image list: twelve 16 by 16 images, masked by white or by their alpha,
// and the menu bitmaps drawn from the same pictures.
#include "ui/base/gui_handle.h"
#include "ui/main/images.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {
constexpr COLORREF Magenta = RGB(255, 0, 255);

// A 32-bit memory canvas filled with magenta, on which the list draws one image.
class Canvas {
public:
    Canvas()
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        FDc.reset(CreateCompatibleDC(nullptr));
        FBitmap.reset(CreateDIBSection(FDc.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0));
        FSelected.emplace(FDc.get(), FBitmap.get());
    }
    void Clear(COLORREF background = Magenta)
    {
        for (int i = 0; i < 16 * 16; ++i)
            FBits[i] = (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
    }
    void Draw(HIMAGELIST list, int index)
    {
        Clear();
        ASSERT_TRUE(ImageList_Draw(list, index, FDc.get(), 0, 0, ILD_NORMAL));
        GdiFlush();
    }
    HDC Dc() const { return FDc.get(); }
    COLORREF Pixel(int x, int y) const
    {
        const uint32_t p = FBits[y * 16 + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    UniqueMemoryDC FDc;
    UniqueBitmap FBitmap;
    std::optional<TSelectObjectScope> FSelected;  // undone before the bitmap and the DC go
    uint32_t* FBits = nullptr;
};

std::string Describe(COLORREF c)
{
    return "RGB(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
           std::to_string(GetBValue(c)) + ")";
}

bool IsGrey(COLORREF c)
{
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::abs(r - g) < 12 && std::abs(g - b) < 12 && r > 60 && r < 240;
}
bool IsGreen(COLORREF c) { return GetGValue(c) > 90 && GetGValue(c) > GetRValue(c) + 60 && GetGValue(c) > GetBValue(c) + 60; }
bool IsYellow(COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) > 120 && GetBValue(c) < 60; }
bool IsRed(COLORREF c) { return GetRValue(c) > 120 && GetRValue(c) > GetGValue(c) + 80 && GetRValue(c) > GetBValue(c) + 80; }
bool IsBlue(COLORREF c) { return GetBValue(c) > 120 && GetBValue(c) > GetRValue(c) + 50; }
bool IsBlack(COLORREF c) { return GetRValue(c) < 50 && GetGValue(c) < 50 && GetBValue(c) < 50; }
bool IsBackground(COLORREF c) { return c == Magenta; }

struct KeyPixel {
    int Index;
    int X, Y;
    const char* What;
    bool (*Check)(COLORREF);
};

// Points inside each picture, and points where the background must show through.
const KeyPixel KeyPixels[] = {
    {imgUnknown, 8, 8, "grey ball centre", IsGrey},
    {imgRunning, 8, 8, "green ball centre", IsGreen},
    {imgPaused, 8, 8, "yellow ball centre", IsYellow},
    {imgStopped, 8, 8, "red ball centre", IsRed},
    {imgStopped, 8, 0, "above the ball", IsBackground},
    {imgStarting, 7, 2, "red sand above", IsRed},
    {imgStarting, 7, 13, "red sand below", IsRed},
    {imgStarting, 2, 0, "hourglass top plate", IsBlack},
    {imgStarting, 1, 8, "beside the hourglass neck", IsBackground},
    {imgStopping, 7, 2, "green sand", IsGreen},
    {imgStart, 5, 8, "triangle", IsBlack},
    {imgStart, 13, 3, "beside the triangle's tip", IsBackground},
    {imgStop, 7, 7, "square", IsBlack},
    {imgStop, 1, 7, "left of the square", IsBackground},
    {imgPause, 5, 7, "left bar", IsBlack},
    {imgPause, 10, 7, "right bar", IsBlack},
    {imgPause, 7, 7, "between the bars", IsBackground},
    {imgRefresh, 3, 8, "arrow's ring, left", IsGreen},
    {imgRefresh, 8, 8, "inside the ring", IsBackground},
    {imgProperties, 11, 8, "gear's body", IsBlue},
    {imgProperties, 14, 8, "gear's tooth at three o'clock", IsBlue},
    {imgProperties, 7, 7, "gear's hole", IsBackground},
    {imgQuit, 7, 4, "power symbol's bar", IsRed},
    {imgQuit, 3, 10, "power symbol's ring, left", IsRed},
    {imgQuit, 7, 10, "inside the power ring", IsBackground},
    {imgRestart, 3, 12, "restart's square", IsBlack},
    {imgRestart, 10, 12, "restart's triangle", IsBlack},
    {imgRestart, 8, 2, "restart's arrow", IsBlue},
    {imgRestart, 12, 6, "restart's arrow head", IsBlue},
};

TEST(MainImages, ListHoldsTwelveImagesOfSixteenPixels)
{
    UniqueImageList list = CreateMainImageList();
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.get()), MainImageCount);
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.get(), &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST(MainImages, KeyPixelsAndTransparentCorners)
{
    UniqueImageList list = CreateMainImageList();
    Canvas canvas;
    for (const KeyPixel& k : KeyPixels) {
        canvas.Draw(list.get(), k.Index);
        const COLORREF c = canvas.Pixel(k.X, k.Y);
        EXPECT_TRUE(k.Check(c)) << "image " << k.Index << ", " << k.What << " at (" << k.X << "," << k.Y
                                << ") is " << Describe(c);
    }
    for (int i = 0; i < MainImageCount; ++i) {
        canvas.Draw(list.get(), i);
        for (POINT p : {POINT{0, 0}, POINT{15, 0}, POINT{0, 15}, POINT{15, 15}})
            EXPECT_EQ(canvas.Pixel(p.x, p.y), Magenta) << "image " << i << " corner (" << p.x << "," << p.y << ")";
    }
}

TEST(MainImages, MenuBitmapsArePremultipliedWithClearSurroundings)
{
    for (int size : {16, 48}) {
        for (int i = 0; i < MainImageCount; ++i) {
            UniqueBitmap bmp = CreateImageBitmap(i, size);
            ASSERT_TRUE(bmp);
            DIBSECTION dib{};
            ASSERT_EQ(GetObjectW(bmp.get(), sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
            EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
            EXPECT_EQ(dib.dsBm.bmWidth, size);
            EXPECT_EQ(dib.dsBm.bmHeight, size);
            const auto* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
            int opaque = 0;
            for (int p = 0; p < size * size; ++p) {
                const uint32_t a = bits[p] >> 24;
                ASSERT_LE((bits[p] >> 16) & 0xFF, a) << "image " << i << " size " << size << " pixel " << p;
                ASSERT_LE((bits[p] >> 8) & 0xFF, a);
                ASSERT_LE(bits[p] & 0xFF, a);
                opaque += a == 255;
            }
            EXPECT_EQ(bits[0] >> 24, 0u) << "image " << i << " size " << size;
            EXPECT_GT(opaque, size * size / 10) << "image " << i << " size " << size;
        }
    }
}

// Menu items whose owner draws their picture: in colour when enabled, grey when disabled,
// the surroundings left alone.
TEST(MainImages, MenuItemPicturesDrawnByTheOwner)
{
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 0, 0, 0, 0};
    MeasureMenuItemImage(measure);
    EXPECT_GE(measure.itemWidth, 16u);
    EXPECT_EQ(measure.itemHeight, 16u);
    Canvas canvas;
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.hDC = canvas.Dc();
    item.rcItem = {0, 0, 16, 16};
    canvas.Clear();
    DrawMenuItemImage(item, imgRunning);
    GdiFlush();
    EXPECT_TRUE(IsGreen(canvas.Pixel(8, 8))) << Describe(canvas.Pixel(8, 8));
    EXPECT_EQ(canvas.Pixel(0, 0), Magenta);
    item.itemState = ODS_GRAYED;
    canvas.Clear(RGB(255, 255, 255));
    DrawMenuItemImage(item, imgRunning);
    GdiFlush();
    const COLORREF c = canvas.Pixel(8, 8);
    EXPECT_TRUE(IsGrey(c)) << Describe(c);
    EXPECT_EQ(canvas.Pixel(0, 0), RGB(255, 255, 255));
}

// A vector image is drawn anew at a larger size, with soft edges; a bitmap is only enlarged.
TEST(MainImages, VectorImagesAreDrawnAtTheSizeAsked)
{
    auto enlarged = [](const std::vector<uint32_t>& small, int factor) {
        const int size = 16 * factor;
        std::vector<uint32_t> big(static_cast<size_t>(size) * size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                big[static_cast<size_t>(y) * size + x] = small[(y / factor) * 16 + x / factor];
        return big;
    };
    auto softPixels = [](const std::vector<uint32_t>& pixels) {
        int n = 0;
        for (uint32_t p : pixels)
            n += (p >> 24) != 0 && (p >> 24) != 255;
        return n;
    };
    for (int i : {imgProperties, imgQuit}) {
        const std::vector<uint32_t> big = ImagePixels(i, 64);
        EXPECT_NE(big, enlarged(ImagePixels(i, 16), 4)) << "image " << i;
        EXPECT_GT(softPixels(big), 0) << "image " << i;
    }
    EXPECT_EQ(ImagePixels(imgRunning, 64), enlarged(ImagePixels(imgRunning, 16), 4));
    EXPECT_EQ(softPixels(ImagePixels(imgRefresh, 64)), 0);
}
}  // namespace
