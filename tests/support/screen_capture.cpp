#include "tests/support/screen_capture.h"

#include "common/errors.h"
#include "ui/base/gui_handle.h"

#include <algorithm>

TScreenCapture::TScreenCapture(const RECT& screenRect) : FRect(screenRect)
{
    FWidth = std::max(0L, screenRect.right - screenRect.left);
    FHeight = std::max(0L, screenRect.bottom - screenRect.top);
    FStride = (FWidth * 3 + 3) & ~3;
    FPixels.resize(static_cast<size_t>(FStride) * FHeight);
    if (FWidth == 0 || FHeight == 0)
        return;

    UniqueWindowDC screen(nullptr);
    UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), FWidth, FHeight));
    {
        TSelectObjectScope selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, FWidth, FHeight, screen.get(), screenRect.left, screenRect.top, SRCCOPY);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = FWidth;
    info.bmiHeader.biHeight = FHeight;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(FHeight), FPixels.data(), &info, DIB_RGB_COLORS);
}

COLORREF TScreenCapture::ScreenPixel(int x, int y) const
{
    const int cx = x - FRect.left;
    const int cy = y - FRect.top;
    if (cx < 0 || cy < 0 || cx >= FWidth || cy >= FHeight)
        return CLR_INVALID;
    const BYTE* p = &FPixels[static_cast<size_t>(FHeight - 1 - cy) * FStride + static_cast<size_t>(cx) * 3];
    return RGB(p[2], p[1], p[0]);
}

int TScreenCapture::CountColour(const RECT& screenPart, COLORREF colour) const
{
    int count = 0;
    for (int y = screenPart.top; y < screenPart.bottom; ++y)
        for (int x = screenPart.left; x < screenPart.right; ++x)
            if (ScreenPixel(x, y) == colour)
                ++count;
    return count;
}

void TScreenCapture::SaveBmp(const std::wstring& path) const
{
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = FWidth;
    header.biHeight = FHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(FPixels.size());
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;

    UniqueFileHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!out)
        RaiseLastOSError();
    DWORD written = 0;
    Win32Check(WriteFile(out.get(), &file, sizeof(file), &written, nullptr));
    Win32Check(WriteFile(out.get(), &header, sizeof(header), &written, nullptr));
    Win32Check(WriteFile(out.get(), FPixels.data(), static_cast<DWORD>(FPixels.size()), &written, nullptr));
}

RECT WindowScreenRect(HWND wnd)
{
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
}
