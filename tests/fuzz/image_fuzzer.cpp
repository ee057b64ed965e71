// Fuzzes the picture loader the way the player meets it: the bytes become default.jpg (JPEG or
// PNG, told apart by content), SHLoadImageFile loads it, and it is drawn shrunk to the album-art
// size of 250 x 232 as the now-playing panel's cover is. Nothing the input made may outlive it.
#include <aygshell.h>
#include <unistd.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "composition/platform.h"
#include "files/codepage.h"
#include "leak_check.h"

namespace {

std::unique_ptr<zv::Platform> g_platform;
const std::string g_path = "/tmp/zv-imagefuzz-" + std::to_string(getpid()) + "-default.jpg";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    zv::PlatformOptions options;
    options.backend = zv::PlatformOptions::BackendKind::Headless;
    options.audio_device = false;
    g_platform = std::make_unique<zv::Platform>(options);
    std::atexit([] { std::remove(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zv::fuzz::LeakCheck leaks;
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) std::abort();
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    HBITMAP picture = std::fclose(f) == 0 && written ? SHLoadImageFile(zv::widen(g_path).c_str()) : nullptr;
    if (!picture) return 0;
    // As the track information draws the cover: one pixel left, so the right column stays black.
    HDC source = CreateCompatibleDC(nullptr), dest = CreateCompatibleDC(nullptr);
    HGDIOBJ old_source = SelectObject(source, picture);
    BITMAP header{};
    if (GetObject(picture, sizeof(header), &header) == 0) std::abort();
    HBITMAP scaled = CreateCompatibleBitmap(source, 250, 232);
    HGDIOBJ old_dest = SelectObject(dest, scaled);
    StretchBlt(dest, -1, 0, 250, 232, source, 0, 0, header.bmWidth, header.bmHeight, SRCCOPY);
    SelectObject(dest, old_dest);
    SelectObject(source, old_source);
    DeleteDC(dest);
    DeleteDC(source);
    DeleteObject(scaled);
    DeleteObject(picture);
    return 0;
}
