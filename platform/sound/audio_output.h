// Where mixed sound goes: an audio device, or a sink a test pulls from.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace zv {

class AudioOutput {
public:
    static constexpr int kDefaultRate = 44100;

    // Fills `frames` frames of interleaved 16-bit stereo at rate(). Runs on the output's thread.
    using RenderFn = std::function<void(std::int16_t* interleaved_stereo, std::size_t frames)>;

    virtual ~AudioOutput();

    // Takes the render function, leaving the device let go (as after suspend()): nothing renders,
    // and nothing is written, until resume(). False when the output cannot run.
    virtual bool start(RenderFn render) = 0;
    // Stops calling render for good; when it returns no render call is in progress or will start.
    virtual void stop() = 0;

    // Lets the device go while nothing sounds, so no thread of the output runs at all: when it
    // returns no render call is in progress, and none starts until resume().
    virtual void suspend() = 0;
    // Takes the device again, with the same format, and goes on calling the render function given
    // to start(); true when it runs (also when it was not suspended).
    virtual bool resume() = 0;

    // True when every render must give the same sound whatever the threads' timing (a sink a test
    // pulls): render then waits, bounded, for the decoder. A device never waits, so by default
    // whatever is not decoded in time is silence.
    virtual bool waits_for_decoding() const { return false; }

    // Frames per second the output plays: a device's own rate, which may differ after each
    // resume(). Asked on the user-interface thread and by the render; kDefaultRate by default.
    virtual int rate() const { return kDefaultRate; }
};

}  // namespace zv
