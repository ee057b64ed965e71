#include "core/user_state.h"

namespace zv {

namespace {
UserState* g_current = nullptr;
}  // namespace

UserState::UserState(Backend& backend, int screen_width, int screen_height)
    : windows_(*this),
      queue_(*this, backend),
      input_(*this, backend),
      screen_(*this, backend, screen_width, screen_height)
{
    g_current = this;
}

UserState::~UserState()
{
    if (g_current == this) g_current = nullptr;
}

UserState* UserState::current() { return g_current; }

}  // namespace zv
