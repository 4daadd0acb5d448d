// The product picture at the top of the About window.
#pragma once

#include "ui/base/gui_handle.h"

constexpr int ProductPictureWidth = 500;
constexpr int ProductPictureHeight = 300;

// A 500 by 300 true-colour picture: the product's name over a light sky, a pair of server
// towers, a dark band at the foot. The right part around (300..448, 140..155) stays light for
// the version line that is written over it.
UniqueBitmap CreateProductPicture();
