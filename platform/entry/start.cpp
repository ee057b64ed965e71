#include "entry/start.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "entry/command_line.h"
#include "entry/zorvane_profile.h"
#include "files/codepage.h"

namespace zv {

namespace fs = std::filesystem;

StartEnvironment StartEnvironment::from_process()
{
    StartEnvironment env;
    env.user = UserEnvironment::from_process();
    if (const char* scale = std::getenv("ZORVANE_SCALE")) env.scale = scale;
    return env;
}

std::string first_start_hint(const AppFolderChoice& choice)
{
    const std::string looked = choice.music_folder.empty()
                                   ? "no music folder can be named without HOME"
                                   : "there is no folder " + printable(choice.music_folder.native());
    return "No music found: " + looked + ".\n\nTo choose one, write its full path, ending with /, as the one line of " +
           printable(choice.settings_path.native()) + ", or start the player with the folder: zorvane FOLDER";
}

Start prepare_start(std::span<const std::string_view> args, const StartEnvironment& env, const fs::path& executable)
{
    Start start;
    CommandLine line = parse_command_line(args);
    start.out = std::move(line.out);
    start.err = std::move(line.err);
    start.exit_code = line.exit_code;
    if (start.exit_code) return start;

    // Before the layout is prepared, so bad usage changes nothing on disk.
    if (line.folder) {
        std::error_code ec;
        const fs::file_status status = fs::status(*line.folder, ec);
        if (!fs::is_directory(status)) {
            const std::string name = "'" + printable(*line.folder) + "'";
            start.err += usage_error(fs::exists(status) ? name + " is not a folder" : "no such folder " + name);
            start.exit_code = 2;
            return start;
        }
    }

    PlatformOptions& options = start.options;
    options.profile = zorvane_profile();
    options.backend = PlatformOptions::BackendKind::Desktop;
    options.fullscreen = line.fullscreen;
    // The option wins over the variable; a variable that makes no sense is said and left aside.
    if (line.scale) {
        options.scale = *line.scale;
    } else if (env.scale && !env.scale->empty()) {
        if (const std::optional<int> scale = parse_scale(*env.scale))
            options.scale = *scale;
        else
            start.err += "zorvane: ignoring ZORVANE_SCALE='" + printable(*env.scale) +
                         "': not a whole number from 1 to " + std::to_string(kLargestScale) + "\n";
    }

    const AppFolderChoice folder = prepare_app_folder(executable, env.user, options.profile);
    if (!folder.problem.empty()) start.err += "zorvane: " + folder.problem + "\n";
    if (!folder.module_path.empty()) options.executable_path = widen(folder.module_path.native());

    // The program scans the working directory when its settings name no folder: a folder on the
    // command line becomes that, and the settings read as empty for this run.
    fs::path scan = folder.working_folder;
    if (line.folder) {
        scan = *line.folder;
        options.settings_text = "";
    } else if (folder.needs_hint) {
        start.hint = first_start_hint(folder);
        start.err += "zorvane: " + start.hint + "\n";
        // Not wherever it was started (from a launcher, the whole home folder): the per-user
        // folder, where the box told the user to name the music.
        scan = folder.module_path.parent_path();
    }
    if (!scan.empty() && ::chdir(scan.c_str()) != 0) {
        start.err += "zorvane: cannot enter " + printable(scan.native()) + ": " + std::strerror(errno) + "\n";
        // Scanning wherever the player was started instead would play the wrong music.
        if (line.folder) start.exit_code = 1;
    }
    return start;
}

int run_program(Platform& platform, const Start& start, ProgramEntry program)
{
    if (!start.hint.empty())
        MessageBoxW(nullptr, widen(start.hint).c_str(), widen(start.options.profile.name).c_str(), MB_ICONASTERISK);
    std::u16string command_line;
    const int code = program(platform.module(), nullptr, command_line.data(), SW_SHOW);
    platform.program_finished();
    return code;
}

}  // namespace zv
