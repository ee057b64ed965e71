// How the player starts: the command line, the environment and where the executable lies decide
// the platform's options, the folder to scan and what is said before anything opens; then the
// program runs on the platform, after the first-start hint when there is one.
#pragma once
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "composition/platform.h"
#include "files/app_folder.h"

namespace zv {

// What the start reads from the environment; a test passes its own.
struct StartEnvironment {
    UserEnvironment user;
    std::optional<std::string> scale;  // $ZORVANE_SCALE
    static StartEnvironment from_process();
};

struct Start {
    std::optional<int> exit_code;  // set: leave at once with it
    std::string out;               // for standard output
    std::string err;               // for standard error: faults, warnings, the first-start hint
    PlatformOptions options;       // the desktop platform's, with the program's profile; no resources
    std::string hint;              // the first-start hint for a box; empty for none
};

// Reads `args` (those after the program's name), decides the layout for `executable`
// (files/app_folder.h) and enters the folder the program is to scan: a folder given on the
// command line, else the music folder an installed player without a settings file plays.
Start prepare_start(std::span<const std::string_view> args, const StartEnvironment& env,
                    const std::filesystem::path& executable);

// Why nothing will play, and how to say where the music is, for an installed player that has
// neither a settings file nor a music folder.
std::string first_start_hint(const AppFolderChoice& choice);

using ProgramEntry = decltype(&WinMain);

// Shows the start's hint (when it has one) in a box, then runs `program` on `platform` and returns
// its exit code.
int run_program(Platform& platform, const Start& start, ProgramEntry program);

}  // namespace zv
