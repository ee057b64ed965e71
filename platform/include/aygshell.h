// Pocket PC shell services, as far as the program uses them.
#pragma once
#include "windows.h"

// Loads a JPEG or PNG picture (recognised by content) into a new bitmap; null when the file is
// missing, unreadable or not a picture this platform decodes.
HBITMAP SHLoadImageFile(LPCWSTR path);
