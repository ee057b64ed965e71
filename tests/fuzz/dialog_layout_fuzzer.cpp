// Fuzzes the relayout walk the way the library browser meets it: each input is a dialog template
// laid over a live browser dialog (the program's template 105). The input sits in a buffer of
// exactly its size, so any read past the template's end is an address-sanitizer report.
// With ZV_WRITE_SEEDS=<folder> it writes the program's own dialog templates there and exits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/zorvane.h"
#include "composition/platform.h"
#include "files/codepage.h"
#include "leak_check.h"
#include "resources/dialog_layout.h"
#include "resources/resource_blob.h"

namespace {

std::unique_ptr<zv::Platform> g_platform;
const std::uint8_t* g_data = nullptr;
std::size_t g_size = 0;

INT_PTR CALLBACK LayOutOnce(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG) return FALSE;
    std::vector<BYTE> exact(g_data, g_data + g_size);
    ApplyDialogLayoutBytes(ModuleInstance, dialog, exact.data(), static_cast<DWORD>(exact.size()));
    MoveDialogControlsBytes(dialog, exact.data(), static_cast<DWORD>(exact.size()));
    // Whatever the layout did, every control still answers.
    for (int id : {IDC_LIBRARY_PATHS, IDC_LIBRARY_BACK, IDC_LIBRARY_SORT, IDC_LIBRARY_NAMES, IDC_LIBRARY_LIST})
        if (!GetDlgItem(dialog, id)) std::abort();
    EndDialog(dialog, IDOK);
    return TRUE;
}

const DLGTEMPLATE* browser_template()
{
    HRSRC found = FindResource(ModuleInstance, MAKEINTRESOURCE(IDD_LIBRARY), RT_DIALOG);
    return static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(ModuleInstance, found)));
}

void write_seeds(const char* folder)
{
    for (int id : {IDD_LIBRARY, IDD_LIBRARY_LANDSCAPE, IDD_ABOUT, IDD_UNUSED_BUTTON, IDD_NOWPLAYING,
                   IDD_NOWPLAYING_LANDSCAPE, IDD_OPTIONS, IDD_UNUSED_LIST}) {
        HRSRC found = FindResource(ModuleInstance, MAKEINTRESOURCE(id), RT_DIALOG);
        const void* bytes = LockResource(LoadResource(ModuleInstance, found));
        if (!bytes) std::abort();
        const std::string path = std::string(folder) + "/dialog-" + std::to_string(id);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) std::abort();
        std::fwrite(bytes, 1, SizeofResource(ModuleInstance, found), f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    zv::PlatformOptions options;
    options.backend = zv::PlatformOptions::BackendKind::Headless;
    options.executable_path = zv::widen("/tmp/zorvane");
    options.audio_device = false;
    options.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
    g_platform = std::make_unique<zv::Platform>(options);
    ModuleInstance = g_platform->module();
    if (const char* seeds = std::getenv("ZV_WRITE_SEEDS")) {
        write_seeds(seeds);
        std::exit(0);
    }
    // Once before the inputs: fontconfig's caches, made at the first text drawn, live for the
    // process and would otherwise count as the first input's leak.
    DialogBoxIndirectParam(ModuleInstance, browser_template(), nullptr, LayOutOnce, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    g_data = data;
    g_size = size;
    zv::fuzz::LeakCheck leaks;
    if (DialogBoxIndirectParam(ModuleInstance, browser_template(), nullptr, LayOutOnce, 0) != IDOK) std::abort();
    return 0;
}
