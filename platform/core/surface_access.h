// Window surfaces as the window manager makes them.
#pragma once
#include <memory>

#include "gdi/surface.h"

namespace zv {

inline std::shared_ptr<Surface> make_surface(int w, int h) { return std::make_shared<Surface>(w, h, 0u); }
inline void resize_surface(Surface& s, int w, int h) { s.resize(w, h, 0u); }

}  // namespace zv
