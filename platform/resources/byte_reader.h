// Bounds-checked little-endian reads from bytes that came from outside: every read either
// lies wholly inside the span or fails.
#pragma once
#include <cstdint>
#include <optional>
#include <span>

namespace zv {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }

    std::optional<std::uint8_t> u8(std::size_t offset) const
    {
        if (!has(offset, 1)) return std::nullopt;
        return bytes_[offset];
    }
    std::optional<std::uint16_t> u16(std::size_t offset) const
    {
        if (!has(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const
    {
        if (!has(offset, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
    }
    std::optional<std::int32_t> i32(std::size_t offset) const
    {
        auto v = u32(offset);
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    // An empty span when the range is not wholly inside.
    std::span<const std::uint8_t> sub(std::size_t offset, std::size_t count) const
    {
        if (!has(offset, count)) return {};
        return bytes_.subspan(offset, count);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace zv
