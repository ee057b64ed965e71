// The core library as the program reaches it by name: LoadLibrary("coredll.dll") gives a
// counted reference, GetProcAddress finds the exports the program looks up at run time, and
// FreeLibrary drops the reference (a handle whose last reference is gone no longer resolves).
// UnregisterFunc1 takes a hot key away from whoever holds it, so a newer window can register it.
#include <windows.h>

#include <array>
#include <string_view>

#include "base/names.h"
#include "core/user_state.h"

using zv::UserState;

namespace {

BOOL WINAPI UnregisterFunc1(UINT modifiers, UINT key)
{
    UserState* u = UserState::current();
    if (!u) return FALSE;
    u->input().unregister_hotkeys_for(modifiers, key);
    return TRUE;
}

struct Export {
    std::u16string_view name;
    FARPROC proc;
};

const std::array<Export, 1> kExports{{
    {u"UnregisterFunc1", reinterpret_cast<FARPROC>(&UnregisterFunc1)},
}};

// A library name as LoadLibrary accepts it: a bare file name, with or without ".dll".
bool names_core_library(std::u16string_view name)
{
    return zv::names_equal(name, u"coredll.dll") || zv::names_equal(name, u"coredll");
}

}  // namespace

HMODULE WINAPI LoadLibraryW(LPCWSTR name)
{
    UserState* u = UserState::current();
    if (!u || !name || !names_core_library(name)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    zv::HandleTable<int>& libraries = u->input().libraries();
    // One handle for every reference; it lives while any reference does.
    HMODULE found = nullptr;
    libraries.for_each([&](std::uintptr_t h, int& refs) {
        ++refs;
        found = zv::to_handle<HMODULE>(h);
    });
    if (found) return found;
    return zv::to_handle<HMODULE>(libraries.insert(std::make_unique<int>(1)));
}

FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR name)
{
    UserState* u = UserState::current();
    if (!u || !u->input().libraries().get(module) || !name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    for (const Export& e : kExports) {
        if (e.name != std::u16string_view(name)) continue;
        if (e.name == u"UnregisterFunc1" && !u->input().unregister_func1_exported) break;
        return e.proc;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module)
{
    UserState* u = UserState::current();
    int* refs = u ? u->input().libraries().get(module) : nullptr;
    if (!refs) return FALSE;
    if (--*refs == 0) u->input().libraries().remove(module);
    return TRUE;
}
