#include "LiveOptions.h"

#include "CliSupport.h"

namespace umbra::live {

const char* const kLiveHelp =
  "usage: umbravox-live [--preset NAME] [--set NAME=VALUE]... [--cc NUMBER=PARAMETER]...\n"
  "                     [--name NAME] [--connect] [--aligned] [--no-ui] [--fresh] [--verbose]\n"
  "\n"
  "Runs Umbra Vox as a JACK client with its editor in a window, until the window is closed\n"
  "(or, with --no-ui, until SIGINT, SIGTERM or SIGHUP). It needs a running JACK server\n"
  "(jackd2, or PipeWire's JACK) and never starts one; when the server goes, it waits for it to\n"
  "come back and joins it again. The last state is remembered in\n"
  "$XDG_CONFIG_HOME/umbravox/live.state (default ~/.config/umbravox/live.state), or\n"
  "live-NAME.state for a client JACK named otherwise.\n"
  "\n"
  "  --preset NAME     a factory preset, by its name or number (see 'umbravox presets')\n"
  "  --set NAME=VALUE  a parameter, after the preset (see 'umbravox params'), also as the\n"
  "                    editor labels it (Interval=P5, Mix=50%); repeatable\n"
  "  --cc NUMBER=PARAMETER\n"
  "                    MIDI controller NUMBER (0 to 127) moves PARAMETER, or holds Freeze at\n"
  "                    100 while pressed (hold), or does nothing (none); remembered; repeatable.\n"
  "                    By default 1 Haunt, 4 Freeze, 7 Output, 11 Mix, 12 Whisper, 64 hold;\n"
  "                    Program Change 0 to 9 recalls a factory preset\n"
  "  --name NAME       the JACK client's name (default \"Umbra Vox\")\n"
  "  --connect         wires the first two physical capture ports to in_1 and in_2 and out_1\n"
  "                    and out_2 to the first two physical playback ports\n"
  "  --aligned         delays the dry sound as much as the wet one and reports that latency\n"
  "                    on the ports, for use inside a delay-compensated graph (by default the\n"
  "                    dry sound leaves at once, so a singer hears it in time)\n"
  "  --no-ui           no window: runs headless until SIGINT, SIGTERM or SIGHUP\n"
  "  --fresh           starts from \"Init\" instead of the remembered state\n"
  "  --verbose         tells the sample rate, period and latency, and shows each xrun\n"
  "  --help, --version\n"
  "\n"
  "A build configured with an update service asks it once at start, for the About popup,\n"
  "whether a newer version is out (a build without one, the default, never asks);\n"
  "UMBRAVOX_NO_UPDATE_CHECK=1 in the environment turns the check off.\n";

LiveOptions ParseLiveOptions(const std::vector<std::string>& args)
{
  LiveOptions options;
  auto valueOf = [&](size_t& i) { return cli::NextValue(args, i, args[i]); };
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& arg = args[i];
    if (arg == "--preset")
    {
      if (options.preset)
        throw cli::UsageError("--preset given twice");
      options.preset = valueOf(i);
    }
    else if (arg == "--set")
      options.settings.push_back(valueOf(i));
    else if (arg == "--cc")
      options.controllers.push_back(valueOf(i));
    else if (arg == "--name")
    {
      options.clientName = valueOf(i);
      if (options.clientName.empty())
        throw cli::UsageError("--name needs a name");
    }
    else if (arg == "--connect")
      options.connect = true;
    else if (arg == "--aligned")
      options.aligned = true;
    else if (arg == "--no-ui")
      options.noUI = true;
    else if (arg == "--fresh")
      options.fresh = true;
    else if (arg == "--verbose" || arg == "-v")
      options.verbose = true;
    else if (arg == "--help" || arg == "-h")
      options.help = true;
    else if (arg == "--version")
      options.version = true;
    else
      throw cli::UsageError("unknown argument '" + arg + "' (try 'umbravox-live --help')");
  }
  return options;
}

} // namespace umbra::live
