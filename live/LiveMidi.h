#pragma once

// umbravox-live's MIDI: which controller moves which parameter, as the README documents it, and
// the text forms the command line and the state file give it in.

#include <string>

namespace umbra {
class IEffectBase;
class IEffectJack;
} // namespace umbra

namespace umbra::live {

// The default map (modulation wheel Haunt, foot controller Freeze, volume Output, expression
// Mix, effect control 1 Whisper, sustain pedal holding Freeze at 100), the hold, and the
// factory presets that Program Change 0 to 9 recall.
void SetUpMidi(IEffectJack& plug);

// A controller's target by its text: a parameter's name, "hold" or "none". -3 when unknown.
int ParseControllerTarget(const IEffectBase& plug, const std::string& text);
std::string ControllerTargetName(const IEffectBase& plug, int target);
// A controller number 0 to 127 in plain digits, or -1.
int ParseControllerNumber(const std::string& text);

// "NUMBER=PARAMETER" from --cc. Throws cli::UsageError when it is not one.
void ApplyControllerSetting(IEffectJack& plug, const std::string& assignment);

} // namespace umbra::live
