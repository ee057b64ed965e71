// The player on the session bus as an MPRIS2 media player, so the desktop's media controls, its
// sound menu and tools such as playerctl see what plays and can steer it.
//
// The bus is served from the service's own thread, which sleeps until the bus or the player has
// something for it. Requests go out through the hooks, which hand them to the user-interface
// thread; the player's state comes in through publish(), and a move of the playing track through
// seeked(), which only store it and wake the thread. No session bus, or none that answers: the thread ends quietly and
// the player runs on without the service.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/app_profile.h"
#include "mpris/mpris_model.h"
#include "sound/now_playing.h"

namespace zv {

class MprisService {
public:
    struct Hooks {
        // Thread-safe: hands a request over to the user-interface thread.
        std::function<void(const MediaCommand&)> command;
        // Thread-safe: how far a stream has played, in microseconds.
        std::function<std::int64_t(std::uintptr_t stream)> position_us;
        // Ends with '/': the folder the program writes the playing track's cover to.
        std::string program_folder;
        // A private folder of the user's for copies of the cover named by their content (see
        // cover_copy.h), made on first use; empty: the art URL is the program's own file.
        std::string cover_folder;
        // The names it goes by on the bus (Identity, DesktopEntry, its bus name, track ids), its
        // cover picture and which pictures it writes out as covers.
        AppProfile profile;
    };

    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    explicit MprisService(Hooks hooks);
    // Stops the thread; a bus that does not answer never holds it up.
    ~MprisService();
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // Any thread; never waits on the bus.
    void publish(const NowPlaying& now);
    // Any thread: the playing track was moved to `position_us`; the bus hears it as Seeked.
    void seeked(std::int64_t position_us);

    class Impl;  // the bus thread and its handlers (mpris_service.cpp)

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace zv
