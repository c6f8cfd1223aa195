#include "CliSupport.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "IEffectBase.h"

namespace umbra::cli {

namespace {

std::string FoldName(const std::string& name)
{
  std::string folded;
  for (char c : name)
    folded += (c == '-' || c == '_') ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool ParseWhole(const std::string& text, long long& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && end == last && first != last;
}

std::string FormatNumber(double value, int precision)
{
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", precision, value);
  return text;
}

} // namespace

bool ParseDecimal(const std::string& text, double& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  return ec == std::errc() && end == last && first != last && std::isfinite(value);
}

bool SameName(const std::string& a, const std::string& b)
{
  return FoldName(a) == FoldName(b);
}

int FindParamByName(const IEffectBase& plug, const std::string& name)
{
  for (int i = 0; i < plug.NParams(); ++i)
    if (SameName(name, plug.GetParam(i)->GetName()))
      return i;
  return -1;
}

double ParseParamValue(const IEffectBase& plug, int paramIdx, const std::string& text)
{
  const IParam& param = *plug.GetParam(paramIdx);
  const std::string name = param.GetName();

  if (param.Type() == IParam::kTypeEnum || param.Type() == IParam::kTypeBool)
  {
    const int count = static_cast<int>(param.GetMax()) + 1;
    // Display texts in any letter case, then numbers that equal one ("+1" is "1").
    double number = 0.0;
    const bool isNumber = ParseDecimal(text, number);
    for (int i = 0; i < param.NDisplayTexts(); ++i)
    {
      double value = 0.0;
      const std::string display = param.GetDisplayTextAtIdx(i, &value);
      double displayNumber = 0.0;
      if (SameName(text, display) || (isNumber && ParseDecimal(display, displayNumber) && displayNumber == number))
        return value;
    }
    long long index = 0;
    if (text.size() > 1 && text[0] == '#' && ParseWhole(text.substr(1), index) && index >= 0 && index < count)
      return static_cast<double>(index);

    std::string choices;
    for (int i = 0; i < param.NDisplayTexts(); ++i)
      choices += (i ? ", " : "") + std::string(param.GetDisplayTextAtIdx(i));
    throw UsageError("invalid value '" + text + "' for " + name + ": expected " +
                     (choices.empty() ? std::string() : "one of " + choices + ", or ") +
                     "an index #0 to #" + std::to_string(count - 1));
  }

  const int precision = param.GetDisplayPrecision();
  const std::string range =
    FormatNumber(param.GetMin(), precision) + " to " + FormatNumber(param.GetMax(), precision);
  double value = 0.0;
  if (!ParseDecimal(text, value))
    throw UsageError("invalid value '" + text + "' for " + name + ": expected a number from " +
                     range);
  if (value < param.GetMin() || value > param.GetMax())
    throw UsageError("value " + text + " for " + name + " is out of range " + range);
  return value;
}

void ApplySetting(IEffectBase& plug, const std::string& assignment)
{
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos)
    throw UsageError("--set expects NAME=VALUE, got '" + assignment + "'");
  const std::string name = assignment.substr(0, equals);
  const int paramIdx = FindParamByName(plug, name);
  if (paramIdx < 0)
    throw UsageError("unknown parameter '" + name + "' (see 'umbravox params')");
  plug.GetParam(paramIdx)->StoreValue(ParseParamValue(plug, paramIdx, assignment.substr(equals + 1)));
}

int FindPreset(const IEffectBase& plug, const std::string& text)
{
  long long number = 0;
  if (ParseWhole(text, number))
    return number >= 0 && number < plug.PresetCount() ? static_cast<int>(number) : -1;
  for (int p = 0; p < plug.PresetCount(); ++p)
    if (SameName(text, plug.GetPresetName(p)))
      return p;
  // The demo's file names count from 1: "01-Init", "02-Ghost-Choir".
  const size_t dash = text.find('-');
  if (dash != std::string::npos && ParseWhole(text.substr(0, dash), number))
  {
    const int p = FindPreset(plug, text.substr(dash + 1));
    if (p >= 0 && p + 1 == number)
      return p;
  }
  return -1;
}

void RecallPreset(IEffectBase& plug, const std::string& text)
{
  const int p = FindPreset(plug, text);
  if (p < 0 || !plug.RestorePreset(p))
    throw UsageError("unknown preset '" + text + "' (see 'umbravox presets')");
}

void UnknownOption(const std::string& option, const std::string& command)
{
  throw UsageError("unknown option '" + option + "' for '" + command + "' (try 'umbravox " +
                   command + " --help')");
}

std::string NextValue(const std::vector<std::string>& args, size_t& i, const std::string& option)
{
  if (i + 1 >= args.size())
    throw UsageError(option + " needs a value");
  return args[++i];
}

std::vector<std::string> ExpandOptionValues(const std::vector<std::string>& args)
{
  static const char* const kTakingValues[] = {"--preset", "--fxp", "--set", "--out-dir", "--type",
                                              "--bits", "--block", "--tail", "--gain", "--audio",
                                              "--show", "--frames", "--scale", "--format"};
  std::vector<std::string> expanded;
  bool optionsEnded = false;
  for (const std::string& arg : args)
  {
    if (optionsEnded)
    {
      expanded.push_back(arg.size() > 1 && arg[0] == '-' ? "./" + arg : arg);
      continue;
    }
    if (arg == "--")
    {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos)
    {
      const std::string name = arg.substr(0, equals);
      if (std::find(std::begin(kTakingValues), std::end(kTakingValues), name) != std::end(kTakingValues))
      {
        expanded.push_back(name);
        expanded.push_back(arg.substr(equals + 1));
        continue;
      }
    }
    expanded.push_back(arg);
  }
  return expanded;
}

std::string Printable(const std::string& text)
{
  std::string shown;
  for (const char c : text)
  {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n')
      shown += "\\n";
    else if (c == '\t')
      shown += "\\t";
    else if (c == '\r')
      shown += "\\r";
    else if (byte < 0x20 || byte == 0x7F)
    {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
      shown += escaped;
    }
    else
      shown += c;
  }
  return shown;
}

void RequireMonoOrStereo(const std::string& name, int nChannels)
{
  if (nChannels < 1 || nChannels > 2)
    throw UsageError("'" + name + "' has " + std::to_string(nChannels) +
                     " channels; only mono and stereo play through the plug-in");
}

} // namespace umbra::cli
