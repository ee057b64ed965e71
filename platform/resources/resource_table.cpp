#include "resources/resource_table.h"

#include <algorithm>

#include "base/names.h"
#include "resources/byte_reader.h"

namespace zv {
namespace {

std::uint32_t g_next_serial = 1;

std::size_t align4(std::size_t v) { return (v + 3) & ~static_cast<std::size_t>(3); }

// Reads a type or name field of a .res entry header at `pos`; advances `pos` past it.
bool read_id(const ByteReader& r, std::size_t& pos, ResourceId& out)
{
    auto first = r.u16(pos);
    if (!first) return false;
    if (*first == 0xFFFF) {
        auto n = r.u16(pos + 2);
        if (!n) return false;
        out = {true, *n, {}};
        pos += 4;
        return true;
    }
    out = {false, 0, {}};
    for (;;) {
        auto c = r.u16(pos);
        if (!c) return false;  // no terminator inside the header
        pos += 2;
        if (*c == 0) return true;
        out.name.push_back(static_cast<char16_t>(*c));
    }
}

// The entries of a .res file, in file order, up to the first damaged one.
std::vector<ResourceEntry> parse_res(std::span<const std::uint8_t> bytes)
{
    std::vector<ResourceEntry> out;
    const ByteReader file(bytes);
    std::size_t offset = 0;
    while (file.has(offset, 8)) {
        const std::uint32_t data_size = *file.u32(offset);
        const std::uint32_t header_size = *file.u32(offset + 4);
        if (header_size < 32 || !file.has(offset, header_size)) break;
        const ByteReader header(file.sub(offset, header_size));
        std::size_t pos = 8;
        ResourceEntry e;
        if (!read_id(header, pos, e.type) || !read_id(header, pos, e.name)) break;
        pos = align4(pos);
        // DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
        if (!header.has(pos, 16)) break;
        e.language = *header.u16(pos + 6);
        const std::size_t data_offset = offset + header_size;
        if (!file.has(data_offset, data_size)) break;
        e.data = file.sub(data_offset, data_size);
        // The file opens with an empty entry of type 0 that only marks the format.
        if (!(e.type.is_number && e.type.number == 0)) out.push_back(std::move(e));
        offset = align4(data_offset + data_size);
    }
    return out;
}

}  // namespace

bool ResourceId::matches(const ResourceId& other) const
{
    if (is_number != other.is_number) return false;
    if (is_number) return number == other.number;
    return names_equal(name, other.name);
}

ResourceId ResourceId::from_argument(LPCWSTR arg)
{
    if (IS_INTRESOURCE(arg)) return {true, LOWORD(reinterpret_cast<ULONG_PTR>(arg)), {}};
    std::u16string s;
    for (std::size_t i = 0; i < 255 && arg[i]; ++i) s.push_back(arg[i]);
    if (s.size() > 1 && s[0] == u'#') {
        // "#123" names resource number 123.
        std::uint32_t n = 0;
        bool digits = true;
        for (std::size_t i = 1; i < s.size() && digits; ++i) {
            digits = s[i] >= u'0' && s[i] <= u'9';
            n = std::min<std::uint32_t>(n * 10 + (s[i] - u'0'), 0x10000);
        }
        if (digits && n <= 0xFFFF) return {true, static_cast<WORD>(n), {}};
    }
    return {false, 0, std::move(s)};
}

ResourceTable::ResourceTable(std::span<const std::uint8_t> res_file) : entries_(parse_res(res_file))
{
    // Module handles carry the Module tag and a serial, so a handle of an earlier table is
    // not mistaken for this one's.
    const std::uint64_t v = (static_cast<std::uint64_t>(g_next_serial++ & 0xFFFFFu) << 28) | (1u << 4) |
                            static_cast<std::uint32_t>(HandleKind::Module);
    instance_ = to_handle<HINSTANCE>(static_cast<std::uintptr_t>(v));
    for (std::size_t i = 0; i < entries_.size(); ++i)
        entry_handles_.push_back(handles_.insert(std::make_unique<std::size_t>(i)));
}

ResourceTable::~ResourceTable() = default;

const ResourceEntry* ResourceTable::find(const ResourceId& name, const ResourceId& type) const
{
    for (const ResourceEntry& e : entries_)
        if (e.type.matches(type) && e.name.matches(name)) return &e;
    return nullptr;
}

const ResourceEntry* ResourceTable::find(WORD name, WORD type) const
{
    return find(ResourceId{true, name, {}}, ResourceId{true, type, {}});
}

HRSRC ResourceTable::handle_of(const ResourceEntry& entry) const
{
    const auto i = static_cast<std::size_t>(&entry - entries_.data());
    return i < entry_handles_.size() ? to_handle<HRSRC>(entry_handles_[i]) : nullptr;
}

const ResourceEntry* ResourceTable::entry(HRSRC handle) const
{
    const std::size_t* i = handles_.get(handle);
    return i ? &entries_[*i] : nullptr;
}

const ResourceEntry* ResourceTable::entry_at(const void* p) const
{
    if (!p) return nullptr;
    for (const ResourceEntry& e : entries_)
        if (e.data.data() == p) return &e;
    return nullptr;
}

const ResourceEntry* ResourceTable::entry_containing(const void* p) const
{
    // Compared as addresses: `p` may point into none of the entries.
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    for (const ResourceEntry& e : entries_) {
        const auto begin = reinterpret_cast<std::uintptr_t>(e.data.data());
        if (at >= begin && at - begin < e.data.size()) return &e;
    }
    return nullptr;
}

HACCEL ResourceTable::accelerators_for(const ResourceEntry& entry)
{
    HACCEL found = nullptr;
    accels_.for_each([&](std::uintptr_t h, const AccelTable& t) {
        if (t.source == &entry) found = to_handle<HACCEL>(h);
    });
    if (found) return found;

    // Stored entries are 8 bytes: flags, key, command, padding. The flags of the last one
    // carry 0x80, which ends the table and is not part of the key's flags.
    auto table = std::make_unique<AccelTable>();
    table->source = &entry;
    const ByteReader r(entry.data);
    for (std::size_t pos = 0; r.has(pos, 8); pos += 8) {
        const std::uint16_t flags = *r.u16(pos);
        table->entries.push_back({static_cast<BYTE>(flags & 0x7F), *r.u16(pos + 2), *r.u16(pos + 4)});
        if (flags & 0x80) break;
    }
    if (table->entries.empty()) return nullptr;
    return to_handle<HACCEL>(accels_.insert(std::move(table)));
}

std::span<const ACCEL> ResourceTable::accelerators(HACCEL handle) const
{
    const AccelTable* t = accels_.get(handle);
    return t ? std::span<const ACCEL>(t->entries) : std::span<const ACCEL>{};
}

HICON ResourceTable::add_icon(std::unique_ptr<IconObject> icon)
{
    return to_handle<HICON>(icons_.insert(std::move(icon)));
}

const IconObject* ResourceTable::icon(HICON handle) const { return icons_.get(handle); }

bool ResourceTable::destroy_icon(HICON handle) { return icons_.remove(handle) != nullptr; }

}  // namespace zv
