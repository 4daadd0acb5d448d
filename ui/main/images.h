// The main window's 16 by 16 images, shared by the service list, the toolbar and the
// menus: the state balls and hourglasses, and the commands' pictures.
#pragma once

#include "ui/base/gui_handle.h"
#include "ui/main/command_ids.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

constexpr int MainImageCount = imgCount;
constexpr int MainImageSize = 16;

// A new image list (ILC_COLOR32 | ILC_MASK, size by size, 16 by 16 at 96 dpi) holding the
// images in index order. Bitmap pictures are masked by their white (enlarged pixel by pixel
// at other sizes); the gear and the power symbol are drawn from their vector description with
// an alpha channel and a mask. A list view that is handed the list must not destroy it
// (LVS_SHAREIMAGELISTS), or the owner releases it.
UniqueImageList CreateMainImageList(int size = MainImageSize);

// The images greyed at half strength, for disabled toolbar buttons.
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
