// A sound system on a pulled output (or one that renders on a virtual clock as a device does), with
// posts to the user-interface thread collected in a list the test runs, reads of slow storage, and
// fixtures written to a temporary folder.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backend/headless_backend.h"
#include "fmod.h"
#include "sound/clocked_audio_output.h"
#include "sound/pulled_audio_output.h"
#include "sound/sound_system.h"
#include "tests/support/fixture_dir.h"
#include "tests/support/sound_measure.h"
#include "tools/fixtures.h"

namespace zv::test {

using Bytes = std::vector<unsigned char>;

// Storage the decoder may read only below a limit the test moves, as a slow memory card: a read
// from further on waits, and the test can wait until the decoder is held there. Opening a stream
// reads near the file's end, so streams are opened before a limit is set.
class SlowCard {
public:
    void before_read(std::int64_t offset)
    {
        std::unique_lock lock(mutex_);
        while (offset >= limit_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock);
        }
    }
    void allow(std::int64_t bytes = std::numeric_limits<std::int64_t>::max())
    {
        std::lock_guard lock(mutex_);
        limit_ = bytes;
        held_ = false;
        changed_.notify_all();
    }
    // False only when a fault keeps the decoder from ever getting there.
    bool wait_held()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return held_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t limit_ = std::numeric_limits<std::int64_t>::max();
    bool held_ = false;
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

// What the player does at a stream's end: stop and close the finished stream, open and play the
// next, then set the volume.
struct Advance {
    std::vector<std::string> paths;
    std::size_t next = 0;
    FSOUND_STREAM* current = nullptr;
    int ends = 0;
    int volume = 200;
    std::vector<unsigned> positions_at_end;  // of each stream when its end came

    static signed char on_end(FSOUND_STREAM* s, void*, int, void* self)
    {
        auto* a = static_cast<Advance*>(self);
        ++a->ends;
        a->positions_at_end.push_back(FSOUND_Stream_GetPosition(s));
        a->play_next();
        return 0;
    }
    void play_next()
    {
        if (FSOUND_Stream_GetOpenState(current) == 0) {
            FSOUND_Stream_Stop(current);
            FSOUND_Stream_Close(current);
        }
        current = FSOUND_Stream_Open(paths[next++ % paths.size()].c_str(), 0, 0, 0);
        FSOUND_Stream_SetEndCallback(current, &Advance::on_end, this);
        FSOUND_Stream_Play(FSOUND_FREE, current);
        FSOUND_SetVolume(FSOUND_ALL, volume);
    }
};

class SoundTest : public ::testing::Test {
protected:
    // How much of a stream is at most left to play when its end is delivered.
    static constexpr std::size_t kLeadFrames = 44100 * OutputGate::kEndLeadMs / 1000;

    explicit SoundTest(bool clocked = false)
        : system_(
              [this, clocked]() -> std::unique_ptr<AudioOutput> {
                  if (clocked) return std::make_unique<ClockedAudioOutput>(clock_);
                  return std::make_unique<PulledAudioOutput>();
              },
              [this](std::function<void()> f) {
                  std::lock_guard lock(posts_mutex_);
                  posts_.push_back(std::move(f));
              })
    {
        system_.set_read_hook([this](std::int64_t offset) { card_.before_read(offset); });
    }

    void SetUp() override { ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1); }
    void TearDown() override { card_.allow(); }  // before the system joins its decoder thread

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

    // Plays `s` until it ends (or a generous limit), then its tail, and returns the frames it
    // delivered.
    unsigned play_out(FSOUND_STREAM* s, EndLog& log)
    {
        FSOUND_Stream_SetEndCallback(s, &EndLog::record, &log);
        EXPECT_GE(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
        for (int i = 0; i < 100 && log.ended.empty(); ++i) {
            pull(4410);
            run_posts();
        }
        pull(kLeadFrames + 1);
        return FSOUND_Stream_GetPosition(s);
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

    static Bytes read_bytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string write_bytes(const std::string& name, const Bytes& bytes)
    {
        const auto p = dir_.file(name);
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

    FixtureDir dir_;
    std::mutex posts_mutex_;
    std::vector<std::function<void()>> posts_;
    VirtualClock clock_;
    SlowCard card_;
    SoundSystem system_;
};

}  // namespace zv::test
