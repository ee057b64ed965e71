// The tag fields of one MP3 file, read once through TagLib: every ID3v2 frame (raw body), then the
// ID3v1 fields as text.
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
    // A file TagLib cannot make sense of yields no fields.
    static StreamTags read(const std::string& path);

    const std::vector<TagField>& fields() const { return fields_; }

    // Type 2 "ARTIST" and "TITLE" answer the lead artist and title as UTF-8 text, from ID3v2 or
    // else from ID3v1; any other name is the first field of that type and name.
    std::optional<std::vector<unsigned char>> find(int type, const std::string& name) const;
    // The track's length from its headers (an estimate without a scan of the frames); 0 unknown.
    int length_ms() const { return length_ms_; }

private:
    std::vector<TagField> fields_;
    std::string artist_;
    std::string title_;
    int length_ms_ = 0;
};

}  // namespace zv
