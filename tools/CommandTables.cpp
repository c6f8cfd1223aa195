// "umbravox params" and "umbravox presets": the parameter table and the factory presets.
#include <cstdio>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "Listing.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

std::string Number(const IParam& param, double value)
{
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", param.GetDisplayPrecision(), value);
  return text;
}

void RequireNoArguments(const char* command, const std::vector<std::string>& args)
{
  if (!args.empty() && args.front().size() > 1 && args.front()[0] == '-')
    UnknownOption(args.front(), command);
  if (!args.empty())
    throw UsageError(std::string("'") + command + "' takes no arguments, got '" + args.front() + "'");
}

} // namespace

bool WantsHelp(const std::vector<std::string>& args)
{
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h")
      return true;
  return false;
}

namespace {

// A parameter's value as it is typed: the display text of an enumerated one, else the number.
std::string ValueText(const IParam& param, double value)
{
  if (const char* text = param.GetDisplayText(value); text && *text)
    return text;
  return Number(param, value);
}

std::string Unit(const IParam& param)
{
  const std::string label = param.GetLabel();
  return label.empty() ? "-" : label;
}

} // namespace

int RunParams(const std::vector<std::string>& arguments)
{
  if (WantsHelp(arguments))
  {
    std::puts("usage: umbravox params [--format tsv|json]\n\n"
              "Prints every parameter: its index (the host's parameter ID), name, unit, range,\n"
              "its own default (what a host's reset gives), and the value a new instance starts\n"
              "with, which comes from the \"Init\" preset. Enumerated parameters show their texts;\n"
              "the texts of each are listed below the table. --format tsv or json prints the same\n"
              "for programs: numbers at full precision, an enumerated one as its text's index.");
    return 0;
  }
  std::vector<std::string> args = arguments;
  const ListFormat format = TakeListFormat(args);
  RequireNoArguments("params", args);

  const std::unique_ptr<Umbravox> plug(MakePlug());
  if (format != ListFormat::kText)
  {
    PrintParameterTable(*plug, format);
    return 0;
  }
  std::printf("%5s  %-13s %-6s %-20s %-9s %s\n", "Index", "Name", "Unit", "Range", "Default",
              "Init preset");
  std::string enumerations;
  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam& param = *plug->GetParam(i);
    std::string range = ValueText(param, param.GetMin()) + " to " + ValueText(param, param.GetMax());
    if (param.NDisplayTexts() > 0)
    {
      range = std::to_string(param.NDisplayTexts()) + " texts, see below";
      enumerations += std::string("  ") + param.GetName() + ":";
      for (int t = 0; t < param.NDisplayTexts(); ++t)
        enumerations += std::string(t ? ", " : " ") + param.GetDisplayTextAtIdx(t);
      enumerations += "\n";
    }
    std::printf("%5d  %-13s %-6s %-20s %-9s %s\n", i, param.GetName(), Unit(param).c_str(),
                range.c_str(), ValueText(param, param.GetDefault()).c_str(),
                ValueText(param, param.Value()).c_str());
  }
  std::printf("\nDefault is the parameter's own default, what a host's reset gives; \"Init preset\" is\n"
              "the value a new instance starts with. Enumerated parameters take one of their texts\n"
              "(a number means the text it equals: Octave=1 is +1) or #N for the Nth, from #0:\n%s",
              enumerations.c_str());
  return 0;
}

int RunPresets(const std::vector<std::string>& arguments)
{
  if (WantsHelp(arguments))
  {
    std::puts("usage: umbravox presets [--format tsv|json]\n\n"
              "Prints the factory presets in the order a host lists them, each with every\n"
              "parameter's value as the plug-in displays it. '--preset N' recalls preset N.\n"
              "--format tsv (one row per preset and parameter) or json prints the values at\n"
              "full precision for programs.");
    return 0;
  }
  std::vector<std::string> args = arguments;
  const ListFormat format = TakeListFormat(args);
  RequireNoArguments("presets", args);

  const std::unique_ptr<Umbravox> plug(MakePlug());
  if (format != ListFormat::kText)
  {
    if (format == ListFormat::kTsv)
      std::printf("preset\tname\tparameter\tvalue\tdisplay\n");
    else
      std::printf("[");
    for (int p = 0; p < plug->PresetCount(); ++p)
    {
      if (!plug->RestorePreset(p))
        throw UsageError("factory preset " + std::to_string(p) + " cannot be recalled");
      if (format == ListFormat::kJson)
        std::printf("%s\n  ", p ? "," : "");
      PrintValues(*plug, plug->GetPresetName(p), p, format);
    }
    if (format == ListFormat::kJson)
      std::printf("\n]\n");
    return 0;
  }
  constexpr int kColumns = 3;
  for (int p = 0; p < plug->PresetCount(); ++p)
  {
    if (!plug->RestorePreset(p))
      throw UsageError("factory preset " + std::to_string(p) + " cannot be recalled");
    std::printf("%s%2d  %s\n", p ? "\n" : "", p, plug->GetPresetName(p));
    for (int i = 0; i < plug->NParams(); ++i)
    {
      const IParam& param = *plug->GetParam(i);
      const bool endOfRow = (i % kColumns == kColumns - 1) || i == plug->NParams() - 1;
      if (endOfRow)
        std::printf("    %-13s %s\n", param.GetName(), param.GetDisplayWithLabel().c_str());
      else
        std::printf("    %-13s %-12s", param.GetName(), param.GetDisplayWithLabel().c_str());
    }
  }
  return 0;
}

} // namespace umbra::cli
