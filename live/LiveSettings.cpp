#include "LiveSettings.h"

#include <cstring>
#include <vector>

#include "CliSupport.h"
#include "Umbravox.h"
#include "UmbravoxTabLabels.h"
#include "WhisperModeButton.h"

namespace umbra::live {

namespace {

// The editor's label for each value of an enumerated parameter, in index order, or none.
std::vector<const char*> EditorLabels(int paramIdx)
{
  switch (paramIdx)
  {
    case kOctave: return kOctaveTabLabels;
    case kInterval: return kIntervalTabLabels;
    case kWhisperMode: return {WhisperModeButton::LabelFor(0.0), WhisperModeButton::LabelFor(1.0)};
    default: return {};
  }
}

// "50%", "50 %", "-20cents": the number with the unit the editor shows after it taken off.
std::string WithoutUnit(const std::string& value, const char* unit)
{
  const size_t length = std::strlen(unit);
  if (length == 0 || value.size() <= length || value.compare(value.size() - length, length, unit) != 0)
    return value;
  std::string number = value.substr(0, value.size() - length);
  if (!number.empty() && number.back() == ' ')
    number.pop_back();
  return number;
}

} // namespace

void ApplyLiveSetting(IEffectBase& plug, const std::string& assignment)
{
  const size_t equals = assignment.find('=');
  const int paramIdx = equals == std::string::npos ? -1 : cli::FindParamByName(plug, assignment.substr(0, equals));
  if (paramIdx < 0)
    return cli::ApplySetting(plug, assignment); // which says what is wrong
  const std::string name = assignment.substr(0, equals);
  const std::string value = assignment.substr(equals + 1);
  // The editor's labels match in their own letter case: "m2" is a minor second, "M2" a major.
  const std::vector<const char*> labels = EditorLabels(paramIdx);
  for (size_t i = 0; i < labels.size(); ++i)
    if (value == labels[i])
      return cli::ApplySetting(plug, name + "=#" + std::to_string(i));
  cli::ApplySetting(plug, name + "=" + WithoutUnit(value, plug.GetParam(paramIdx)->GetLabel()));
}

} // namespace umbra::live
