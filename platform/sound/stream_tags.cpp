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

// A cover frame's body as the file stores it: encoding byte, MIME type, picture type,
// description, picture. Built from the parsed fields because TagLib's own rendering rewrites the
// description of a v2.3 frame that says UTF-8 as UTF-16, which moves the picture and breaks the
// byte offsets a reader relies on. (A v2.2 PIC frame comes out in this, the v2.3 layout.)
TagLib::ByteVector cover_body(const TagLib::ID3v2::AttachedPictureFrame& f)
{
    const TagLib::String::Type enc = f.textEncoding();
    TagLib::ByteVector body;
    body.append(static_cast<char>(enc));
    body.append(f.mimeType().data(TagLib::String::Latin1));
    body.append('\0');
    body.append(static_cast<char>(f.type()));
    if (!f.description().isEmpty()) body.append(f.description().data(enc));
    body.append(TagLib::ID3v2::Frame::textDelimiter(enc));
    body.append(f.picture());
    return body;
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
    // Only a regular file: a FIFO, a directory or a dangling link named like a track fails here at
    // once instead of blocking the open.
    const UniqueFd fd = open_regular_file(path);
    if (!fd) return tags;
    // TagLib's stream takes the descriptor it is given and closes it, so it gets a copy.
    const int copy = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return tags;
    try {
        TagLib::FileStream stream(copy, true);
        if (!stream.isOpen()) {
            ::close(copy);
            return tags;
        }
        // The length comes from the headers in the same pass (no scan of the frames).
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true,
                                TagLib::AudioProperties::Average);
        if (!file.isValid()) return tags;
        if (const TagLib::AudioProperties* p = file.audioProperties())
            tags.length_ms_ = std::max(p->lengthInMilliseconds(), 0);

        if (file.hasID3v2Tag()) {
            const TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(false);
            if (v2) {
                for (const TagLib::ID3v2::Frame* frame : v2->frameList()) {
                    if (const auto* pic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame)) {
                        tags.fields_.push_back({TagType::Id3v2, "APIC", bytes_of(cover_body(*pic), 0)});
                        continue;
                    }
                    // render() gives the frame header (the id, four size bytes, two flag bytes)
                    // and the body; the body is the field. A v2.2 frame TagLib has no v2.4 name
                    // for keeps its 3-letter id, so its header is 9 bytes, not 10.
                    const TagLib::ByteVector whole = frame->render();
                    const TagLib::ByteVector id = frame->frameID();
                    tags.fields_.push_back({TagType::Id3v2, std::string(id.data(), id.size()),
                                            bytes_of(whole, static_cast<unsigned>(id.size()) + 6)});
                }
                tags.artist_ = first_text(*v2, "TPE1");
                tags.title_ = first_text(*v2, "TIT2");
            }
        }
        if (file.hasID3v1Tag()) {
            const TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(false);
            if (v1) {
                add_v1(tags.fields_, "TITLE", utf8(v1->title()));
                add_v1(tags.fields_, "ARTIST", utf8(v1->artist()));
                add_v1(tags.fields_, "ALBUM", utf8(v1->album()));
                add_v1(tags.fields_, "YEAR", number_text(v1->year()));
                add_v1(tags.fields_, "COMMENT", utf8(v1->comment()));
                add_v1(tags.fields_, "TRACK", number_text(v1->track()));
                add_v1(tags.fields_, "GENRE", utf8(v1->genre()));
                if (tags.artist_.empty()) tags.artist_ = utf8(v1->artist());
                if (tags.title_.empty()) tags.title_ = utf8(v1->title());
            }
        }
    } catch (const std::exception&) {
        return StreamTags{};
    }
    return tags;
}

std::optional<std::vector<unsigned char>> StreamTags::find(int type, const std::string& name) const
{
    if (type == static_cast<int>(TagType::Id3v2)) {
        if (name == "ARTIST") return artist_.empty() ? std::nullopt : std::optional(bytes_of(artist_));
        if (name == "TITLE") return title_.empty() ? std::nullopt : std::optional(bytes_of(title_));
    }
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [&](const TagField& f) { return static_cast<int>(f.type) == type && f.name == name; });
    if (it == fields_.end()) return std::nullopt;
    return it->value;
}

}  // namespace zv
