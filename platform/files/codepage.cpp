#include "files/codepage.h"

#include <climits>
#include <cstring>

#include "winbase.h"
#include "winnls.h"

namespace zv {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

DecodedChar escaped(unsigned char b)
{
    DecodedChar d;
    d.units[0] = static_cast<char16_t>(kEscapeBase + b);
    d.unit_count = 1;
    d.bytes_used = 1;
    return d;
}

}  // namespace

DecodedChar decode_char(std::string_view in)
{
    const auto b0 = static_cast<unsigned char>(in[0]);
    if (b0 < 0x80) {
        DecodedChar d;
        d.units[0] = b0;
        d.unit_count = 1;
        d.bytes_used = 1;
        return d;
    }
    std::size_t len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return escaped(b0);
    }
    if (in.size() < len) return escaped(b0);
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(in[i]);
        if (!is_continuation(b)) return escaped(b0);
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are not UTF-8; escaping their
    // bytes keeps them apart from the characters they imitate, which is what makes this lossless.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return escaped(b0);
    DecodedChar d;
    d.bytes_used = len;
    if (cp < 0x10000) {
        d.units[0] = static_cast<char16_t>(cp);
        d.unit_count = 1;
    } else {
        cp -= 0x10000;
        d.units[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
        d.units[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        d.unit_count = 2;
    }
    return d;
}

EncodedChar encode_char(std::u16string_view in)
{
    EncodedChar e;
    char32_t cp = in[0];
    e.units_used = 1;
    if (cp >= 0xD800 && cp <= 0xDBFF && in.size() > 1 && in[1] >= 0xDC00 && in[1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (in[1] - 0xDC00);
        e.units_used = 2;
    } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
        e.bytes[0] = static_cast<char>(cp - kEscapeBase);
        e.byte_count = 1;
        return e;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        cp = 0xFFFD;
        e.unmappable = true;
    }
    auto put = [&e](char32_t v) { e.bytes[e.byte_count++] = static_cast<char>(v); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
    return e;
}

std::u16string widen(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const DecodedChar d = decode_char(bytes);
        out.append(d.units.data(), d.unit_count);
        bytes.remove_prefix(d.bytes_used);
    }
    return out;
}

std::string narrow(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const EncodedChar e = encode_char(text);
        out.append(e.bytes.data(), e.byte_count);
        text.remove_prefix(e.units_used);
    }
    return out;
}

}  // namespace zv

namespace {

bool known_code_page(UINT cp) { return cp == CP_ACP || cp == CP_UTF8; }

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD /*dwFlags*/, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!known_code_page(CodePage) || !lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t len = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    const std::string_view src(lpMultiByteStr, len);

    // Never more units than bytes, so the count always fits an int.
    std::size_t needed = 0;
    for (std::string_view rest = src; !rest.empty();) {
        const zv::DecodedChar d = zv::decode_char(rest);
        needed += d.unit_count;
        rest.remove_prefix(d.bytes_used);
    }
    if (cchWideChar == 0) return static_cast<int>(needed);

    const std::size_t cap = static_cast<std::size_t>(cchWideChar);
    const bool fits = needed <= cap;
    const std::size_t limit = fits ? cap : cap - 1;  // room for the terminator on overflow
    std::size_t written = 0;
    for (std::string_view rest = src; !rest.empty();) {
        const zv::DecodedChar d = zv::decode_char(rest);
        if (written + d.unit_count > limit) break;
        for (std::size_t i = 0; i < d.unit_count; ++i) lpWideCharStr[written++] = d.units[i];
        rest.remove_prefix(d.bytes_used);
    }
    if (!fits) {
        lpWideCharStr[written] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(written);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD /*dwFlags*/, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar)
{
    if (!known_code_page(CodePage) || !lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t len = cchWideChar == -1 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1
                                              : static_cast<std::size_t>(cchWideChar);
    const std::u16string_view src(lpWideCharStr, len);

    // The replacement for an unmappable unit: the default character's first character, or U+FFFD.
    std::string_view replacement;
    if (lpDefaultChar && *lpDefaultChar) {
        const std::string_view def(lpDefaultChar, std::strlen(lpDefaultChar));
        replacement = def.substr(0, zv::decode_char(def).bytes_used);
    }
    auto bytes_of = [&](const zv::EncodedChar& e) {
        return e.unmappable && !replacement.empty() ? replacement : std::string_view(e.bytes.data(), e.byte_count);
    };

    std::size_t needed = 0;
    bool used_default = false;
    for (std::u16string_view rest = src; !rest.empty();) {
        const zv::EncodedChar e = zv::encode_char(rest);
        needed += bytes_of(e).size();
        used_default = used_default || e.unmappable;
        rest.remove_prefix(e.units_used);
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = used_default ? TRUE : FALSE;
    if (needed > static_cast<std::size_t>(INT_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cbMultiByte == 0) return static_cast<int>(needed);

    const std::size_t cap = static_cast<std::size_t>(cbMultiByte);
    const bool fits = needed <= cap;
    const std::size_t limit = fits ? cap : cap - 1;
    std::size_t written = 0;
    for (std::u16string_view rest = src; !rest.empty();) {
        const zv::EncodedChar e = zv::encode_char(rest);
        const std::string_view b = bytes_of(e);
        if (written + b.size() > limit) break;
        std::memcpy(lpMultiByteStr + written, b.data(), b.size());
        written += b.size();
        rest.remove_prefix(e.units_used);
    }
    if (!fits) {
        lpMultiByteStr[written] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(written);
}
