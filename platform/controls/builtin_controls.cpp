// The window classes every platform instance starts with.
#include "core/user_state.h"

namespace zv {

void register_list_view_class(UserState& u);
void register_message_box_class(UserState& u);

void register_builtin_controls(UserState& u)
{
    register_list_view_class(u);
    register_message_box_class(u);
}

}  // namespace zv
