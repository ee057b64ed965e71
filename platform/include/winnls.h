// Code-page conversion. Both code pages are UTF-8 on this platform, and the conversion is lossless
// for byte strings that are not valid UTF-8: each byte that does not decode becomes the code unit
// 0xDC00 + byte (U+DC80..U+DCFF) and converts back to that same byte, so every file name the file
// system hands out can be opened again from its wide form.
#pragma once
#include "windef.h"

#define CP_ACP 0
#define CP_UTF8 65001

// Returns the number of wide characters written (or needed, when cchWideChar is 0); 0 on failure
// with the reason in GetLastError(). cbMultiByte -1 converts up to and including the terminating
// zero. When the result does not fit, the call fails with ERROR_INSUFFICIENT_BUFFER and the buffer
// holds the longest prefix of whole characters that fits in cchWideChar - 1 units, zero-terminated,
// so a caller that ignores the result still has a terminated string. dwFlags is ignored: no input
// is ever rejected.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);

// The reverse, with the same length, size-query and overflow rules. A lone surrogate outside
// U+DC80..U+DCFF cannot be represented: it becomes lpDefaultChar (its first character, when
// given) or U+FFFD, and *lpUsedDefaultChar (when given) tells whether that happened.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar);
