// The font instance behind a DC's selected font, resolved on first use.
#pragma once
#include "gdi/gdi_state.h"
#include "text/font_instance.h"
#include "text/font_system.h"

namespace zv {

inline FontInstance* dc_font(GdiState& st, DeviceContext& dc)
{
    auto* f = dc.font ? dc.font->as<FontObject>() : nullptr;
    if (!f) return nullptr;
    if (!f->instance) f->instance = st.fonts().instance_for(f->logfont);
    return f->instance.get();
}

}  // namespace zv
