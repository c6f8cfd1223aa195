// umbravox: the command-line face of the plug-in. Each subcommand builds a plug-in instance the
// way a host would and works on it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "Interrupts.h"
#include "StandardStreams.h"
#include "Umbravox.h"

using namespace umbra;

namespace {

const char* const kUsage =
  "usage: umbravox <command> [options]\n"
  "\n"
  "commands:\n"
  "  params                 the parameters with their ranges, defaults and current values\n"
  "  presets                the factory presets with every parameter's value\n"
  "  fxp save OUT.fxp [--preset NAME] [--set NAME=VALUE]...\n"
  "                         write a preset file\n"
  "  fxp show FILE.fxp      read a preset file and show what it holds\n"
  "  render IN OUT [--preset NAME | --fxp FILE] [--set NAME=VALUE]... [--type TYPE]\n"
  "         [--bits BITS] [--block FRAMES] [--tail SECONDS|auto] [--raw] [--quiet]\n"
  "  render --out-dir DIR IN... [options as above]\n"
  "                         play sound files through the plug-in into others\n"
  "  demo [DIR]             render a made-up phrase through every factory preset\n"
  "  screenshot OUT.png [--preset NAME] [--set NAME=VALUE]... [--audio FILE]\n"
  "             [--frames N] [--scale S] [--show about|presets]\n"
  "                         draw the editor without a window into a PNG\n"
  "  ui [--preset NAME] [--set NAME=VALUE]... [--audio FILE] [--show about|presets]\n"
  "                         open the editor in an X11 window\n"
  "\n"
  "'umbravox <command> --help' tells more about a command; 'umbravox --version' tells the\n"
  "version.\n";

} // namespace

namespace {

int RunCommand(std::vector<std::string> args)
{
  try
  {
    if (args.empty())
    {
      std::fputs(kUsage, stderr);
      return cli::kExitError;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    args = cli::ExpandOptionValues(args);

    if (command == "--help" || command == "-h" || command == "help")
    {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (command == "--version" || command == "-V")
    {
      setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
      const std::unique_ptr<Umbravox> plug(MakePlug());
      std::printf("umbravox %s\n", plug->GetPluginVersionStr().c_str() + 1);
      return 0;
    }
    // Only the window is an editor the user reads: the other commands make plug-ins (with their
    // editor installed) to render, list or draw, and must neither wait on the network nor vary
    // with what it answers.
    if (command != "ui")
      setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
    // The window writes nothing, so the default ending is right for it.
    if (command != "ui")
      cli::InstallInterruptCleanup();

    if (command == "params")
      return cli::RunParams(args);
    if (command == "presets")
      return cli::RunPresets(args);
    if (command == "fxp")
      return cli::RunFxp(args);
    if (command == "render")
      return cli::RunRender(args);
    if (command == "demo")
      return cli::RunDemo(args);
    if (command == "screenshot")
      return cli::RunScreenshot(args);
    if (command == "ui")
      return cli::RunUI(args);
    if (command.size() > 1 && command[0] == '-')
      throw cli::UsageError("unknown option '" + command + "' (try 'umbravox --help')");
    throw cli::UsageError("unknown command '" + command + "' (try 'umbravox --help')");
  }
  catch (const cli::UsageError& error)
  {
    std::fprintf(stderr, "umbravox: %s\n", cli::Printable(error.what()).c_str());
    return cli::kExitError;
  }
  catch (const std::exception& error)
  {
    std::fprintf(stderr, "umbravox: %s\n", cli::Printable(error.what()).c_str());
    return cli::kExitError;
  }
}

} // namespace

int main(int argc, char** argv)
{
  cli::GuardStandardStreams();
  const int status = RunCommand(std::vector<std::string>(argv + 1, argv + argc));
  // A listing cut short by a full disk or a closed pipe must not pass for a whole one.
  return cli::FinishStandardOutput(status);
}
