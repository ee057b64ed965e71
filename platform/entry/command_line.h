// The player's command line, read before anything opens a display: arguments in, a decision
// out. Either the player runs (with what the options asked for) or it leaves at once with an
// exit code and the text to print: help and version on standard output with 0, bad usage on
// standard error with 2.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zv {

// The scale a window may take: every screen pixel as N x N desktop pixels.
inline constexpr int kLargestScale = 16;

struct CommandLine {
    std::optional<int> exit_code;       // set: leave at once with it, printing `out` and `err`
    std::string out;                    // for standard output
    std::string err;                    // for standard error
    std::optional<int> scale;           // --scale
    bool fullscreen = false;            // --fullscreen
    std::optional<std::string> folder;  // the one folder to play for this run
};

// `args` are the arguments after the program's name.
CommandLine parse_command_line(std::span<const std::string_view> args);

// A scale as written by the user ("3"): a whole number from 1 to kLargestScale, else nothing.
std::optional<int> parse_scale(std::string_view text);

// Bad usage: one line naming the fault, then where help is.
std::string usage_error(std::string_view message);

// `text` fit for one line of a message: control characters (a newline in a file name) become '?'.
std::string printable(std::string_view text);

}  // namespace zv
