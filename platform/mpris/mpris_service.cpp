#include "mpris/mpris_service.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "base/unique_fd.h"
#include "mpris/cover_copy.h"

namespace zv {

namespace {

constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

struct BusClose {
    // Not flushed: a bus daemon that stopped reading must not hold up the player's exit.
    void operator()(sd_bus* b) const { sd_bus_close_unref(b); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* s) const { sd_bus_slot_unref(s); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

std::uint64_t monotonic_us()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

// poll()'s timeout for sd-bus's next deadline (absolute, monotonic microseconds): -1 for none.
int timeout_ms(sd_bus* bus)
{
    std::uint64_t until = 0;
    if (sd_bus_get_timeout(bus, &until) <= 0 || until == UINT64_MAX) return -1;
    const std::uint64_t now = monotonic_us();
    if (until <= now) return 0;
    return static_cast<int>(std::min<std::uint64_t>((until - now + 999) / 1000, INT_MAX));
}

}  // namespace

class MprisService::Impl {
public:
    explicit Impl(Hooks hooks)
        : hooks_(std::move(hooks)),
          wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          covers_(hooks_.cover_folder, std::to_string(getpid()))
    {
        if (wake_) thread_ = std::thread([this] { run(); });
    }

    ~Impl()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake();
        if (thread_.joinable()) thread_.join();
    }

    void publish(const NowPlaying& now)
    {
        {
            std::lock_guard lock(mutex_);
            pending_ = now;
        }
        wake();
    }

    void seeked(std::int64_t position_us)
    {
        {
            std::lock_guard lock(mutex_);
            seeked_.push_back(position_us);
        }
        wake();
    }

    // --- The bus thread from here on.

    const PlayerView& view() const { return view_; }
    const AppProfile& profile() const { return hooks_.profile; }

    std::int64_t position_us() const
    {
        return now_.stream && hooks_.position_us ? std::max<std::int64_t>(hooks_.position_us(now_.stream), 0) : 0;
    }

    void request(const MediaCommand& c) const
    {
        if (hooks_.command) hooks_.command(c);
    }

    // The reply to RequestName: another player holds the name, so this one takes the instance
    // name the MPRIS convention gives a second instance.
    void name_reply(sd_bus_message* m)
    {
        std::uint32_t code = 0;
        if (sd_bus_message_is_method_error(m, nullptr) || sd_bus_message_read(m, "u", &code) < 0) return;
        constexpr std::uint32_t kExists = 3;
        if (code != kExists || instance_name_) return;
        instance_name_ = true;
        const std::string name = hooks_.profile.mpris_bus_name + ".instance" + std::to_string(getpid());
        sd_bus_slot* slot = nullptr;
        if (sd_bus_request_name_async(bus_.get(), &slot, name.c_str(), 0, nullptr, nullptr) >= 0)
            instance_slot_.reset(slot);
    }

private:
    void wake()
    {
        if (wake_) eventfd_write(wake_.get(), 1);
    }

    void run();
    bool connect();
    void serve();
    void apply(const NowPlaying& now);
    std::string art_url(const PlayerView& view, std::uintptr_t stream);

    const Hooks hooks_;
    const UniqueFd wake_;
    std::mutex mutex_;
    std::optional<NowPlaying> pending_;
    std::vector<std::int64_t> seeked_;
    bool stop_ = false;

    // The bus thread's own.
    Bus bus_;
    Slot root_slot_, player_slot_, name_slot_, instance_slot_;
    bool instance_name_ = false;
    NowPlaying now_;
    PlayerView view_;
    CoverCopies covers_;
    // The cover is read again only when another stream starts or the track gains or loses it.
    std::pair<std::uintptr_t, bool> cover_key_{0, false};
    std::string cover_path_;  // what the art URL names; empty: no art

