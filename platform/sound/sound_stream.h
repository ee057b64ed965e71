// One open stream as the user-interface side sees it: its shared sound, the channel it has been
// given, its end callback and its tags.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fmod.h"
#include "sound/stream_source.h"
#include "sound/stream_tags.h"

namespace zv {

struct SoundStream {
    std::string path;
    std::shared_ptr<StreamSource> source;
    int channel = -1;                          // the channel it sounds on, -1 when stopped
    std::optional<std::uint32_t> staged_seek;  // a position set but not yet handed to the mixer

    // Bumped by every play and stop and by every end noted, so an end is delivered only while
    // nothing has been played or stopped since it was noted.
    std::uint64_t play_token = 0;
    FSOUND_STREAMCALLBACK end_callback = nullptr;
    void* end_userdata = nullptr;

    std::optional<StreamTags> tags;  // read on the first tag call
    // What the last tag call handed out; always followed by zero bytes.
    std::vector<unsigned char> tag_value;
    std::string tag_name;
};

}  // namespace zv
