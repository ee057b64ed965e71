// Everything the platform knows about the program it runs: its names and the few rules of its own
// that the desktop side has to follow. The entry point fills one in (platform/entry/) and hands
// it to the composition, which passes each piece the parts it needs. A default profile names
// nothing: the pieces that need a name then do without (no per-user folder, no media controls, no
// single-instance sockets, no window class hint).
#pragma once
#include <cstddef>
#include <string>

namespace zv {

struct AppProfile {
    std::string name;             // shown to the user, e.g. the media controls' Identity
    std::string executable;       // the executable's file name, as GetModuleFileName reports it
    std::string settings_file;    // the settings file beside the executable: its presence keeps it portable
    std::string default_picture;  // the picture for tracks without a cover, shipped under share/
    std::string album_picture;    // where the program writes the playing track's cover, in its folder
    std::string data_folder;      // the folder under "<prefix>/share" and under the user's data home
    // Runtime folder "/tmp/<prefix><uid>" and socket names "<prefix><hash>.sock".
    std::string runtime_prefix;
    std::string runtime_dir_variable;  // the environment variable that names the runtime folder
    std::string desktop_id;            // the desktop entry's id, also the window's class
    std::string mpris_bus_name;        // the media controls' well-known name on the session bus
    std::string mpris_track_prefix;    // object path of a track id, before its number
    int volume_step = 1;               // how far (of 255) one of the program's volume commands goes
    // The shortest picture tag value the program writes out as its cover; a shorter one leaves
    // the previous cover in place, so it is not this track's.
    std::size_t shortest_cover = 0;
};

}  // namespace zv
