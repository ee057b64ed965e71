// The Win32-shaped surface of the platform layer, as the program includes it.
#pragma once
#include "windef.h"
#include "winnls.h"
#include "winbase.h"
#include "wingdi.h"
#include "winresource.h"
#include "winuser.h"
