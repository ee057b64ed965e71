// One open stream: its decoder, where it is, whether it sounds, and its end callback and tags.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fmod.h"
#include "sound/mp3_decoder.h"
#include "sound/stream_tags.h"

namespace zv {

struct SoundStream {
    std::string path;
    std::unique_ptr<Mp3Decoder> decoder;
    std::uint32_t position = 0;  // PCM frames delivered to the output since the start
    int channel = -1;            // the channel it sounds on, -1 when stopped

    // Bumped by every play and stop, so an end posted for an earlier play is recognised as stale.
    std::uint64_t play_token = 0;
    bool end_pending = false;
    FSOUND_STREAMCALLBACK end_callback = nullptr;
    void* end_userdata = nullptr;

    std::optional<StreamTags> tags;  // read on the first tag call
    // What the last tag call handed out; always followed by zero bytes.
    std::vector<unsigned char> tag_value;
    std::string tag_name;
};

}  // namespace zv
