// "umbravox params" and "umbravox presets": the parameter table and the factory presets.
#include <cstdio>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
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

int RunParams(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::puts("usage: umbravox params\n\n"
              "Prints every parameter: its index (the host's parameter ID), name, minimum,\n"
              "maximum, default, and the value a new instance starts with (the \"Init\" preset).");
    return 0;
  }
  RequireNoArguments("params", args);

  const std::unique_ptr<Umbravox> plug(MakePlug());
  std::printf("%-5s %-14s %8s %8s %8s  %s\n", "Index", "Name", "Min", "Max", "Default", "Value");
  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam& param = *plug->GetParam(i);
    std::printf("%5d %-14s %8s %8s %8s  %s\n", i, param.GetName(),
                Number(param, param.GetMin()).c_str(), Number(param, param.GetMax()).c_str(),
                Number(param, param.GetDefault()).c_str(), param.GetDisplayWithLabel().c_str());
  }
  return 0;
}

int RunPresets(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::puts("usage: umbravox presets\n\n"
              "Prints the factory presets in the order a host lists them, each with every\n"
              "parameter's value as the plug-in displays it.");
    return 0;
  }
  RequireNoArguments("presets", args);

  const std::unique_ptr<Umbravox> plug(MakePlug());
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
