// The classic in-memory dialog template, read only within the bytes of the resource that holds
// it: a template that runs past its resource is refused, never read past.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zv {

// A name-or-number field: 0xFFFF and an ordinal, or a zero-terminated string (empty for 0x0000).
struct TemplateText {
    bool is_ordinal = false;
    WORD ordinal = 0;
    std::u16string text;

    bool operator==(const TemplateText&) const = default;
};

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    TemplateText cls;
    TemplateText title;
    // The creation data behind its leading size word, size word included, as the control's
    // WM_CREATE receives it; empty when the size is 0.
    std::span<const std::uint8_t> creation_data;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateText menu;
    TemplateText cls;
    std::u16string title;
    bool has_font = false;  // DS_SETFONT: point size and face follow the title
    WORD point_size = 0;
    std::u16string face;
    std::vector<DialogItemTemplate> items;
};

// The template starting at bytes[0]; null when any part lies past the end, and for the extended
// (DLGTEMPLATEEX) form.
std::optional<DialogTemplate> parse_dialog_template(std::span<const std::uint8_t> bytes);

// The bytes from `p` to the end of the loaded resource holding it; empty when `p` lies in none.
std::span<const std::uint8_t> resource_bytes_from(const void* p);

}  // namespace zv
