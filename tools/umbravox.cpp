// umbravox: the command-line face of the plug-in. Each subcommand builds a plug-in instance the
// way a host would and works on it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"

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
  "  render IN OUT [--preset NAME | --fxp FILE] [--set NAME=VALUE]...\n"
  "         [--block FRAMES] [--tail SECONDS|auto] [--raw] [--quiet]\n"
  "                         play a sound file through the plug-in into another\n"
  "  demo [DIR]             render a made-up phrase through every factory preset\n"
  "  screenshot --example OUT.png [--scale S] [--frames N]\n"
  "                         draw the example editor without a window into a PNG\n"
  "  ui --example [--frames N]\n"
  "                         open the example editor in an X11 window, with a test tone\n"
  "\n"
  "'umbravox <command> --help' tells more about a command.\n";

} // namespace

int main(int argc, char** argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  try
  {
    if (args.empty())
    {
      std::fputs(kUsage, stderr);
      return cli::kExitError;
    }
    const std::string command = args.front();
    args.erase(args.begin());

    if (command == "--help" || command == "-h" || command == "help")
    {
      std::fputs(kUsage, stdout);
      return 0;
    }
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
    throw cli::UsageError("unknown command '" + command + "' (try 'umbravox --help')");
  }
  catch (const cli::UsageError& error)
  {
    std::fprintf(stderr, "umbravox: %s\n", error.what());
    return cli::kExitError;
  }
  catch (const std::exception& error)
  {
    std::fprintf(stderr, "umbravox: %s\n", error.what());
    return cli::kExitError;
  }
}
