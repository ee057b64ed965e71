// PLACEHOLDER: replaced by the static control.
#include "controls/builtin_controls.h"
namespace zv {
void register_static_class(UserState&) {}
}  // namespace zv
