// "umbravox fxp save" and "umbravox fxp show": single presets as FXP program files.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "Listing.h"
#include "OutputFile.h"
#include "Umbravox.h"

namespace umbra::cli {

namespace {

const char* const kFxpUsage =
  "usage: umbravox fxp save OUT.fxp [--preset NAME] [--set NAME=VALUE]...\n"
  "       umbravox fxp show FILE.fxp [--format tsv|json]\n";

const char* const kSaveHelp =
  "usage: umbravox fxp save OUT.fxp [--preset NAME] [--set NAME=VALUE]...\n"
  "\n"
  "Writes a preset file. It starts from a new instance (the \"Init\" preset), recalls the\n"
  "factory preset NAME if given, then applies each --set in order.\n"
  "\n"
  "  --preset NAME     a factory preset by its name or its number in 'umbravox presets'\n"
  "                    (--preset 1, --preset ghost-choir)\n"
  "  --set NAME=VALUE  a parameter (see 'umbravox params'); VALUE is one of its display texts\n"
  "                    (Octave=+1, Interval=tritone; a number means the text it equals, so\n"
  "                    Octave=1 is +1), #N for Octave's, Interval's or Whisper Mode's index N,\n"
  "                    or a number in the parameter's units within its range (Haunt=80,\n"
  "                    Fine=-12). Names and texts in any letter case, dashes for blanks:\n"
  "                    --set whisper-mode=ghosts\n"
  "\n"
  "OUT may be '-' (standard output), a device or a FIFO; a file name's extension, if any,\n"
  "must be .fxp.\n";

const char* const kShowHelp =
  "usage: umbravox fxp show FILE.fxp [--format tsv|json]\n"
  "\n"
  "Loads a preset file into a new instance and prints its program name and every parameter's\n"
  "value (with --format tsv or json at full precision, for programs). A file that is not an\n"
  "Umbravox preset, or not a whole one, is refused.\n";

// A preset file written under a sound or picture name would only mislead.
void RequireFxpName(const std::string& path)
{
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension.empty())
    return; // a device, a FIFO, standard output, or a name of the user's choosing
  if (!SameName(extension, ".fxp"))
    throw UsageError("'" + path + "' does not end in .fxp: 'fxp save' writes preset files");
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
    else if (arg.size() > 1 && arg[0] == '-')
      UnknownOption(arg, "fxp save");
    else if (outPath.empty())
      outPath = arg;
    else
      throw UsageError("'fxp save' takes one output file, got '" + arg + "' too");
  }
  if (outPath.empty())
    throw UsageError("'fxp save' needs an output file (try 'umbravox fxp save --help')");

  RequireFxpName(outPath);
  OutputFile output(outPath);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  if (presetGiven)
    RecallPreset(*plug, presetName);
  for (const std::string& setting : settings)
    ApplySetting(*plug, setting);

  output.WriteByName([&](const std::string& path) { return plug->SavePresetAsFXP(path.c_str()); });
  // The file itself may be standard output: the summary goes where it does not mix in.
  std::fprintf(output.IsStandardOutput() ? stderr : stdout, "wrote %s (%s)\n",
               Printable(output.Name()).c_str(), Printable(plug->GetPresetName(plug->CurrentPresetIndex())).c_str());
  return 0;
}

int RunShow(const std::vector<std::string>& arguments)
{
  if (WantsHelp(arguments))
  {
    std::fputs(kShowHelp, stdout);
    return 0;
  }
  std::vector<std::string> args = arguments;
  const ListFormat format = TakeListFormat(args);
  if (!args.empty() && args.front().size() > 1 && args.front()[0] == '-')
    UnknownOption(args.front(), "fxp show");
  if (args.size() != 1)
    throw UsageError("'fxp show' takes exactly one file (try 'umbravox fxp show --help')");
  const std::string& path = args.front();

  const std::unique_ptr<Umbravox> plug(MakePlug());
  std::string why;
  if (!plug->LoadPresetFromFXP(path.c_str(), &why))
    throw UsageError("cannot load the preset file '" + path + "': " + why);

  if (format != ListFormat::kText)
  {
    if (format == ListFormat::kTsv)
      std::printf("program\tparameter\tvalue\tdisplay\n");
    PrintValues(*plug, plug->GetPresetName(plug->CurrentPresetIndex()), -1, format);
    if (format == ListFormat::kJson)
      std::printf("\n");
    return 0;
  }
  std::printf("Program: %s\n", Printable(plug->GetPresetName(plug->CurrentPresetIndex())).c_str());
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
