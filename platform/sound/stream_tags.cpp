#include "sound/stream_tags.h"

#include <fcntl.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/audioproperties.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <unistd.h>

#include <algorithm>
#include <exception>

#include "files/file_title.h"
#include "files/regular_file.h"

namespace zv {

namespace {

std::vector<unsigned char> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<unsigned char> bytes_of(const TagLib::ByteVector& v, unsigned from)
{
    if (v.size() <= from) return {};
    return {reinterpret_cast<const unsigned char*>(v.data()) + from,
            reinterpret_cast<const unsigned char*>(v.data()) + v.size()};
}

// A picture frame's answer, laid out as the player reads a cover: the encoding byte, the MIME
// type in ten characters and its terminator, the picture type, an empty description's
// terminator, and the picture from byte 14. Whatever description, text encoding or MIME type the
// file stores, the picture is always there; only the picture is ever read.
constexpr std::size_t kMimeField = 11;

std::vector<unsigned char> cover_value(const TagLib::ID3v2::AttachedPictureFrame& f)
{
    const TagLib::ByteVector mime = f.mimeType().data(TagLib::String::Latin1);
    const TagLib::ByteVector picture = f.picture();
    std::vector<unsigned char> value;
    value.reserve(1 + kMimeField + 2 + picture.size());
    value.push_back(0);  // Latin-1: the description is empty
    for (std::size_t i = 0; i < kMimeField; ++i)
        value.push_back(i + 1 < kMimeField && i < mime.size() ? static_cast<unsigned char>(mime[i]) : 0);
    value.push_back(static_cast<unsigned char>(f.type()));
    value.push_back(0);
    value.insert(value.end(), reinterpret_cast<const unsigned char*>(picture.data()),
                 reinterpret_cast<const unsigned char*>(picture.data()) + picture.size());
    return value;
}

// A frame that links to the picture ("-->" instead of a MIME type) or holds no bytes is no cover.
bool holds_picture(const TagLib::ID3v2::AttachedPictureFrame& f)
{
    return f.mimeType() != "-->" && !f.picture().isEmpty();
}

// Frames an encoder writes by itself; a tag of nothing else says nothing about the music.
bool describes_encoding(const TagLib::ByteVector& id)
{
    return id == "TSSE" || id == "TENC" || id == "TLEN" || id == "PRIV";
}

std::string utf8(const TagLib::String& s) { return s.to8Bit(true); }

// The first value of a text frame: with several artists in TPE1 the first is the lead.
std::string first_text(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const auto& frames = tag.frameListMap()[id];
    for (const TagLib::ID3v2::Frame* f : frames) {
        if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(f)) {
            const TagLib::StringList values = text->fieldList();
            for (const TagLib::String& v : values) {
                if (!v.isEmpty()) return utf8(v);
            }
        }
    }
    return {};
}

void add_v1(std::vector<TagField>& out, const char* name, const std::string& text)
{
    out.push_back({TagType::Id3v1, name, bytes_of(text)});
}

std::string number_text(unsigned n) { return n ? std::to_string(n) : std::string(); }

}  // namespace

StreamTags StreamTags::read(const std::string& path)
{
    StreamTags tags;
    Content content = Content::Unreadable;
    try {
        content = tags.read_file(path);
    } catch (const std::exception&) {
        tags = StreamTags{};
        content = Content::Untagged;
    }
    // An untagged file is known by its name: that is what a listener sees in the folder.
    if (content == Content::Untagged) {
        tags.title_ = file_title(path);
        if (tags.fields_.empty() && !tags.title_.empty())
            tags.fields_.push_back({TagType::Id3v2, "TITLE", bytes_of(tags.title_)});
    }
    return tags;
}

StreamTags::Content StreamTags::read_file(const std::string& path)
{
    bool described = false;       // a field tells something about the music
    bool cover_is_front = false;  // the picture that answers "APIC" is a front cover
    // Only a regular file: a FIFO, a directory or a dangling link named like a track fails here at
    // once instead of blocking the open.
    const UniqueFd fd = open_regular_file(path);
    if (!fd) return Content::Unreadable;
    // TagLib's stream takes the descriptor it is given and closes it, so it gets a copy.
    const int copy = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return Content::Unreadable;
    TagLib::FileStream stream(copy, true);
    if (!stream.isOpen()) {
        ::close(copy);
        return Content::Unreadable;
    }
    // The length comes from the headers in the same pass (no scan of the frames).
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true, TagLib::AudioProperties::Average);
    if (!file.isValid()) return Content::Untagged;
    if (const TagLib::AudioProperties* p = file.audioProperties()) length_ms_ = std::max(p->lengthInMilliseconds(), 0);

    if (file.hasID3v2Tag()) {
        const TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(false);
        if (v2) {
            for (const TagLib::ID3v2::Frame* frame : v2->frameList()) {
                if (const auto* pic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame)) {
                    if (!holds_picture(*pic)) continue;
                    // The front cover answers for the track; else the first picture does.
                    const bool front = pic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover;
                    if (!cover_ || (front && !cover_is_front)) {
                        cover_ = fields_.size();
                        cover_is_front = front;
                    }
                    fields_.push_back({TagType::Id3v2, "APIC", cover_value(*pic)});
                    described = true;
                    continue;
                }
                if (!describes_encoding(frame->frameID())) described = true;
                // render() gives the frame header (the id, four size bytes, two flag bytes)
                // and the body; the body is the field. A v2.2 frame TagLib has no v2.4 name
                // for keeps its 3-letter id, so its header is 9 bytes, not 10.
                const TagLib::ByteVector whole = frame->render();
                const TagLib::ByteVector id = frame->frameID();
                fields_.push_back({TagType::Id3v2, std::string(id.data(), id.size()),
                                   bytes_of(whole, static_cast<unsigned>(id.size()) + 6)});
            }
            artist_ = first_text(*v2, "TPE1");
            title_ = first_text(*v2, "TIT2");
        }
    }
    if (file.hasID3v1Tag()) {
        const TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(false);
        if (v1) {
            add_v1(fields_, "TITLE", utf8(v1->title()));
            add_v1(fields_, "ARTIST", utf8(v1->artist()));
            add_v1(fields_, "ALBUM", utf8(v1->album()));
            add_v1(fields_, "YEAR", number_text(v1->year()));
            add_v1(fields_, "COMMENT", utf8(v1->comment()));
            add_v1(fields_, "TRACK", number_text(v1->track()));
            add_v1(fields_, "GENRE", utf8(v1->genre()));
            if (!v1->isEmpty()) described = true;
            if (artist_.empty()) artist_ = utf8(v1->artist());
            if (title_.empty()) title_ = utf8(v1->title());
        }
    }
    return described ? Content::Tagged : Content::Untagged;
}

std::optional<std::vector<unsigned char>> StreamTags::find(int type, const std::string& name) const
{
    if (type == static_cast<int>(TagType::Id3v2)) {
        if (name == "ARTIST") return artist_.empty() ? std::nullopt : std::optional(bytes_of(artist_));
        if (name == "TITLE") return title_.empty() ? std::nullopt : std::optional(bytes_of(title_));
        if (name == "APIC") return cover_ ? std::optional(fields_[*cover_].value) : std::nullopt;
    }
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [&](const TagField& f) { return static_cast<int>(f.type) == type && f.name == name; });
    if (it == fields_.end()) return std::nullopt;
    return it->value;
}

}  // namespace zv
