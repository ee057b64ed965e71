// The control classes every platform instance starts with. The platform's composition registers
// them (and the dialog class) once the user-interface state exists; each control defines its own
// registration.
#pragma once

namespace zv {

class UserState;

void register_list_box_class(UserState& user);
void register_list_view_class(UserState& user);
void register_message_box_class(UserState& user);
void register_push_button_class(UserState& user);
void register_static_class(UserState& user);

}  // namespace zv