    std::thread thread_;  // last: it starts once everything above exists
};

namespace {

using Impl = MprisService::Impl;

Impl& self(void* userdata) { return *static_cast<Impl*>(userdata); }

// A method that hands one request to the player and answers at once.
template <MediaRequest R>
int request_method(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    self(userdata).request(R);
    return sd_bus_reply_method_return(m, "");
}

// Answered at once: whether the track moves is decided on the user-interface thread, and a move
// is heard as Seeked.
int seek(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    std::int64_t offset = 0;
    const int e = sd_bus_message_read(m, "x", &offset);
    if (e < 0) return e;
    self(userdata).request({MediaRequest::Seek, 0, offset});
    return sd_bus_reply_method_return(m, "");
}

int set_position(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    const char* trackid = nullptr;
    std::int64_t position = 0;
    const int e = sd_bus_message_read(m, "ox", &trackid, &position);
    if (e < 0) return e;
    self(userdata).request({MediaRequest::SetPosition, 0, position, trackid ? trackid : ""});
    return sd_bus_reply_method_return(m, "");
}

int open_uri(sd_bus_message*, void*, sd_bus_error* error)
{
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "The player opens no files given to it");
}

using Getter = int (*)(const Impl&, sd_bus_message*);

template <Getter G>
int property(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    return G(self(userdata), reply);
}

int append_true(const Impl&, sd_bus_message* r) { return sd_bus_message_append(r, "b", 1); }
int append_false(const Impl&, sd_bus_message* r) { return sd_bus_message_append(r, "b", 0); }
int append_one(const Impl&, sd_bus_message* r) { return sd_bus_message_append(r, "d", 1.0); }
int append_no_strings(const Impl&, sd_bus_message* r) { return sd_bus_message_append(r, "as", 0); }
int append_identity(const Impl& s, sd_bus_message* r)
{
    return sd_bus_message_append(r, "s", s.profile().name.c_str());
}
int append_desktop_entry(const Impl& s, sd_bus_message* r)
{
    return sd_bus_message_append(r, "s", s.profile().desktop_id.c_str());
}

int append_status(const Impl& s, sd_bus_message* r)
{
    return sd_bus_message_append(r, "s", playback_status_name(s.view().state));
}
int append_volume(const Impl& s, sd_bus_message* r) { return sd_bus_message_append(r, "d", s.view().volume); }
int append_position(const Impl& s, sd_bus_message* r) { return sd_bus_message_append(r, "x", s.position_us()); }
int append_can_play(const Impl& s, sd_bus_message* r) { return sd_bus_message_append(r, "b", s.view().can_play); }
int append_can_pause(const Impl& s, sd_bus_message* r) { return sd_bus_message_append(r, "b", s.view().can_pause); }
int append_can_seek(const Impl& s, sd_bus_message* r) { return sd_bus_message_append(r, "b", s.view().can_seek); }

int append_metadata(const Impl& s, sd_bus_message* r)
{
    const PlayerView& v = s.view();
    int e = sd_bus_message_open_container(r, 'a', "{sv}");
    if (e >= 0) e = sd_bus_message_append(r, "{sv}", "mpris:trackid", "o", v.trackid.c_str());
    if (v.trackid == kNoTrack) return e < 0 ? e : sd_bus_message_close_container(r);
    if (e >= 0) e = sd_bus_message_append(r, "{sv}", "xesam:title", "s", v.title.c_str());
    if (e >= 0 && v.length_us > 0) e = sd_bus_message_append(r, "{sv}", "mpris:length", "x", v.length_us);
    if (e >= 0 && !v.art_url.empty()) e = sd_bus_message_append(r, "{sv}", "mpris:artUrl", "s", v.art_url.c_str());
    if (e >= 0 && !v.artists.empty()) {
        std::vector<char*> list;
        for (const std::string& a : v.artists) list.push_back(const_cast<char*>(a.c_str()));  // only read
        list.push_back(nullptr);
        e = sd_bus_message_open_container(r, 'e', "sv");
        if (e >= 0) e = sd_bus_message_append(r, "s", "xesam:artist");
        if (e >= 0) e = sd_bus_message_open_container(r, 'v', "as");
        if (e >= 0) e = sd_bus_message_append_strv(r, list.data());
        if (e >= 0) e = sd_bus_message_close_container(r);
        if (e >= 0) e = sd_bus_message_close_container(r);
    }
    return e < 0 ? e : sd_bus_message_close_container(r);
}

int set_volume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* userdata,
               sd_bus_error* error)
{
    double wanted = 0;
    const int e = sd_bus_message_read(value, "d", &wanted);
    if (e < 0) return e;
    if (!std::isfinite(wanted)) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "Volume is not a number");
    self(userdata).request({MediaRequest::SetVolume, wanted});
    return 0;
}

