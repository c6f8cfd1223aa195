#pragma once

// --set as umbravox-live takes it: everything the umbravox tool's --set takes, and the labels the
// editor shows besides (an interval tab's "P5", an octave tab's "+1", the whisper button's
// "Ghost", a value with its unit as "50%" or "-20 cents").

#include <string>

namespace umbra {
class IEffectBase;
} // namespace umbra

namespace umbra::live {

// Sets a parameter from "NAME=VALUE"; throws cli::UsageError when it cannot.
void ApplyLiveSetting(IEffectBase& plug, const std::string& assignment);

} // namespace umbra::live
