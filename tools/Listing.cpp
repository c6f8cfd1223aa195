#include "Listing.h"

#include <cmath>
#include <cstdio>

#include "CliSupport.h"
#include "IEffectBase.h"

namespace umbra::cli {

ListFormat TakeListFormat(std::vector<std::string>& args)
{
  ListFormat format = ListFormat::kText;
  bool given = false;
  for (size_t i = 0; i < args.size();)
  {
    if (args[i] != "--format")
    {
      ++i;
      continue;
    }
    if (given)
      throw UsageError("--format given twice");
    size_t at = i;
    const std::string value = NextValue(args, at, "--format");
    if (value == "tsv")
      format = ListFormat::kTsv;
    else if (value == "json")
      format = ListFormat::kJson;
    else
      throw UsageError("--format expects tsv or json, got '" + value + "'");
    given = true;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
  }
  return format;
}

std::string FullPrecision(double value)
{
  if (!std::isfinite(value))
    return "null";
  char text[40];
  std::snprintf(text, sizeof(text), "%.17g", value);
  return text;
}

std::string JsonString(const std::string& text)
{
  std::string quoted = "\"";
  for (const char c : text)
  {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\')
      quoted += std::string("\\") + c;
    else if (byte < 0x20 || byte == 0x7F)
    {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04X", byte);
      quoted += escaped;
    }
    else
      quoted += c;
  }
  return quoted + "\"";
}

namespace {

// A TSV field: tabs and line breaks would split it, so they are escaped like every control
// character.
std::string Field(const std::string& text)
{
  return Printable(text);
}

} // namespace

void PrintParameterTable(const IEffectBase& plug, ListFormat format)
{
  if (format == ListFormat::kTsv)
    std::printf("index\tname\tunit\tmin\tmax\tdefault\tvalue\ttexts\n");
  else
    std::printf("[");
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam& param = *plug.GetParam(i);
    std::vector<std::string> texts;
    for (int t = 0; t < param.NDisplayTexts(); ++t)
      texts.emplace_back(param.GetDisplayTextAtIdx(t));
    if (format == ListFormat::kTsv)
    {
      std::string joined;
      for (const std::string& text : texts)
        joined += (joined.empty() ? "" : "|") + Field(text);
      std::printf("%d\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", i, Field(param.GetName()).c_str(),
                  Field(param.GetLabel()).c_str(), FullPrecision(param.GetMin()).c_str(),
                  FullPrecision(param.GetMax()).c_str(), FullPrecision(param.GetDefault()).c_str(),
                  FullPrecision(param.Value()).c_str(), joined.c_str());
      continue;
    }
    std::string list;
    for (const std::string& text : texts)
      list += (list.empty() ? "" : ", ") + JsonString(text);
    std::printf("%s\n  {\"index\": %d, \"name\": %s, \"unit\": %s, \"min\": %s, \"max\": %s, "
                "\"default\": %s, \"value\": %s, \"texts\": [%s]}",
                i ? "," : "", i, JsonString(param.GetName()).c_str(), JsonString(param.GetLabel()).c_str(),
                FullPrecision(param.GetMin()).c_str(), FullPrecision(param.GetMax()).c_str(),
                FullPrecision(param.GetDefault()).c_str(), FullPrecision(param.Value()).c_str(),
                list.c_str());
  }
  if (format == ListFormat::kJson)
    std::printf("\n]\n");
}

void PrintValues(const IEffectBase& plug, const std::string& label, int number, ListFormat format)
{
  const std::string numberField = number >= 0 ? std::to_string(number) + "\t" : "";
  if (format == ListFormat::kJson)
    std::printf("{%s\"name\": %s, \"values\": {",
                number >= 0 ? ("\"index\": " + std::to_string(number) + ", ").c_str() : "",
                JsonString(label).c_str());
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam& param = *plug.GetParam(i);
    if (format == ListFormat::kTsv)
      std::printf("%s%s\t%s\t%s\t%s\n", numberField.c_str(), Field(label).c_str(),
                  Field(param.GetName()).c_str(), FullPrecision(param.Value()).c_str(),
                  Field(param.GetDisplayWithLabel()).c_str());
    else
      std::printf("%s%s: %s", i ? ", " : "", JsonString(param.GetName()).c_str(),
                  FullPrecision(param.Value()).c_str());
  }
  if (format == ListFormat::kJson)
    std::printf("}}");
}

} // namespace umbra::cli
