#include "winbase.h"

namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError() { return last_error; }

void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }
