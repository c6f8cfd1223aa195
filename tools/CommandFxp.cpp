// "umbravox fxp save" and "umbravox fxp show": single presets as FXP program files.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kFxpUsage =
  "usage: umbravox fxp save OUT.fxp [--preset NAME] [--set NAME=VALUE]...\n"
  "       umbravox fxp show FILE.fxp\n";

const char* const kSaveHelp =
  "usage: umbravox fxp save OUT.fxp [--preset NAME] [--set NAME=VALUE]...\n"
  "\n"
  "Writes a preset file. It starts from a new instance (the \"Init\" preset), recalls the\n"
  "factory preset NAME if given, then applies each --set in order.\n"
  "\n"
  "  --preset NAME     a factory preset, by its exact name (see 'umbravox presets')\n"
  "  --set NAME=VALUE  a parameter, by its exact name (see 'umbravox params'); VALUE is one of\n"
  "                    its display texts (Octave=+1, Interval=Tritone), a whole index for\n"
  "                    Octave, Interval and Whisper Mode, or a number in the parameter's units\n"
  "                    within its range (Haunt=80, Fine=-12). Quote names with blanks:\n"
  "                    --set \"Whisper Mode=Ghosts\"\n";

const char* const kShowHelp =
  "usage: umbravox fxp show FILE.fxp\n"
  "\n"
  "Loads a preset file into a new instance and prints its program name and every parameter's\n"
  "value. A file that is not an Umbravox preset is refused.\n";

std::string NextValue(const std::vector<std::string>& args, size_t& i, const std::string& option)
{
  if (i + 1 >= args.size())
    throw UsageError(option + " needs a value");
  return args[++i];
}

int RunSave(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kSaveHelp, stdout);
    return 0;
  }

  std::string outPath;
  std::string presetName;
  bool presetGiven = false;
  std::vector<std::string> settings;
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& arg = args[i];
    if (arg == "--preset")
    {
      if (presetGiven)
        throw UsageError("--preset given twice");
      presetName = NextValue(args, i, arg);
      presetGiven = true;
    }
    else if (arg == "--set")
      settings.push_back(NextValue(args, i, arg));
    else if (arg.rfind("--", 0) == 0)
      throw UsageError("unknown option '" + arg + "' for 'fxp save'");
    else if (outPath.empty())
      outPath = arg;
    else
      throw UsageError("'fxp save' takes one output file, got '" + arg + "' too");
  }
  if (outPath.empty())
    throw UsageError("'fxp save' needs an output file (try 'umbravox fxp save --help')");

  const std::unique_ptr<Umbravox> plug(MakePlug());
  if (presetGiven && !plug->RestorePreset(presetName.c_str()))
    throw UsageError("unknown preset '" + presetName + "' (see 'umbravox presets')");
  for (const std::string& setting : settings)
    ApplySetting(*plug, setting);

  WriteFileAtomically(outPath, [&](const std::string& temporary) {
    return plug->SavePresetAsFXP(temporary.c_str());
  });
  std::printf("wrote %s (%s)\n", outPath.c_str(), plug->GetPresetName(plug->CurrentPresetIndex()));
  return 0;
}

int RunShow(const std::vector<std::string>& args)
{
  if (WantsHelp(args))
  {
    std::fputs(kShowHelp, stdout);
    return 0;
  }
  if (args.size() != 1)
    throw UsageError("'fxp show' takes exactly one file (try 'umbravox fxp show --help')");
  const std::string& path = args.front();

  // Tell an unreadable file from one that is not ours.
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    throw UsageError("cannot read '" + path + "': " + std::strerror(errno));
  std::fclose(file);

  const std::unique_ptr<Umbravox> plug(MakePlug());
  if (!plug->LoadPresetFromFXP(path.c_str()))
    throw UsageError("'" + path + "' is not a usable Umbravox preset file");

  std::printf("Program: %s\n", plug->GetPresetName(plug->CurrentPresetIndex()));
  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam& param = *plug->GetParam(i);
    std::printf("  %-13s %s\n", param.GetName(), param.GetDisplayWithLabel().c_str());
  }
  return 0;
}

} // namespace

int RunFxp(const std::vector<std::string>& args)
{
  if (args.empty())
    throw UsageError("'fxp' needs 'save' or 'show' (try 'umbravox fxp --help')");
  const std::string& sub = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (sub == "--help" || sub == "-h")
  {
    std::fputs(kFxpUsage, stdout);
    return 0;
  }
  if (sub == "save")
    return RunSave(rest);
  if (sub == "show")
    return RunShow(rest);
  throw UsageError("unknown 'fxp' command '" + sub + "' (expected 'save' or 'show')");
}

} // namespace umbra::cli
