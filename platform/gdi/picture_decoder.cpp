// Picks the decoder by the file's first bytes, never by its name.
#include <cstring>

#include "gdi/image_decoders.h"

namespace zv {

PictureFormat sniff_picture(std::span<const std::uint8_t> d)
{
    static constexpr std::uint8_t png_sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (d.size() >= 8 && std::memcmp(d.data(), png_sig, 8) == 0) return PictureFormat::Png;
    if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return PictureFormat::Jpeg;
    return PictureFormat::Unknown;
}

std::shared_ptr<Surface> decode_picture(std::span<const std::uint8_t> data)
{
    switch (sniff_picture(data)) {
        case PictureFormat::Jpeg: return decode_jpeg(data);
        case PictureFormat::Png: return decode_png(data);
        case PictureFormat::Unknown: break;
    }
    return nullptr;
}

}  // namespace zv
