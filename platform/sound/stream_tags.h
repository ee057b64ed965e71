// The tag fields of one MP3 file, read once through TagLib: every ID3v2 frame (raw body; a picture
// as the player reads a cover), then the ID3v1 fields as text. A file without tags answers its
// file name as its title.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace zv {

enum class TagType : int { Id3v1 = 1, Id3v2 = 2 };

struct TagField {
    TagType type;
    std::string name;                  // ID3v2: the 4-letter frame id; ID3v1: "TITLE", "ARTIST", ...
    std::vector<unsigned char> value;  // ID3v2: frame body as stored; ID3v1: UTF-8 text
};

class StreamTags {
public:
    // A file without a field that tells anything of the music (none at all, blank ID3v1, or only
    // what an encoder notes by itself) has its file name, without folder and extension, as its
    // title; when it has no fields at all, that title is its one field. What is not a readable
    // regular file has no fields.
    static StreamTags read(const std::string& path);

    const std::vector<TagField>& fields() const { return fields_; }

    // Type 2 "ARTIST" and "TITLE" answer the lead artist and title as UTF-8 text, from ID3v2 or
    // else from ID3v1; "APIC" the front cover, else the first picture (the picture from byte 14,
    // behind an empty description); any other name is the first field of that type and name.
    std::optional<std::vector<unsigned char>> find(int type, const std::string& name) const;
    // The track's length from its headers (an estimate without a scan of the frames); 0 unknown.
    int length_ms() const { return length_ms_; }

private:
    enum class Content { Unreadable, Untagged, Tagged };  // Tagged: a field tells of the music
    Content read_file(const std::string& path);

    std::vector<TagField> fields_;
    std::optional<std::size_t> cover_;  // the field that answers "APIC"
    std::string artist_;
    std::string title_;
    int length_ms_ = 0;
};

}  // namespace zv
