#include "controls/builtin_controls.h"

namespace zv {

void register_builtin_controls(UserState& user)
{
    register_list_box_class(user);
    register_list_view_class(user);
    register_message_box_class(user);
    register_push_button_class(user);
    register_static_class(user);
    register_dialog_class(user);
}

}  // namespace zv
