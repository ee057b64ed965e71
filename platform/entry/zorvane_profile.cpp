#include "entry/zorvane_profile.h"

namespace zv {

AppProfile zorvane_profile()
{
    AppProfile p;
    p.name = "Zorvane";
    p.executable = "zorvane";
    p.settings_file = "direc.zvn";
    p.default_picture = "default.jpg";
    p.album_picture = "album.jpg";
    p.data_folder = "zorvane";
    p.runtime_prefix = "zorvane-";
    p.runtime_dir_variable = "ZORVANE_RUNTIME_DIR";
    p.desktop_id = "org.zorvane.Zorvane";
    p.mpris_bus_name = "org.mpris.MediaPlayer2.zorvane";
    p.mpris_track_prefix = "/org/zorvane/track/";
    p.volume_step = 20;  // VolumeUp and VolumeDown
    // The player writes a picture out from byte 13 of its tag value, and only from 15 bytes on.
    p.shortest_cover = 15;
    return p;
}

}  // namespace zv
