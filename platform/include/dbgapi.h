// Debug checks as the Windows CE kernel headers give them: a failed check prints its place to
// the debug output (stderr here) and stops in a debugger if one is attached.
#pragma once
#include "windows.h"

#define DBGAPI_WIDEN2(s) u##s
#define DBGAPI_WIDEN(s) DBGAPI_WIDEN2(s)

#define DEBUGCHK(exp)                                                                                      \
    ((void)((exp) ? 1                                                                                      \
                  : (NKDbgPrintfW(TEXT("%s: DEBUGCHK failed in file %s at line %d \r\n"), TEXT("Unknown"), \
                                  DBGAPI_WIDEN(__FILE__), __LINE__),                                       \
                     DebugBreak(), 0)))
