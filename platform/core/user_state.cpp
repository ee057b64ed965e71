#include "core/user_state.h"

namespace zv {

UserState::UserState(Backend& backend, int screen_width, int screen_height)
    : windows_(*this),
      queue_(*this, backend),
      input_(*this, backend),
      screen_(*this, backend, screen_width, screen_height)
{
}

}  // namespace zv
