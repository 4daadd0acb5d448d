// The main window's twelve 16 by 16 images, shared by the service list, the toolbar and the
// menus: the state balls and hourglasses, and the commands' pictures.
#pragma once

#include "ui/base/gui_handle.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

enum TImageIndex : int {
    imgUnknown = 0,      // grey ball
    imgRunning = 1,      // green ball
    imgPaused = 2,       // yellow ball
    imgStopped = 3,      // red ball
    imgStarting = 4,     // hourglass with red sand
    imgStopping = 5,     // hourglass with green sand
    imgStart = 6,        // black triangle pointing right
    imgStop = 7,         // black square
    imgPause = 8,        // two black vertical bars
    imgRefresh = 9,      // circular arrow
    imgProperties = 10,  // blue gear, a vector image
    imgQuit = 11,        // red power symbol, a vector image
};

constexpr int MainImageCount = 12;
constexpr int MainImageSize = 16;

// A new image list (ILC_COLOR32 | ILC_MASK, size by size, 16 by 16 at 96 dpi) holding the
// twelve images in index order. Images 0 to 9 are bitmaps masked by their white (enlarged
// pixel by pixel at other sizes); 10 and 11 are drawn from their vector description with an
// alpha channel and a mask. A list view that is handed the list must not destroy it
// (LVS_SHAREIMAGELISTS), or the owner releases it.
UniqueImageList CreateMainImageList(int size = MainImageSize);

// The twelve images greyed at half strength, for disabled toolbar buttons.
UniqueImageList CreateDisabledImageList(int size = MainImageSize);

// The picture of an image at size by size pixels: premultiplied BGRA, rows from the top,
// transparent around the picture. Bitmaps are enlarged pixel by pixel; vector images are
// drawn at that size.
std::vector<uint32_t> ImagePixels(int index, int size = MainImageSize);

// The picture as a 32-bit premultiplied DIB section, as menus take it (MENUITEMINFOW.hbmpItem).
// Windows blends it into the menu; Wine 8 copies it as it is, so its clear surroundings show
// black there: menus that must look right under Wine too use the callback below.
UniqueBitmap CreateImageBitmap(int index, int size = MainImageSize);

// Menu item pictures drawn by the menu's owner window: the item gets HBMMENU_CALLBACK as its
// hbmpItem, and the owner answers WM_MEASUREITEM and WM_DRAWITEM for it (CtlType ODT_MENU)
// with these two, knowing the item's image from its id (itemID) or data (itemData).
void MeasureMenuItemImage(MEASUREITEMSTRUCT& item, int size = MainImageSize);
// Draws the image centred in the item's picture area, greyed when the item is disabled.
void DrawMenuItemImage(const DRAWITEMSTRUCT& item, int index, int size = MainImageSize);
