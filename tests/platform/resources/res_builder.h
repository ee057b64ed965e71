// Builds small .res files and DIBs in memory for the damaged-input tests.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zvtest {

class Bytes {
public:
    Bytes& u8(unsigned v)
    {
        b.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& str16(const std::u16string& s)
    {
        for (char16_t c : s) u16(c);
        return u16(0);
    }
    Bytes& append(const std::vector<std::uint8_t>& v)
    {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    Bytes& align4()
    {
        while (b.size() % 4) u8(0);
        return *this;
    }
    std::vector<std::uint8_t> b;
};

// A resource id: a number, or a name when `name` is not empty.
struct Id {
    Id(unsigned n) : number(n) {}
    Id(std::u16string s) : name(std::move(s)) {}
    unsigned number = 0;
    std::u16string name;
};

class ResBuilder {
public:
    ResBuilder()
    {
        // The leading empty entry every .res file starts with.
        add(Id{0u}, Id{0u}, {});
    }
    ResBuilder& add(const Id& type, const Id& name, const std::vector<std::uint8_t>& data)
    {
        Bytes h;
        id(h, type);
        id(h, name);
        h.align4();
        h.u32(0).u16(0x1030).u16(0x0409).u32(0).u32(0);
        out.u32(static_cast<std::uint32_t>(data.size())).u32(static_cast<std::uint32_t>(8 + h.b.size()));
        out.append(h.b).append(data).align4();
        return *this;
    }
    std::vector<std::uint8_t> bytes() const { return out.b; }

private:
    static void id(Bytes& h, const Id& i)
    {
        if (i.name.empty())
            h.u16(0xFFFF).u16(i.number);
        else
            h.str16(i.name);
    }
    Bytes out;
};

// A 40-byte-header DIB; `rows` are the stored rows in file order, already padded.
inline std::vector<std::uint8_t> dib(int w, int h, int bpp, const std::vector<std::uint32_t>& palette,
                                     const std::vector<std::uint8_t>& rows, std::uint32_t colours_used = 0)
{
    Bytes b;
    b.u32(40)
        .u32(static_cast<std::uint32_t>(w))
        .u32(static_cast<std::uint32_t>(h))
        .u16(1)
        .u16(static_cast<unsigned>(bpp));
    b.u32(0).u32(static_cast<std::uint32_t>(rows.size())).u32(0).u32(0).u32(colours_used).u32(0);
    for (std::uint32_t c : palette) b.u32(c);
    b.append(rows);
    return b.b;
}

}  // namespace zvtest
