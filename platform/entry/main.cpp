// Process entry: reads the command line before anything opens a display (entry/start.h), builds
// the platform over the desktop backend and runs the program's entry routine, whose result is the
// exit code. Without a window on a display the program does not run: the reason goes to standard
// error and the exit code is 1.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "composition/platform.h"
#include "entry/start.h"
#include "files/app_folder.h"
#include "resources/resource_blob.h"

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    zv::Start start = zv::prepare_start(args, zv::StartEnvironment::from_process(), zv::running_executable());
    std::fputs(start.out.c_str(), stdout);
    std::fputs(start.err.c_str(), stderr);
    if (start.exit_code) {
        if (std::fflush(stdout) != 0 && *start.exit_code == 0) return 1;  // help into a full disk
        return *start.exit_code;
    }
    start.options.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
    int code = 0;
    {
        zv::Platform platform(start.options);
        if (!platform.failure().empty()) {
            std::fprintf(stderr, "zorvane: %s\n", platform.failure().c_str());
            code = 1;
        } else {
            code = zv::run_program(platform, start, WinMain);
        }
    }
    // The program releases almost nothing at exit; leave without running its static teardown.
    std::_Exit(code);
}
