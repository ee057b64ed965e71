// The Win32-shaped surface of the platform layer, as the program includes it.
#pragma once
#include "winbase.h"
#include "windef.h"
#include "wingdi.h"
#include "winnls.h"
#include "winresource.h"
#include "winuser.h"
