// The player's own profile: the names and rules the platform uses on its behalf.
#pragma once
#include "base/app_profile.h"

namespace zv {

AppProfile zorvane_profile();

}  // namespace zv