constexpr auto kMethod = SD_BUS_VTABLE_UNPRIVILEGED;
constexpr auto kConst = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr auto kChanges = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;

const sd_bus_vtable kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", request_method<MediaRequest::Raise>, kMethod),
    SD_BUS_METHOD("Quit", "", "", request_method<MediaRequest::Quit>, kMethod),
    SD_BUS_PROPERTY("CanQuit", "b", property<append_true>, 0, kConst),
    SD_BUS_PROPERTY("CanRaise", "b", property<append_true>, 0, kConst),
    SD_BUS_PROPERTY("HasTrackList", "b", property<append_false>, 0, kConst),
    SD_BUS_PROPERTY("Identity", "s", property<append_identity>, 0, kConst),
    SD_BUS_PROPERTY("DesktopEntry", "s", property<append_desktop_entry>, 0, kConst),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", property<append_no_strings>, 0, kConst),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", property<append_no_strings>, 0, kConst),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("PlayPause", "", "", request_method<MediaRequest::PlayPause>, kMethod),
    SD_BUS_METHOD("Play", "", "", request_method<MediaRequest::Play>, kMethod),
    SD_BUS_METHOD("Pause", "", "", request_method<MediaRequest::Pause>, kMethod),
    SD_BUS_METHOD("Stop", "", "", request_method<MediaRequest::Stop>, kMethod),
    SD_BUS_METHOD("Next", "", "", request_method<MediaRequest::Next>, kMethod),
    SD_BUS_METHOD("Previous", "", "", request_method<MediaRequest::Previous>, kMethod),
    SD_BUS_METHOD("Seek", "x", "", seek, kMethod),
    SD_BUS_METHOD("SetPosition", "ox", "", set_position, kMethod),
    SD_BUS_METHOD("OpenUri", "s", "", open_uri, kMethod),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", property<append_status>, 0, kChanges),
    SD_BUS_PROPERTY("Metadata", "a{sv}", property<append_metadata>, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", property<append_volume>, set_volume, 0, kChanges | kMethod),
    SD_BUS_PROPERTY("Position", "x", property<append_position>, 0, 0),
    SD_BUS_PROPERTY("Rate", "d", property<append_one>, 0, kConst),
    SD_BUS_PROPERTY("MinimumRate", "d", property<append_one>, 0, kConst),
    SD_BUS_PROPERTY("MaximumRate", "d", property<append_one>, 0, kConst),
    SD_BUS_PROPERTY("CanGoNext", "b", property<append_true>, 0, kConst),
    SD_BUS_PROPERTY("CanGoPrevious", "b", property<append_true>, 0, kConst),
    SD_BUS_PROPERTY("CanPlay", "b", property<append_can_play>, 0, kChanges),
    SD_BUS_PROPERTY("CanPause", "b", property<append_can_pause>, 0, kChanges),
    SD_BUS_PROPERTY("CanSeek", "b", property<append_can_seek>, 0, kChanges),
    SD_BUS_PROPERTY("CanControl", "b", property<append_true>, 0, kConst),
    SD_BUS_VTABLE_END,
};

int on_name_reply(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    self(userdata).name_reply(m);
    return 0;
}

}  // namespace

