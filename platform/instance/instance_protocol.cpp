#include "instance/instance_protocol.h"

namespace zv::instance_protocol {

namespace {
constexpr std::string_view kMagic = "ZVI1";

void put_u16(std::string& s, std::size_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

std::size_t get_u16(std::span<const unsigned char> b, std::size_t at)
{
    return static_cast<std::size_t>(b[at]) | (static_cast<std::size_t>(b[at + 1]) << 8);
}
}  // namespace

std::string encode(const Request& r)
{
    if (r.cls.size() > kMaxFieldBytes || r.title.size() > kMaxFieldBytes) return {};
    std::string s(kMagic);
    s.push_back(static_cast<char>(r.op));
    put_u16(s, r.cls.size());
    put_u16(s, r.title.size());
    s += r.cls;
    s += r.title;
    return s;
}

Parse parse(std::span<const unsigned char> bytes, Request& out)
{
    // Check each byte as soon as it is there, so garbage is dropped without waiting for more.
    for (std::size_t i = 0; i < kMagic.size() && i < bytes.size(); ++i)
        if (bytes[i] != static_cast<unsigned char>(kMagic[i])) return Parse::Malformed;
    if (bytes.size() > kMagic.size()) {
        const auto op = static_cast<char>(bytes[kMagic.size()]);
        if (op != static_cast<char>(Op::Query) && op != static_cast<char>(Op::Raise)) return Parse::Malformed;
    }
    if (bytes.size() < kHeaderBytes) return Parse::Incomplete;
    const std::size_t cls_len = get_u16(bytes, 5);
    const std::size_t title_len = get_u16(bytes, 7);
    if (cls_len > kMaxFieldBytes || title_len > kMaxFieldBytes) return Parse::Malformed;
    const std::size_t total = kHeaderBytes + cls_len + title_len;
    if (bytes.size() < total) return Parse::Incomplete;
    if (bytes.size() > total) return Parse::Malformed;
    const auto text = [&](std::size_t at, std::size_t len) {
        const auto part = bytes.subspan(at, len);
        return std::string(reinterpret_cast<const char*>(part.data()), part.size());
    };
    out.op = static_cast<Op>(bytes[kMagic.size()]);
    out.cls = text(kHeaderBytes, cls_len);
    out.title = text(kHeaderBytes + cls_len, title_len);
    return Parse::Complete;
}

}  // namespace zv::instance_protocol
