// CreateFile, ReadFile and CloseHandle for what the program reads: regular files only, opened
// without blocking (see regular_file.h), or this run's settings text in place of the settings
// file (file_system.h). Writing goes through the C runtime.
#include <cerrno>
#include <string>

#include "files/codepage.h"
#include "files/file_system.h"
#include "files/regular_file.h"
#include "winbase.h"

namespace {

DWORD error_from_errno(int e)
{
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        default: return ERROR_ACCESS_DENIED;  // a FIFO, a device, a folder: not a file we read
    }
}

}  // namespace

HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE)
{
    zv::FileSystemState* fs = zv::FileSystemState::current();
    if (!fs || !name || access != static_cast<DWORD>(GENERIC_READ) || disposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = zv::narrow(name);
    const std::string* text = fs->read_override(path);
    zv::UniqueFd fd = text ? zv::memory_file(*text) : zv::open_regular_file(path);
    if (!fd) {
        SetLastError(error_from_errno(errno));
        return INVALID_HANDLE_VALUE;
    }
    return zv::to_handle<HANDLE>(fs->files().insert(std::make_unique<zv::UniqueFd>(std::move(fd))));
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read_count, LPOVERLAPPED)
{
    zv::FileSystemState* fs = zv::FileSystemState::current();
    zv::UniqueFd* fd = fs ? fs->files().get(file) : nullptr;
    if (read_count) *read_count = 0;
    if (!fd || (!buffer && size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ssize_t n;
    do {
        n = ::read(fd->get(), buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (read_count) *read_count = static_cast<DWORD>(n);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    zv::FileSystemState* fs = zv::FileSystemState::current();
    if (!fs || !fs->files().remove(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
