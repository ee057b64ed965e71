// The demo library: short pieces of arpeggiated chords over a soft pad and a bass line, each in its
// own key and tempo, spread over nested folders.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "tools/fixtures.h"

namespace zv::fixtures {

namespace {

constexpr int kRate = 44100;

struct Piece {
    const char* folder;
    const char* file;
    const char* artist;  // null: no tags at all
    const char* title;
    const char* album;
    int root_midi;  // key
    double bpm;
    double seconds;
    std::array<int, 4> progression;  // scale degrees 0..6 of a major key
};

// One piece a row, so the table reads as a track list.
// clang-format off
constexpr Piece kPieces[] = {
    {"Aurora Fields/Morning Light", "01 Sunrise Over Water.mp3", "Aurora Fields", "Sunrise Over Water", "Morning Light", 60, 96, 28, {0, 4, 5, 3}},
    {"Aurora Fields/Morning Light", "02 Dew.mp3", "Aurora Fields", "Dew", "Morning Light", 62, 104, 24, {0, 5, 3, 4}},
    {"Aurora Fields/Morning Light", "03 Long Shadows.mp3", "Aurora Fields", "Long Shadows", "Morning Light", 57, 88, 34, {5, 3, 0, 4}},
    {"Aurora Fields/Evening", "01 Lanterns.mp3", "Aurora Fields", "Lanterns", "Evening", 65, 100, 30, {0, 3, 4, 0}},
    {"Aurora Fields/Evening", "02 Night Train.mp3", "Aurora Fields", "Night Train", "Evening", 55, 112, 22, {0, 4, 1, 3}},
    {"Glass Harbour", "Tidal.mp3", "Glass Harbour", "Tidal", "Harbour Songs", 64, 92, 36, {0, 2, 3, 4}},
    {"Glass Harbour", "Lighthouse Keeper.mp3", "Glass Harbour", "Lighthouse Keeper", "Harbour Songs", 59, 84, 40, {5, 4, 3, 4}},
    {"Glass Harbour/B-Sides", "Driftwood.mp3", "Glass Harbour", "Driftwood", "Harbour B-Sides", 67, 120, 20, {0, 4, 5, 4}},
    {"Various/Quiet Hours", "Paper Birds.mp3", "Mirela Ko\xC5\x9F", "Paper Birds", "Quiet Hours", 63, 90, 26, {3, 0, 4, 5}},
    {"Various/Quiet Hours", "\xC3\x89t\xC3\xA9 Lent.mp3", "Les Ondes", "\xC3\x89t\xC3\xA9 Lent", "Quiet Hours", 58, 80, 32, {0, 3, 1, 4}},
    {"Unsorted", "track07.mp3", nullptr, nullptr, nullptr, 61, 108, 24, {0, 5, 1, 4}},
    {"Unsorted/old", "recording 2.mp3", nullptr, nullptr, nullptr, 66, 98, 21, {0, 3, 0, 4}},
};
// clang-format on

// A cheap sine: a table with linear interpolation is plenty for music this soft.
class SineTable {
public:
    SineTable()
    {
        for (std::size_t i = 0; i <= kSize; ++i)
            table_[i] = static_cast<float>(std::sin(2 * std::numbers::pi * static_cast<double>(i) / kSize));
    }
    float operator()(double phase) const  // phase in cycles
    {
        const double p = (phase - std::floor(phase)) * kSize;
        const auto i = static_cast<std::size_t>(p);
        const auto f = static_cast<float>(p - static_cast<double>(i));
        return table_[i] + (table_[i + 1] - table_[i]) * f;
    }

private:
    static constexpr std::size_t kSize = 4096;
    std::array<float, kSize + 1> table_{};
};

double midi_hz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Adds one plucked note: quick attack, exponential decay, a few soft harmonics.
void pluck(std::vector<float>& l, std::vector<float>& r, const SineTable& sine, std::size_t start, double seconds,
           double hz, float gain, float pan)
{
    const auto len = std::min(l.size() - std::min(l.size(), start), static_cast<std::size_t>(seconds * kRate));
    const double step = hz / kRate;
    const float gl = gain * (1 - pan), gr = gain * pan;
    // The decay runs as a running product: one multiply a sample instead of an exp().
    const double decay = std::exp(-3.2 / kRate);
    const double attack = 0.008 * kRate;
    double fall = 1.0;
    for (std::size_t i = 0; i < len; ++i, fall *= decay) {
        const double rise = std::min(1.0, static_cast<double>(i) / attack);
        const auto env = static_cast<float>(rise * fall);
        const double ph = step * static_cast<double>(i);
        const float v = env * (sine(ph) + 0.35f * sine(2 * ph) + 0.12f * sine(3 * ph));
        l[start + i] += v * gl;
        r[start + i] += v * gr;
    }
}

// A held pad note with slow swell and release.
void pad(std::vector<float>& l, std::vector<float>& r, const SineTable& sine, std::size_t start, double seconds,
         double hz, float gain)
{
    const auto len = std::min(l.size() - std::min(l.size(), start), static_cast<std::size_t>(seconds * kRate));
    const double step = hz / kRate, detune = hz * 1.003 / kRate;
    for (std::size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double rest = seconds - t;
        const float env = static_cast<float>(std::min({1.0, t / 0.6, rest / 0.5}));
        const double i_d = static_cast<double>(i);
        l[start + i] += gain * env * sine(step * i_d);
        r[start + i] += gain * env * sine(detune * i_d);
    }
}

std::vector<std::int16_t> compose(const Piece& p)
{
    static const SineTable sine;
    constexpr std::array<int, 7> kMajor = {0, 2, 4, 5, 7, 9, 11};
    const auto frames = static_cast<std::size_t>(p.seconds * kRate);
    std::vector<float> l(frames), r(frames);
    const double beat = 60.0 / p.bpm;
    const double bar = beat * 4;
    const std::size_t bars = static_cast<std::size_t>(p.seconds / bar);
    for (std::size_t b = 0; b < bars; ++b) {
        const int degree = p.progression[b % p.progression.size()];
        auto tone = [&](int step) {  // chord tone `step` of the triad on `degree`
            const int d = degree + step * 2;
            return p.root_midi + kMajor[static_cast<std::size_t>(d % 7)] + 12 * (d / 7);
        };
        const auto bar_start = static_cast<std::size_t>(static_cast<double>(b) * bar * kRate);
        for (int s = 0; s < 3; ++s) pad(l, r, sine, bar_start, bar, midi_hz(tone(s) - 12), 0.05f);
        pad(l, r, sine, bar_start, bar, midi_hz(tone(0) - 24), 0.09f);
        // Eighth-note arpeggio up and down the chord, across two octaves.
        constexpr std::array<int, 8> kPattern = {0, 1, 2, 3, 4, 3, 2, 1};
        for (std::size_t n = 0; n < kPattern.size(); ++n) {
            const int k = kPattern[n];
            const int note = tone(k % 3) + 12 * (k / 3);
            const auto at = bar_start + static_cast<std::size_t>(static_cast<double>(n) * beat / 2 * kRate);
            const float pan = 0.3f + 0.4f * static_cast<float>(n) / 7.0f;
            pluck(l, r, sine, at, beat * 2.5, midi_hz(note), 0.16f, pan);
        }
    }
    std::vector<std::int16_t> pcm(frames * 2);
    const std::size_t fade = kRate;  // one second out at the end
    constexpr float kMaster = 2.2f;  // the voices are mixed with headroom; bring the sum up to a normal level
    for (std::size_t i = 0; i < frames; ++i) {
        const float out_gain =
            i + fade > frames ? static_cast<float>(frames - i) / static_cast<float>(fade) * kMaster : kMaster;
        pcm[i * 2] = static_cast<std::int16_t>(std::clamp(l[i] * out_gain, -1.0f, 1.0f) * 32000);
        pcm[i * 2 + 1] = static_cast<std::int16_t>(std::clamp(r[i] * out_gain, -1.0f, 1.0f) * 32000);
    }
    return pcm;
}

}  // namespace

int write_demo_library(const std::filesystem::path& folder)
{
    // Encoding dominates; two workers halve the wait without crowding a small machine.
    std::atomic<std::size_t> next{0};
    std::atomic<int> written{0};
    auto work = [&] {
        for (std::size_t i = next++; i < std::size(kPieces); i = next++) {
            const Piece& p = kPieces[i];
            const std::filesystem::path dir = folder / std::filesystem::u8path(p.folder);
            std::error_code ec;
            std::filesystem::create_directories(dir, ec);
            if (ec) continue;
            Mp3Tags tags;
            if (p.artist) {
                tags.artist = p.artist;
                tags.title = p.title;
                tags.album = p.album;
                tags.cover = make_cover_jpeg(240, 240, static_cast<unsigned>(i + 1));
            } else {
                tags.id3v2_version = 0;
            }
            const std::vector<std::int16_t> pcm = compose(p);
            if (write_pcm_mp3(dir / std::filesystem::u8path(p.file), pcm, kRate, 2, 128, tags)) ++written;
        }
    };
    std::thread helper(work);
    work();
    helper.join();
    return written;
}

}  // namespace zv::fixtures
