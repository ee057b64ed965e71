// A sound system on a pulled output, with posts to the user-interface thread collected in a list
// the test runs, and fixtures written to a temporary folder.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fmod.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "tests/support/fixture_dir.h"
#include "tools/fixtures.h"

namespace zv::testing {

class SoundTest : public ::testing::Test {
protected:
    SoundTest()
        : system_([] { return std::make_unique<PulledAudioOutput>(); },
                  [this](std::function<void()> f) {
                      std::lock_guard lock(posts_mutex_);
                      posts_.push_back(std::move(f));
                  })
    {
    }

    void SetUp() override { ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1); }

    PulledAudioOutput& sink() { return dynamic_cast<PulledAudioOutput&>(*system_.output()); }

    std::vector<std::int16_t> pull(std::size_t frames)
    {
        std::vector<std::int16_t> out(frames * 2);
        sink().pull(out.data(), frames);
        return out;
    }

    // Runs what the audio side handed to the user-interface thread; returns how many closures ran.
    int run_posts()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(posts_mutex_);
            now.swap(posts_);
        }
        for (auto& f : now) f();
        return static_cast<int>(now.size());
    }

    std::string tone(const std::string& name, double hz, double seconds = 0.5)
    {
        fixtures::ToneTrack t;
        t.frequency_hz = hz;
        t.seconds = seconds;
        t.id3v2_version = 0;
        return tone(name, t);
    }

    std::string tone(const std::string& name, const fixtures::ToneTrack& t)
    {
        const auto p = dir_.file(name);
        EXPECT_TRUE(fixtures::write_tone_mp3(p, t)) << name;
        return p.string();
    }

    FixtureDir dir_;
    std::mutex posts_mutex_;
    std::vector<std::function<void()>> posts_;
    SoundSystem system_;
};

// Counts end callbacks per stream; userdata points at one.
struct EndLog {
    std::vector<FSOUND_STREAM*> ended;

    static signed char record(FSOUND_STREAM* s, void*, int, void* userdata)
    {
        static_cast<EndLog*>(userdata)->ended.push_back(s);
        return 0;
    }
};

}  // namespace zv::testing
