// Dialog units: a dialog's base units come from its font, and template coordinates become
// pixels through them (x in quarters of the base width, y in eighths of the base height).
#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

#include "dialogs/dialog_template.h"

namespace zv {

struct BaseUnits {
    int x = 6;
    int y = 13;
    bool operator==(const BaseUnits&) const = default;
};

// The handheld's 8-point dialog font: 160 x 197 units are exactly its 240 x 320 screen.
inline constexpr BaseUnits kHandheldUnits{6, 13};

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The template's font (DS_SETFONT), or null when it names none.
UniqueFont create_dialog_font(const DialogTemplate& t);

// The handheld's units for its own font ("MS Shell Dlg" at 8 points) and for a template without
// a font; otherwise measured from `font` as Win32 does: the average width of "A..Za..z" and the
// font's height.
BaseUnits dialog_base_units(const DialogTemplate& t, HFONT font);

int units_to_x(int v, BaseUnits u);
int units_to_y(int v, BaseUnits u);
RECT map_dialog_rect(const RECT& r, BaseUnits u);

// A control's pixel rectangle, taken from its converted edges so that laying out again from the
// same template moves nothing.
RECT item_rect(const DialogItemTemplate& item, BaseUnits u);

}  // namespace zv
