// umbravox-live: Umbra Vox as a JACK client of its own, with its editor in a window, for playing
// and singing live without a host.
#include <unistd.h>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CliSupport.h"
#include "ICanvasFactory.h"
#include "LiveMidi.h"
#include "LiveOptions.h"
#include "LiveSession.h"
#include "LiveSettings.h"
#include "LiveSignals.h"
#include "LiveState.h"
#include "LiveWatch.h"
#include "LiveWindow.h"
#include "Umbravox.h"
#include "UmbravoxRelease.h"
#include "UmbravoxResources.h"

using namespace umbra;
using live::Say;

namespace {

// What a lost X connection still needs: Xlib ends the process once its handler returns, so the
// handler saves and leaves the graph itself.
struct LostDisplayRescue {
  Umbravox* plug = nullptr;
  live::Watch* watch = nullptr;
};
LostDisplayRescue gRescue;

int OnDisplayLost(Display*)
{
  Say("the connection to the X display was lost");
  if (gRescue.plug && gRescue.watch)
  {
    gRescue.plug->HostClose();
    gRescue.watch->Save();
  }
  std::fflush(stderr);
  _exit(1);
}

void RunHeadless(Umbravox& plug, live::Watch& watch)
{
  while (!watch.ShouldStop())
  {
    std::this_thread::sleep_for(IEffectAPIBase::kTimerInterval);
    plug.OnTimer();
    watch.Tick();
  }
}

int Run(const live::LiveOptions& options)
{
  ui::SetDefaultPlatform(ui::EPlatform::kX11);
  live::BlockStopSignals(true);
  const std::unique_ptr<Umbravox> plug(MakePlug());
  plug->SetDryUndelayed(!options.aligned);
  plug->SetLatencyOnPorts(options.aligned);

  // Said before the client goes live, so that a broken install never joins the graph.
  if (!options.noUI)
    if (const std::string missing = MissingEditorResources(); !missing.empty())
      throw cli::UsageError(missing + " (--no-ui runs without them)");

  // In a session, the session manager names the client and the state's place.
  const std::unique_ptr<live::SessionClient> session = live::SessionClient::FromEnvironment(!options.noUI);
  std::string clientName = options.clientName;
  if (session)
  {
    if (!session->WaitForOpen(live::StopSignalPending))
      return 0;
    clientName = session->ClientName();
  }

  std::string error;
  if (!plug->HostOpen(clientName, error))
  {
    if (session)
      session->ReplyOpen(false, error);
    throw cli::UsageError(error);
  }

  live::SetUpMidi(*plug);
  // The state is the client's the server named ("Umbra Vox-01" beside a running "Umbra Vox"),
  // restored before the client goes live; the command line's preset and settings go over it.
  const std::string statePath = session ? session->StatePath() : live::StateFilePath(plug->ClientName());
  if (statePath.empty())
    Say("no HOME or XDG_CONFIG_HOME and no home folder: the settings will not be kept");
  else
    live::RemoveStaleTemporaries(statePath);
  live::Watch watch(*plug, options, statePath, session.get());
  if (!options.fresh && !statePath.empty() &&
      live::LoadState(*plug, statePath, watch.Window()) == live::LoadResult::kDamaged)
    Say("ignoring the damaged state file '" + statePath + "'");
  if (options.preset)
    cli::RecallPreset(*plug, *options.preset);
  for (const std::string& setting : options.settings)
    live::ApplyLiveSetting(*plug, setting);
  for (const std::string& controller : options.controllers)
    live::ApplyControllerSetting(*plug, controller);

  if (!plug->HostActivate(error))
  {
    if (session)
      session->ReplyOpen(false, error);
    throw cli::UsageError(error);
  }
  if (session)
    session->ReplyOpen(true, "open as \"" + plug->ClientName() + "\"");
  if (options.connect && !plug->HostConnectPhysical(error))
    Say(error);
  gRescue = {plug.get(), &watch};
  XSetIOErrorHandler(OnDisplayLost);
  live::HandleStopSignals();

  if (options.noUI)
    RunHeadless(*plug, watch);
  else if (!live::RunWindow(*plug, watch, error))
  {
    plug->HostClose();
    throw cli::UsageError(error + " (--no-ui runs without a window)");
  }

  plug->HostClose();
  gRescue = {};
  if (options.verbose && plug->XrunCount() > 0)
    Say("xruns in all: " + std::to_string(plug->XrunCount()));
  return watch.Save() ? 0 : cli::kExitError;
}

} // namespace

int main(int argc, char** argv)
{
  try
  {
    const live::LiveOptions options = live::ParseLiveOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help)
    {
      std::fputs(live::kLiveHelp, stdout);
      return 0;
    }
    if (options.version)
    {
      std::printf("umbravox-live %s\n", umbra::kUmbravoxVersion);
      return 0;
    }
    // Without a window there is no About popup to show what the update check found.
    if (options.noUI)
      setenv("UMBRAVOX_NO_UPDATE_CHECK", "1", 1);
    return Run(options);
  }
  catch (const std::exception& error)
  {
    Say(error.what());
    return cli::kExitError;
  }
}
