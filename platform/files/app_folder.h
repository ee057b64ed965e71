// Where the player keeps its files. Run from any folder holding it (portable), the program's
// folder is the executable's own, as on the handheld. Installed under a prefix
// ("<prefix>/bin/<executable>" with "<prefix>/share" beside "bin", and no settings file next to
// the executable), it is the per-user "$XDG_DATA_HOME/<data folder>/", which the entry point
// reports as the executable's folder, so the program derives it unchanged. The names come from
// the program's profile; one without a data folder always runs portable.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "base/app_profile.h"

namespace zv {

// The variables the choice reads; a test passes its own.
struct UserEnvironment {
    std::string home;             // $HOME
    std::string xdg_data_home;    // $XDG_DATA_HOME
    std::string xdg_config_home;  // $XDG_CONFIG_HOME
    static UserEnvironment from_process();
};

// "<prefix>" when `executable` is installed under one, empty when it runs portable.
std::filesystem::path installed_prefix(const std::filesystem::path& executable, const AppProfile& profile);

// "<data home>/<data folder>": $XDG_DATA_HOME when absolute, else "$HOME/.local/share"; empty
// without either, or without a data folder in the profile.
std::filesystem::path user_data_folder(const UserEnvironment& env, const AppProfile& profile);

// The folder XDG_MUSIC_DIR names in the text of a user-dirs.dirs file: "$HOME/..." relative to
// `home`, or absolute. Empty when no line names one, or it names the home folder itself (the
// file's way of saying there is none).
std::filesystem::path music_dir_from_user_dirs(std::string_view text, const std::filesystem::path& home);

// The user's music folder: XDG_MUSIC_DIR from "$XDG_CONFIG_HOME/user-dirs.dirs" (default
// "~/.config"), else "~/Music"; empty when neither can be named.
std::filesystem::path user_music_folder(const UserEnvironment& env);

struct AppFolderChoice {
    // What GetModuleFileName reports instead of the executable; empty when portable.
    std::filesystem::path module_path;
    // The folder to scan as the working directory (installed, no settings file, and it exists).
    std::filesystem::path working_folder;
    // Installed: the settings file in the per-user folder; empty when portable.
    std::filesystem::path settings_path;
    // Installed without a settings file: the music folder looked for, whether or not it exists
    // (empty when none can be named).
    std::filesystem::path music_folder;
    // Installed, no settings file and no music folder: nothing says where the music is, and the
    // user wants telling how to say it.
    bool needs_hint = false;
    // Why an installed player keeps its files beside the executable after all; empty otherwise.
    std::string problem;
};

// Decides the layout for `executable`; when installed, creates the per-user folder (0700) and
// copies "<prefix>/share/<data folder>/<default picture>" into it unless one is already there.
AppFolderChoice prepare_app_folder(const std::filesystem::path& executable, const UserEnvironment& env,
                                   const AppProfile& profile);

// The running executable (/proc/self/exe); empty when it cannot be read.
std::filesystem::path running_executable();

}  // namespace zv
