// Process entry: builds the platform over the desktop backend and runs the program's entry
// routine, whose result is the exit code. Without a window on a display the program does not
// run: the reason goes to standard error and the exit code is 1. An installed player keeps its
// files in the per-user folder, which it reports as its own (files/app_folder.h).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "composition/platform.h"
#include "entry/zorvane_profile.h"
#include "files/app_folder.h"
#include "files/codepage.h"
#include "resources/resource_blob.h"

int main(int, char**)
{
    zv::PlatformOptions options;
    options.profile = zv::zorvane_profile();
    options.backend = zv::PlatformOptions::BackendKind::Desktop;
    if (const char* s = std::getenv("ZORVANE_SCALE")) options.scale = std::atoi(s);
    options.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
    const zv::AppFolderChoice folder =
        zv::prepare_app_folder(zv::running_executable(), zv::UserEnvironment::from_process(), options.profile);
    if (!folder.problem.empty()) std::fprintf(stderr, "zorvane: %s\n", folder.problem.c_str());
    if (!folder.module_path.empty()) options.executable_path = zv::widen(folder.module_path.native());
    if (!folder.working_folder.empty() && ::chdir(folder.working_folder.c_str()) != 0)
        std::fprintf(stderr, "zorvane: cannot enter %s: %s\n", folder.working_folder.c_str(), std::strerror(errno));
    int code = 0;
    {
        zv::Platform platform(options);
        if (!platform.failure().empty()) {
            std::fprintf(stderr, "zorvane: %s\n", platform.failure().c_str());
            code = 1;
        } else {
            std::u16string command_line;
            code = WinMain(platform.module(), nullptr, command_line.data(), SW_SHOW);
            platform.program_finished();
        }
    }
    // The program releases almost nothing at exit; leave without running its static teardown.
    std::_Exit(code);
}
