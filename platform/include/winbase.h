// Files, module path, debug output and the thread's last-error value.
#pragma once
#include "windef.h"

// ---- Last error (per thread) ----
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);

#ifndef ERROR_SUCCESS
#define ERROR_SUCCESS 0L
#endif
#ifndef ERROR_FILE_NOT_FOUND
#define ERROR_FILE_NOT_FOUND 2L
#endif
#ifndef ERROR_PATH_NOT_FOUND
#define ERROR_PATH_NOT_FOUND 3L
#endif
#ifndef ERROR_TOO_MANY_OPEN_FILES
#define ERROR_TOO_MANY_OPEN_FILES 4L
#endif
#ifndef ERROR_ACCESS_DENIED
#define ERROR_ACCESS_DENIED 5L
#endif
#ifndef ERROR_INVALID_HANDLE
#define ERROR_INVALID_HANDLE 6L
#endif
#ifndef ERROR_NOT_ENOUGH_MEMORY
#define ERROR_NOT_ENOUGH_MEMORY 8L
#endif
#ifndef ERROR_NO_MORE_FILES
#define ERROR_NO_MORE_FILES 18L
#endif
#ifndef ERROR_NOT_READY
#define ERROR_NOT_READY 21L
#endif
#ifndef ERROR_INVALID_PARAMETER
#define ERROR_INVALID_PARAMETER 87L
#endif
#ifndef ERROR_INSUFFICIENT_BUFFER
#define ERROR_INSUFFICIENT_BUFFER 122L
#endif
#ifndef ERROR_PROC_NOT_FOUND
#define ERROR_PROC_NOT_FOUND 127L
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif

// ---- Paths ----
// The directory separator, where a Windows CE program writes a backslash.
#define PATH_SEPARATOR u'/'
#define PATH_SEPARATOR_STR u"/"
// Characters in a buffer that holds any path of this platform (PATH_MAX), terminator included.
#define PATH_BUFFER_CHARS 4096

// ---- Directory enumeration ----
#ifndef _FILETIME_DEFINED
#define _FILETIME_DEFINED
// 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;
using LPFILETIME = FILETIME*;
#endif

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using PWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using WIN32_FIND_DATA = WIN32_FIND_DATAW;
using LPWIN32_FIND_DATA = WIN32_FIND_DATAW*;

// lpFileName is a '/' path whose last component may hold '*' and '?'; a pattern without a folder
// ("*") enumerates the working directory. Never yields "." or "..". Fails with
// INVALID_HANDLE_VALUE: ERROR_PATH_NOT_FOUND for a missing folder, ERROR_FILE_NOT_FOUND when
// nothing matches.
HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
// FALSE with ERROR_NO_MORE_FILES at the end, ERROR_INVALID_HANDLE for a closed or foreign handle.
BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);

enum FINDEX_INFO_LEVELS { FindExInfoStandard = 0, FindExInfoBasic = 1 };
enum FINDEX_SEARCH_OPS { FindExSearchNameMatch = 0 };
#define FIND_FIRST_EX_LARGE_FETCH 0x00000002
// With FindExInfoBasic, entries that the directory lists as plain files carry only their name and
// attributes (no size, no times): a walk that needs nothing more is spared a stat per file.
HANDLE WINAPI FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS level, LPVOID lpFindFileData,
                               FINDEX_SEARCH_OPS op, LPVOID filter, DWORD flags);
BOOL WINAPI FindClose(HANDLE hFindFile);
#define FindFirstFile FindFirstFileW
#define FindFirstFileEx FindFirstFileExW
#define FindNextFile FindNextFileW

// ---- Files ----
// Read-only access to regular files: anything else (a FIFO, a device, a folder) fails as a file
// that cannot be opened would, and the open never blocks.
#define GENERIC_READ 0x80000000L
#define FILE_SHARE_READ 0x00000001
#define OPEN_EXISTING 3
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped);
BOOL WINAPI CloseHandle(HANDLE hObject);
#define CreateFile CreateFileW

// ---- Module ----
// The executable's full path. This process has one module, so every hModule (NULL included)
// names the executable. A path that does not fit is cut to nSize - 1 characters and terminated;
// the call then returns nSize with ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
#define GetModuleFileName GetModuleFileNameW

// ---- Libraries ----
// The platform's own core library answers to "coredll.dll" (any case); no other library exists.
// Win32 declares it as returning INT_PTR; the untyped function pointer lets a caller cast it to
// the export's real type without a function-type warning.
using FARPROC = void(WINAPI*)();
HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
#define LoadLibrary LoadLibraryW
#define GetProcAddress GetProcAddressW

// ---- Arithmetic ----
// number * numerator / denominator through a 64-bit product, rounded half away from zero; -1 when
// the denominator is 0 or the result does not fit an int.
int MulDiv(int number, int numerator, int denominator);

// ---- Debug output (goes to stderr) ----
void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
#define OutputDebugString OutputDebugStringW
// Formats %s (wide), %d, %u and %x, as the kernel's debug print does, and writes to stderr.
void NKDbgPrintfW(LPCWSTR lpszFmt, ...);
// Stops in a debugger when one is attached; otherwise does nothing.
void WINAPI DebugBreak();
