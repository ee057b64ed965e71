#include "files/file_system.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/codepage.h"
#include "files/find_search.h"
#include "winbase.h"

static_assert(PATH_BUFFER_CHARS == PATH_MAX, "path buffers must hold the platform's longest path");

namespace zv {

FileSystemState::FileSystemState() : finds_(HandleKind::Find) {}

FileSystemState::~FileSystemState() = default;

bool FileSystemState::is_being_enumerated(dev_t dev, ino_t ino) const
{
    bool found = false;
    finds_.for_each([&](std::uintptr_t, const FindSearch& s) {
        if (s.device() == dev && s.inode() == ino) found = true;
    });
    return found;
}

namespace {

std::u16string module_path(const FileSystemState* fs = FileSystemState::current())
{
    if (fs && fs->executable_path()) return *fs->executable_path();
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size())
            return widen(std::string_view(buf.data(), static_cast<std::size_t>(n)));
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

void FileSystemState::set_settings_text(const std::string& name, std::string text)
{
    if (name.empty() || name.find('/') != std::string::npos) return;
    settings_name_ = name;
    settings_text_ = std::move(text);
}

const std::string* FileSystemState::read_override(const std::string& path) const
{
    if (settings_name_.empty()) return nullptr;
    // The program names the file as its folder (GetModuleFileName up to the last separator)
    // followed by the file's name; a path spelt differently ("a//b", "./") still means it.
    std::string folder = narrow(module_path(this));
    folder.resize(folder.find_last_of('/') + 1);  // npos + 1 is 0: the working directory
    const std::filesystem::path settings = std::filesystem::path(folder) / settings_name_;
    if (std::filesystem::path(path).lexically_normal() != settings.lexically_normal()) return nullptr;
    return &settings_text_;
}

}  // namespace zv

namespace {
HANDLE find_first(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData, bool names_only)
{
    zv::FileSystemState* fs = zv::FileSystemState::current();
    if (!fs) {
        SetLastError(ERROR_NOT_READY);
        return INVALID_HANDLE_VALUE;
    }
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_SUCCESS;
    std::unique_ptr<zv::FindSearch> search = zv::FindSearch::open(lpFileName, error, names_only);
    if (!search) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW first{};
    if (!search->next(*fs, first)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = first;
    return zv::to_handle<HANDLE>(fs->finds().insert(std::move(search)));
}

}  // namespace

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    return find_first(lpFileName, lpFindFileData, false);
}

HANDLE WINAPI FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS level, LPVOID lpFindFileData,
                               FINDEX_SEARCH_OPS op, LPVOID filter, DWORD flags)
{
    if (op != FindExSearchNameMatch || filter || (level != FindExInfoStandard && level != FindExInfoBasic)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    (void)flags;
    return find_first(lpFileName, static_cast<LPWIN32_FIND_DATAW>(lpFindFileData), level == FindExInfoBasic);
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    zv::FileSystemState* fs = zv::FileSystemState::current();
    zv::FindSearch* search = fs ? fs->finds().get(hFindFile) : nullptr;
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!search->next(*fs, *lpFindFileData)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    zv::FileSystemState* fs = zv::FileSystemState::current();
    if (!fs || !fs->finds().remove(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetModuleFileNameW(HMODULE /*hModule*/, LPWSTR lpFilename, DWORD nSize)
{
    if (nSize > 0 && !lpFilename) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string path = zv::module_path();
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < nSize) {
        path.copy(lpFilename, path.size());
        lpFilename[path.size()] = 0;
        return static_cast<DWORD>(path.size());
    }
    std::size_t cut = nSize - 1;
    // Keep surrogate pairs whole.
    if (cut > 0 && path[cut - 1] >= 0xD800 && path[cut - 1] <= 0xDBFF) --cut;
    path.copy(lpFilename, cut);
    lpFilename[cut] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString)
{
    if (!lpOutputString) return;
    const std::string text = zv::narrow(lpOutputString);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
