// The 32 by 32 picture of the service dialogs (a server with its database), drawn in code in
// sixteen-colour style. Only the picture is painted: what lies around it stays as it was, so
// it shows transparent on any background.
#pragma once

#include <windows.h>

void DrawServerPicture(HDC dc, int left, int top);
