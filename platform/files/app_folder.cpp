#include "files/app_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "files/regular_file.h"

namespace zv {

namespace fs = std::filesystem;

namespace {

bool present(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));  // a dangling link is there too
}

std::string variable(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are ignored),
// else the default under the home folder.
fs::path base_folder(const std::string& value, const std::string& home, const char* fallback)
{
    if (!value.empty() && value.front() == '/') return value;
    if (home.empty()) return {};
    return fs::path(home) / fallback;
}

// The text of a small regular file; nothing for a FIFO, a device or a missing file.
std::string read_small_file(const fs::path& p)
{
    constexpr std::size_t kLimit = 64 * 1024;
    const UniqueFd fd = open_regular_file(p.string());
    if (!fd) return {};
    std::string text(kLimit, '\0');
    std::size_t used = 0;
    while (used < kLimit) {
        const ssize_t n = ::read(fd.get(), text.data() + used, kLimit - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    text.resize(used);
    return text;
}

// The quoted value of `line` when it assigns XDG_MUSIC_DIR; backslash escapes are undone, as
// xdg-user-dirs-update writes them.
std::optional<std::string> music_assignment(std::string_view line)
{
    std::size_t i = line.find_first_not_of(" \t");
    constexpr std::string_view kKey = "XDG_MUSIC_DIR";
    if (i == std::string_view::npos || line.substr(i, kKey.size()) != kKey) return std::nullopt;
    i += kKey.size();
    if (i >= line.size() || line[i] != '=') return std::nullopt;
    if (++i >= line.size() || line[i] != '"') return std::nullopt;
    std::string value;
    for (++i; i < line.size(); ++i) {
        if (line[i] == '"') return value;
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    return std::nullopt;  // no closing quote
}

}  // namespace

UserEnvironment UserEnvironment::from_process()
{
    return {variable("HOME"), variable("XDG_DATA_HOME"), variable("XDG_CONFIG_HOME")};
}

fs::path installed_prefix(const fs::path& executable, const AppProfile& profile)
{
    // Nowhere of its own to keep its files: it stays beside them.
    if (profile.data_folder.empty() || profile.executable.empty()) return {};
    const fs::path bin = executable.parent_path();
    if (bin.filename() != "bin") return {};
    const fs::path prefix = bin.parent_path();
    std::error_code ec;
    if (prefix.empty() || !fs::is_directory(prefix / "share", ec)) return {};
    // A settings file beside the executable keeps it portable wherever it lies.
    if (!profile.settings_file.empty() && present(bin / profile.settings_file)) return {};
    return prefix;
}

fs::path user_data_folder(const UserEnvironment& env, const AppProfile& profile)
{
    if (profile.data_folder.empty()) return {};
    const fs::path data = base_folder(env.xdg_data_home, env.home, ".local/share");
    return data.empty() ? data : data / profile.data_folder;
}

fs::path music_dir_from_user_dirs(std::string_view text, const fs::path& home)
{
    std::optional<fs::path> found;  // the last assignment counts, as when the shell reads it
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::optional<std::string> value = music_assignment(line);
        if (!value) continue;
        while (value->size() > 1 && value->back() == '/') value->pop_back();
        constexpr std::string_view kHome = "$HOME";
        if (value->starts_with(kHome)) {
            const std::string rest = value->substr(kHome.size());
            if (home.empty() || (!rest.empty() && rest.front() != '/')) continue;
            const std::size_t start = rest.find_first_not_of('/');
            found = start == std::string::npos ? fs::path() : home / rest.substr(start);
        } else if (value->starts_with('/')) {
            found = fs::path(*value);
        }
    }
    if (!found || (!home.empty() && found->lexically_normal() == home.lexically_normal())) return {};
    return *found;
}

fs::path user_music_folder(const UserEnvironment& env)
{
    const fs::path config = base_folder(env.xdg_config_home, env.home, ".config");
    if (!config.empty()) {
        const fs::path named = music_dir_from_user_dirs(read_small_file(config / "user-dirs.dirs"), env.home);
        if (!named.empty()) return named;
    }
    return env.home.empty() ? fs::path() : fs::path(env.home) / "Music";
}

AppFolderChoice prepare_app_folder(const fs::path& executable, const UserEnvironment& env, const AppProfile& profile)
{
    AppFolderChoice choice;
    const fs::path prefix = installed_prefix(executable, profile);
    if (prefix.empty()) return choice;
    const fs::path folder = user_data_folder(env, profile);
    if (folder.empty()) {
        choice.problem = "neither HOME nor XDG_DATA_HOME is set; keeping the player's files beside it";
        return choice;
    }
    std::error_code ec;
    fs::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        choice.problem = "cannot create " + folder.string() + " (" + std::strerror(errno) +
                         "); keeping the player's files beside it";
        return choice;
    }
    if (!fs::is_directory(folder, ec) || ::access(folder.c_str(), W_OK | X_OK) != 0) {
        choice.problem = "cannot write into " + folder.string() + "; keeping the player's files beside it";
        return choice;
    }

    // The picture for tracks without a cover, copied once: a user's own picture stays. The copy
    // lands under a name of this process first, so a torn copy is never taken for one.
    const std::string& picture = profile.default_picture;
    const fs::path art = folder / picture;
    const fs::path shipped = prefix / "share" / profile.data_folder / picture;
    if (!picture.empty() && !present(art) && fs::is_regular_file(shipped, ec)) {
        const fs::path part = folder / (picture + "." + std::to_string(::getpid()) + ".part");
        if (fs::copy_file(shipped, part, fs::copy_options::overwrite_existing, ec) && !present(art))
            fs::rename(part, art, ec);
        fs::remove(part, ec);
    }

    choice.module_path = folder / profile.executable;
    if (!profile.settings_file.empty()) choice.settings_path = folder / profile.settings_file;
    // Without a settings file the program scans the working directory: make that the music.
    if (choice.settings_path.empty() || !present(choice.settings_path)) {
        choice.music_folder = user_music_folder(env);
        if (!choice.music_folder.empty() && fs::is_directory(choice.music_folder, ec))
            choice.working_folder = choice.music_folder;
        else
            choice.needs_hint = !choice.settings_path.empty();
    }
    return choice;
}

fs::path running_executable()
{
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : p;
}

}  // namespace zv
