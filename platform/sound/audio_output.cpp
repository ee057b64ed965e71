#include "sound/audio_output.h"

namespace zv {

AudioOutput::~AudioOutput() = default;

}  // namespace zv
