// Pictures of the screen for tests that look at what another program drew: a rectangle of the
// screen copied into memory, its pixels read, and the picture written as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TScreenCapture {
public:
    // Copies the given rectangle of the screen (screen coordinates).
    explicit TScreenCapture(const RECT& screenRect);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The colour at a point of the screen inside the captured rectangle.
    COLORREF ScreenPixel(int x, int y) const;
    // How many pixels inside the part (screen coordinates) have exactly this colour.
    int CountColour(const RECT& screenPart, COLORREF colour) const;
    // Writes the picture as a BMP file; raises an error when the file cannot be written.
    void SaveBmp(const std::wstring& path) const;

private:
    RECT FRect;
    int FWidth = 0;
    int FHeight = 0;
    std::vector<BYTE> FPixels;  // bottom-up rows of BGR triples, each row padded to 4 bytes
    int FStride = 0;
};

// The outer rectangle of a window on the screen.
RECT WindowScreenRect(HWND wnd);
