#include "LiveMidi.h"

#include <charconv>

#include "CliSupport.h"
#include "Umbravox.h"

namespace umbra::live {

namespace {

constexpr int kUnknownTarget = -3;

} // namespace

void SetUpMidi(IEffectJack& plug)
{
  JackMidiMap& midi = plug.Midi();
  midi.MapController(1, kHaunt);
  midi.MapController(4, kFreeze);
  midi.MapController(7, kOutput);
  midi.MapController(11, kMix);
  midi.MapController(12, kWhisper);
  midi.MapController(64, JackMidiMap::kHold);
  midi.SetHold(kFreeze, 100.0);
  midi.CapturePresets(plug);
}

int ParseControllerTarget(const IEffectBase& plug, const std::string& text)
{
  if (cli::SameName(text, "none"))
    return JackMidiMap::kUnmapped;
  if (cli::SameName(text, "hold"))
    return JackMidiMap::kHold;
  const int paramIdx = cli::FindParamByName(plug, text);
  return paramIdx >= 0 ? paramIdx : kUnknownTarget;
}

std::string ControllerTargetName(const IEffectBase& plug, int target)
{
  if (target == JackMidiMap::kHold)
    return "hold";
  if (target >= 0 && target < plug.NParams())
    return plug.GetParam(target)->GetName();
  return "none";
}

int ParseControllerNumber(const std::string& text)
{
  int number = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  const bool whole = ec == std::errc() && end == text.data() + text.size() && !text.empty();
  return whole && number >= 0 && number < JackMidiMap::kControllers ? number : -1;
}

void ApplyControllerSetting(IEffectJack& plug, const std::string& assignment)
{
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos)
    throw cli::UsageError("--cc expects NUMBER=PARAMETER, got '" + assignment + "'");
  const int cc = ParseControllerNumber(assignment.substr(0, equals));
  if (cc < 0)
    throw cli::UsageError("--cc: '" + assignment.substr(0, equals) + "' is no controller number (0 to 127)");
  const int target = ParseControllerTarget(plug, assignment.substr(equals + 1));
  if (target == kUnknownTarget)
    throw cli::UsageError("--cc: unknown parameter '" + assignment.substr(equals + 1) +
                          "' (a parameter from 'umbravox params', hold or none)");
  plug.Midi().MapController(cc, target);
}

} // namespace umbra::live