void MprisService::Impl::run()
{
    if (connect()) serve();
    covers_.clear();  // on this thread rather than the one that ends the service
    // Slots before the bus they belong to.
    instance_slot_.reset();
    name_slot_.reset();
    player_slot_.reset();
    root_slot_.reset();
    bus_.reset();
}

bool MprisService::Impl::connect()
{
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) return false;
    bus_.reset(raw);
    sd_bus_slot* root = nullptr;
    sd_bus_slot* player = nullptr;
    if (sd_bus_add_object_vtable(bus_.get(), &root, kObjectPath, kRootInterface, kRootTable, this) < 0) return false;
    root_slot_.reset(root);
    if (sd_bus_add_object_vtable(bus_.get(), &player, kObjectPath, kPlayerInterface, kPlayerTable, this) < 0)
        return false;
    player_slot_.reset(player);
    // Asked for without waiting: the answer arrives through the loop like everything else.
    sd_bus_slot* name = nullptr;
    if (sd_bus_request_name_async(bus_.get(), &name, hooks_.profile.mpris_bus_name.c_str(), 0, on_name_reply, this) < 0)
        return false;
    name_slot_.reset(name);
    return true;
}

void MprisService::Impl::serve()
{
    for (;;) {
        int r = 0;
        while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
        }
        if (r < 0) return;  // the bus went away: the player runs on without it
        const int fd = sd_bus_get_fd(bus_.get());
        const int events = sd_bus_get_events(bus_.get());
        if (fd < 0 || events < 0) return;
        pollfd fds[2] = {{fd, static_cast<short>(events), 0}, {wake_.get(), POLLIN, 0}};
        if (poll(fds, 2, timeout_ms(bus_.get())) < 0 && errno != EINTR) return;
        if (!(fds[1].revents & POLLIN)) continue;
        eventfd_t count = 0;
        eventfd_read(wake_.get(), &count);
        std::optional<NowPlaying> next;
        std::vector<std::int64_t> moves;
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            next = std::exchange(pending_, std::nullopt);
            moves.swap(seeked_);
        }
        if (next) apply(*next);
        for (const std::int64_t position : moves)
            sd_bus_emit_signal(bus_.get(), kObjectPath, kPlayerInterface, "Seeked", "x", position);
    }
}

void MprisService::Impl::apply(const NowPlaying& now)
{
    // The cover shown is the one the program writes out.
    NowPlaying shown = now;
    shown.has_cover = writes_cover(now, hooks_.profile);
    PlayerView next = player_view(shown, now.length_us, hooks_.program_folder, hooks_.profile);
    next.art_url = art_url(next, now.stream);
    const std::vector<const char*> changed = changed_properties(view_, next);
    now_ = now;
    view_ = std::move(next);
    if (changed.empty()) return;
    std::vector<char*> names;
    for (const char* n : changed) names.push_back(const_cast<char*>(n));  // only read
    names.push_back(nullptr);
    sd_bus_emit_properties_changed_strv(bus_.get(), kObjectPath, kPlayerInterface, names.data());
}

// The art URL for `view`, whose art URL is the program's own cover file when the track has one.
std::string MprisService::Impl::art_url(const PlayerView& view, std::uintptr_t stream)
{
    const bool cover = !view.art_url.empty();
    const std::pair key{stream, cover};
    if (key != cover_key_) {
        cover_key_ = key;
        if (cover) {
            cover_path_ = covers_.show(hooks_.program_folder + hooks_.profile.album_picture);
        } else {
            covers_.clear();
            cover_path_.clear();
        }
    }
    return cover && !cover_path_.empty() ? file_uri(cover_path_) : std::string{};
}

MprisService::MprisService(Hooks hooks) : impl_(std::make_unique<Impl>(std::move(hooks))) {}

MprisService::~MprisService() = default;

void MprisService::publish(const NowPlaying& now) { impl_->publish(now); }

void MprisService::seeked(std::int64_t position_us) { impl_->seeked(position_us); }

}  // namespace zv
