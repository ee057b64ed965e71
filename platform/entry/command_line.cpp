#include "entry/command_line.h"

#include <algorithm>
#include <charconv>

#include "zv_version.h"

namespace zv {

namespace {

// Kept beside the options it describes; the manual page says the same at length.
constexpr std::string_view kHelp = R"(Usage: zorvane [OPTION]... [FOLDER]
Play the MP3 files under a music folder on a 240x320 touch screen.

With FOLDER, play the tracks in and under FOLDER for this run, in place of the
folder the settings file names; the settings file is neither read nor written.

Options:
  -h, --help        print this help and exit
  -V, --version     print the name and version and exit
      --scale N     draw each screen pixel as N x N desktop pixels (1 to 16);
                    without it, the largest scale that fits the desktop
      --fullscreen  fill the whole display: the largest whole scale that fits,
                    centred on black
      --            end of options: what follows is FOLDER

Files:
  Portable (the executable anywhere but an installation's bin/, or with a
  direc.zvn beside it), the player keeps its files beside the executable:
    direc.zvn    the settings file: one line, the music folder's full path
                 ending with '/'; without it the working directory is played
    default.jpg  the picture shown for a track without a cover
    album.jpg    the playing track's cover, written by the player
  Installed (in <prefix>/bin beside <prefix>/share), it keeps the same files
  in $XDG_DATA_HOME/zorvane/ (~/.local/share/zorvane/ by default), copying
  default.jpg there from <prefix>/share/zorvane/ when it is missing. Without
  a direc.zvn there it plays the music folder: XDG_MUSIC_DIR as
  $XDG_CONFIG_HOME/user-dirs.dirs names it (~/.config/user-dirs.dirs by
  default), else ~/Music.

Environment:
  ZORVANE_SCALE        the scale when --scale is not given (1 to 16)
  HOME, XDG_DATA_HOME, XDG_CONFIG_HOME
                       where the per-user folder and the music folder are
  XDG_RUNTIME_DIR      where a running player announces itself, so that a
                       second start brings it to the front instead
  ZORVANE_RUNTIME_DIR  a folder used for that in place of XDG_RUNTIME_DIR
  DISPLAY, WAYLAND_DISPLAY, SDL_VIDEODRIVER
                       the display the window opens on

Leaving the player:
  the window's close button; Ctrl+Q on the playlist (with no panel open); the
  Exit button (the cross) on the options panel, opened by tapping the album
  art; Quit from the desktop's media controls.

Exit status: 0 when the player is closed, 1 when no display opens or FOLDER
cannot be entered, 2 on bad usage.
)";

struct Option {
    std::string_view name;   // "--name"; empty for none
    std::string_view brief;  // "-x"; empty for none
    bool takes_value;
};

enum class Which { Help, Version, Scale, Fullscreen };

constexpr std::pair<Which, Option> kOptions[] = {
    {Which::Help, {"--help", "-h", false}},
    {Which::Version, {"--version", "-V", false}},
    {Which::Scale, {"--scale", "", true}},
    {Which::Fullscreen, {"--fullscreen", "", false}},
};

CommandLine leave(int code, std::string out, std::string err)
{
    CommandLine c;
    c.exit_code = code;
    c.out = std::move(out);
    c.err = std::move(err);
    return c;
}

}  // namespace

std::string printable(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return s;
}

std::string usage_error(std::string_view message)
{
    return "zorvane: " + std::string(message) + "\nTry 'zorvane --help' for more information.\n";
}

std::optional<int> parse_scale(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    // Digits only: from_chars would take a leading '-', and "2x" or " 2" is a typo, not 2.
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || value < 1 || value > kLargestScale) return std::nullopt;
    return value;
}

CommandLine parse_command_line(std::span<const std::string_view> args)
{
    CommandLine result;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (options_ended || arg == "-" || !arg.starts_with('-')) {
            if (result.folder)
                return leave(2, {},
                             usage_error("one folder at most, not both '" + printable(*result.folder) + "' and '" +
                                         printable(arg) + "'"));
            result.folder = std::string(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        // "--name=value" carries its value; "--name value" takes the next argument.
        const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
        const std::string_view name = arg.substr(0, equals);
        const auto* found = std::find_if(std::begin(kOptions), std::end(kOptions), [&](const auto& o) {
            return name == o.second.name || (!o.second.brief.empty() && name == o.second.brief);
        });
        if (found == std::end(kOptions)) return leave(2, {}, usage_error("unknown option '" + printable(arg) + "'"));
        const Option& option = found->second;
        std::optional<std::string_view> value;
        if (equals != std::string_view::npos) {
            if (!option.takes_value)
                return leave(2, {}, usage_error("option '" + std::string(option.name) + "' takes no value"));
            value = arg.substr(equals + 1);
        } else if (option.takes_value) {
            if (i + 1 == args.size())
                return leave(2, {}, usage_error("option '" + std::string(option.name) + "' needs a value"));
            value = args[++i];
        }
        switch (found->first) {
            case Which::Help: return leave(0, std::string(kHelp), {});
            case Which::Version: return leave(0, std::string("zorvane ") + ZV_VERSION + "\n", {});
            case Which::Fullscreen: result.fullscreen = true; break;
            case Which::Scale:
                result.scale = parse_scale(*value);
                if (!result.scale)
                    return leave(2, {},
                                 usage_error("--scale needs a whole number from 1 to " + std::to_string(kLargestScale) +
                                             ", not '" + printable(*value) + "'"));
                break;
        }
    }
    return result;
}

}  // namespace zv
