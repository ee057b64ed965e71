// The title a listener knows a track by when its tags give none: its file name.
#pragma once
#include <string>

namespace zv {

// "/music/Simon & Garfunkel.mp3" -> "Simon & Garfunkel": the name without folder or extension
// (a name whose only dot is its first character keeps it).
std::string file_title(const std::string& path);

}  // namespace zv
