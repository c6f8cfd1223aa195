#include "CliSupport.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "IEffectBase.h"

namespace umbra::cli {

int FindParamByName(const IEffectBase& plug, const std::string& name)
{
  for (int i = 0; i < plug.NParams(); ++i)
    if (name == plug.GetParam(i)->GetName())
      return i;
  return -1;
}

namespace {

bool ParseWhole(const std::string& text, long long& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && end == last && first != last;
}

bool ParseDecimal(const std::string& text, double& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  return ec == std::errc() && end == last && first != last && std::isfinite(value);
}

std::string FormatNumber(double value, int precision)
{
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", precision, value);
  return text;
}

} // namespace

double ParseParamValue(const IEffectBase& plug, int paramIdx, const std::string& text)
{
  const IParam& param = *plug.GetParam(paramIdx);
  const std::string name = param.GetName();

  double value = 0.0;
  if (param.MapDisplayText(text.c_str(), &value))
    return value;

  if (param.Type() == IParam::kTypeEnum || param.Type() == IParam::kTypeBool)
  {
    long long index = 0;
    const int count = static_cast<int>(param.GetMax()) + 1;
    if (!ParseWhole(text, index) || index < 0 || index >= count)
    {
      std::string choices;
      for (int i = 0; i < param.NDisplayTexts(); ++i)
        choices += (i ? ", " : "") + std::string(param.GetDisplayTextAtIdx(i));
      throw UsageError("invalid value '" + text + "' for " + name + ": expected one of " +
                       choices + " or an index 0 to " + std::to_string(count - 1));
    }
    return static_cast<double>(index);
  }

  const int precision = param.GetDisplayPrecision();
  const std::string range =
    FormatNumber(param.GetMin(), precision) + " to " + FormatNumber(param.GetMax(), precision);
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

std::string TemporaryPathBeside(const std::string& path)
{
  std::string pattern = path + ".tmp.XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0)
    throw UsageError("cannot write '" + path + "': " + std::strerror(errno));
  close(fd);
  return pattern;
}

void CommitTemporary(const std::string& temporary, const std::string& path)
{
  // mkstemp makes the file private; give it the permissions any new file of the user gets.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temporary.c_str(), 0666 & ~mask);
  if (std::rename(temporary.c_str(), path.c_str()) != 0)
    throw UsageError("cannot write '" + path + "'");
}

void DiscardTemporary(const std::string& temporary)
{
  std::remove(temporary.c_str());
}

} // namespace umbra::cli
