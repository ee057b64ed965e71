#include "dialogs/dialog_template.h"

#include "resources/byte_reader.h"
#include "resources/resource_table.h"

namespace zv {

namespace {

// Reads forward through the template; every read either lies inside the bytes or fails.
class TemplateCursor {
public:
    explicit TemplateCursor(std::span<const std::uint8_t> bytes) : reader_(bytes) {}

    bool word(WORD& out)
    {
        auto v = reader_.u16(pos_);
        if (!v) return false;
        out = *v;
        pos_ += 2;
        return true;
    }
    bool dword(DWORD& out)
    {
        auto v = reader_.u32(pos_);
        if (!v) return false;
        out = *v;
        pos_ += 4;
        return true;
    }
    bool signed_word(short& out)
    {
        WORD w;
        if (!word(w)) return false;
        out = static_cast<short>(w);
        return true;
    }
    bool text(std::u16string& out)
    {
        out.clear();
        for (WORD c; word(c);) {
            if (c == 0) return true;
            out.push_back(static_cast<char16_t>(c));
        }
        return false;  // no terminator before the end
    }
    std::optional<WORD> peek_word() const { return reader_.u16(pos_); }
    bool field(TemplateText& out)
    {
        out = {};
        auto first = peek_word();
        if (!first) return false;
        if (*first != 0xFFFF) return text(out.text);
        pos_ += 2;
        out.is_ordinal = true;
        return word(out.ordinal);
    }
    // Items start on a DWORD boundary counted from the template's first byte.
    void align4() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }
    bool skip(std::size_t count, std::span<const std::uint8_t>& skipped)
    {
        if (!reader_.has(pos_, count)) return false;
        skipped = reader_.sub(pos_, count);
        pos_ += count;
        return true;
    }

private:
    ByteReader reader_;
    std::size_t pos_ = 0;
};

bool read_item(TemplateCursor& c, DialogItemTemplate& item)
{
    c.align4();
    if (!c.dword(item.style) || !c.dword(item.ex_style) || !c.signed_word(item.x) || !c.signed_word(item.y) ||
        !c.signed_word(item.cx) || !c.signed_word(item.cy) || !c.word(item.id))
        return false;
    if (!c.field(item.cls) || !c.field(item.title)) return false;
    // A size word, then that many bytes of creation data.
    auto data_size = c.peek_word();
    std::span<const std::uint8_t> data;
    if (!data_size || !c.skip(2u + *data_size, data)) return false;
    if (*data_size) item.creation_data = data;
    return true;
}

}  // namespace

std::optional<DialogTemplate> parse_dialog_template(std::span<const std::uint8_t> bytes)
{
    TemplateCursor c(bytes);
    DialogTemplate t;
    WORD count;
    if (!c.dword(t.style) || !c.dword(t.ex_style) || !c.word(count) || !c.signed_word(t.x) || !c.signed_word(t.y) ||
        !c.signed_word(t.cx) || !c.signed_word(t.cy))
        return std::nullopt;
    // DLGTEMPLATEEX opens with version 1 and signature 0xFFFF where the style would be.
    if (t.style == 0xFFFF0001u) return std::nullopt;
    if (!c.field(t.menu) || !c.field(t.cls) || !c.text(t.title)) return std::nullopt;
    if (t.style & DS_SETFONT) {
        t.has_font = true;
        if (!c.word(t.point_size) || !c.text(t.face)) return std::nullopt;
    }
    for (WORD i = 0; i < count; ++i) {
        DialogItemTemplate item;
        if (!read_item(c, item)) return std::nullopt;
        t.items.push_back(std::move(item));
    }
    return t;
}

std::span<const std::uint8_t> resource_bytes_from(const void* p)
{
    const ResourceTable* table = ResourceTable::current();
    const ResourceEntry* e = table ? table->entry_containing(p) : nullptr;
    if (!e) return {};
    const auto offset = reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(e->data.data());
    return e->data.subspan(offset);
}

}  // namespace zv
