// umbravox-live: Umbra Vox as a JACK client of its own, with its editor in a window, for playing
// and singing live without a host.
#include <signal.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cmath>
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
#include "LiveState.h"
#include "Controls/ILambdaControl.h"
#include "Platforms/ICanvasX11.h"
#include "PresetNameControl.h"
#include "Umbravox.h"
#include "UmbravoxRelease.h"
#include "UmbravoxResources.h"

using namespace umbra;

namespace {

volatile sig_atomic_t gStopRequested = 0;

void RequestStop(int)
{
  gStopRequested = 1;
}

void Say(const std::string& line)
{
  std::fprintf(stderr, "umbravox-live: %s\n", line.c_str());
}

// A closed terminal (SIGHUP) ends the program as Ctrl-C and SIGTERM do: saving first.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The stop signals are blocked while JACK starts its threads, so they inherit the mask and only
// the main thread, which handles them, ever sees one.
void BlockStopSignals(bool block)
{
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kStopSignals)
    sigaddset(&set, signal);
  pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void HandleStopSignals()
{
  struct sigaction action = {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  for (const int signal : kStopSignals)
    sigaction(signal, &action, nullptr);
  BlockStopSignals(false);
}

// A stop signal that came while they were blocked, and is delivered once they are handled.
bool StopSignalPending()
{
  sigset_t pending;
  sigpending(&pending);
  for (const int signal : kStopSignals)
    if (sigismember(&pending, signal))
      return true;
  return gStopRequested != 0;
}

// Writes the state, saying so when it cannot; false then.
// The window's size: as the state file gave it, then as the window had it when it closed.
live::WindowSize gWindowSize;

bool SaveStateTo(Umbravox& plug, const std::string& statePath)
{
  if (statePath.empty())
    return true;
  try
  {
    live::SaveState(plug, statePath, gWindowSize);
    return true;
  }
  catch (const cli::UsageError& saveError)
  {
    Say(saveError.what());
    return false;
  }
}

// What a lost X connection still needs: Xlib ends the process once its handler returns, so the
// handler saves and leaves the graph itself.
struct LostDisplayRescue {
  Umbravox* plug = nullptr;
  std::string statePath;
};
LostDisplayRescue gRescue;

int OnDisplayLost(Display*)
{
  Say("the connection to the X display was lost");
  if (gRescue.plug)
  {
    gRescue.plug->HostClose();
    SaveStateTo(*gRescue.plug, gRescue.statePath);
  }
  std::fflush(stderr);
  _exit(1);
}

// What the main loop watches besides the window: a stop signal; the server, which may go away
// and come back while the program waits with its settings; in --verbose the first cycle and the
// xruns.
class Watch {
public:
  Watch(Umbravox& plug, const live::LiveOptions& options, std::string statePath, live::SessionClient* session)
    : mPlug(plug), mVerbose(options.verbose), mAligned(options.aligned), mStatePath(std::move(statePath)),
      mSession(session)
  {
  }

  live::SessionClient* Session() const { return mSession; }
  // Whether a Program Change named a preset since the last call.
  bool TakePresetNamed()
  {
    const bool named = mPresetNamed;
    mPresetNamed = false;
    return named;
  }

  bool ShouldStop() const { return gStopRequested; }
  bool ServerGone() const { return mServerGone; }
  // The title the window should show now.
  std::string Title() const
  {
    return mServerGone ? mName + " (JACK server gone, waiting for it)" : mName;
  }

  // Run from the main loop a few times a second or more: true when the server went away or came
  // back since the last call.
  bool Tick()
  {
    Report();
    NameRecalledPreset();
    if (mSession)
    {
      mSession->Poll(0);
      if (mSession->TakeSaveRequest())
      {
        const bool saved = SaveStateTo(mPlug, mStatePath);
        mSession->ReplySave(saved, saved ? "saved" : "cannot write " + mStatePath);
      }
    }
    if (!mServerGone && !mPlug.ServerShutDown())
    {
      mPlug.RememberConnections();
      return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!mServerGone)
    {
      mServerGone = true;
      const std::string reason = mPlug.ShutdownReason();
      Say("the JACK server shut down" + (reason.empty() ? std::string() : " (" + reason + ")") +
          "; waiting for it to come back");
      // The settings are safe on disk while nothing runs.
      SaveStateTo(mPlug, mStatePath);
      mNextTry = now + kRetryInterval;
      return true;
    }
    if (now < mNextTry)
      return false;
    mNextTry = now + kRetryInterval;
    std::string error;
    // JACK's new threads must not take the stop signals either (see BlockStopSignals).
    BlockStopSignals(true);
    const bool reopened = mPlug.HostReopen(error) || mPlug.Client();
    BlockStopSignals(false);
    if (!reopened)
      return false;
    mServerGone = false;
    mToldStart = false;
    mName = mPlug.ClientName();
    Say("connected to the JACK server again");
    if (!error.empty())
      Say(error);
    return true;
  }

private:
  static constexpr auto kRetryInterval = std::chrono::seconds(1);

  // A Program Change set the preset's values at its frame; its name (in the editor and the
  // state) follows here.
  void NameRecalledPreset()
  {
    const int preset = mPlug.Midi().TakeRecalledPreset();
    if (preset < 0)
      return;
    mPlug.SetCurrentPresetIndex(preset);
    mPresetNamed = true;
  }

  void Report()
  {
    if (!mVerbose)
      return;
    if (!mToldStart && !mServerGone && mPlug.HasProcessed())
    {
      mToldStart = true;
      // The ports' latency is the dry path's; the wet path's is the plug-in's own.
      const int wet = mPlug.GetLatency();
      Say("\"" + mPlug.ClientName() + "\" running at " + std::to_string(static_cast<int>(mPlug.GetSampleRate())) +
          " Hz, " + std::to_string(mPlug.GetBlockSize()) + " frames a period, latency " +
          std::to_string(mAligned ? wet : 0) + " samples (wet " + std::to_string(wet) + "), from frame " +
          std::to_string(mPlug.FirstCycleFrame()));
    }
    // One line each, even when several came between two looks.
    for (const long xruns = mPlug.XrunCount(); mXruns < xruns;)
      Say("xrun " + std::to_string(++mXruns));
  }

  Umbravox& mPlug;
  bool mVerbose;
  bool mAligned;
  std::string mStatePath;
  live::SessionClient* mSession;
  std::string mName = mPlug.ClientName();
  bool mServerGone = false;
  bool mPresetNamed = false;
  std::chrono::steady_clock::time_point mNextTry;
  bool mToldStart = false;
  long mXruns = 0;
};

void RunHeadless(Umbravox& plug, Watch& watch)
{
  while (!watch.ShouldStop())
  {
    std::this_thread::sleep_for(IEffectAPIBase::kTimerInterval);
    plug.OnTimer();
    watch.Tick();
  }
}

// Drawn over the editor while the server is gone: the settings stay and can still be changed,
// but nothing is heard.
ui::IControl* AttachServerGoneVeil(ui::ICanvas& canvas)
{
  auto* veil = new ui::ILambdaControl(
    ui::IRECT(0.f, 0.f, static_cast<float>(canvas.Width()), static_cast<float>(canvas.Height())),
    [](ui::ILambdaControl*, ui::ICanvas& g, const ui::IRECT& r) {
      g.FillRect(ui::IColor(170, 0, 0, 0), r);
      const ui::IText big(40.f, ui::IColor(255, 235, 225, 255));
      const ui::IText small(22.f, ui::IColor(255, 200, 190, 225));
      g.DrawText(big, "The JACK server is gone", r.GetCentredInside(r.W(), 60.f).GetTranslated(0.f, -30.f));
      g.DrawText(small, "waiting for it to come back; the settings are kept", r.GetCentredInside(r.W(), 40.f).GetTranslated(0.f, 25.f));
    },
    1000, false, false, ui::kNoParameter, true);
  canvas.AttachControl(veil);
  veil->Hide(true);
  return veil;
}

// The editor in a top-level window titled with the client's name, driven as 'umbravox ui'
// drives it: the window's main loop pumps events and frames and runs the plug-in's 20 ms timer.
// False (with the reason) when no window could be opened.
bool RunWindow(Umbravox& plug, Watch& watch, std::string& error)
{
  const std::string title = watch.Title();
  auto make = plug.GetMakeGraphicsFunc();
  const live::WindowSize size = gWindowSize;
  plug.SetMakeGraphicsFunc([make, title, size]() {
    auto graphics = make ? make() : nullptr;
    if (auto* window = dynamic_cast<ui::ICanvasX11*>(graphics.get()))
    {
      window->SetWindowTitle(title);
      // A window the user resizes shows the whole editor, zoomed; it opens as it was left.
      window->SetZoomsToWindow(true, size.width, size.height);
    }
    return graphics;
  });
  void* view = plug.OpenWindow(nullptr);
  auto* window = dynamic_cast<ui::ICanvasX11*>(plug.GetUI());
  if (!view || !window)
  {
    error = window ? window->GetLastError() : "no X11 window could be made";
    plug.CloseWindow();
    return false;
  }
  window->SetTimerFunc([&plug]() { plug.OnTimer(); });
  ui::IControl* veil = AttachServerGoneVeil(*window);
  live::SessionClient* session = watch.Session();
  if (session)
    session->TellWindowShown(true);
  while (!watch.ShouldStop())
  {
    window->Pump();
    if (watch.Tick())
    {
      window->SetWindowTitle(watch.Title());
      veil->Hide(!watch.ServerGone());
    }
    if (watch.TakePresetNamed())
      if (auto* name = dynamic_cast<PresetNameControl*>(window->GetControlWithTag(kCtrlTagPresetName)))
        name->UpdatePresetName(&plug);
    // In a session the session manager ends the program; closing the window only hides it.
    if (window->IsClosed() && !session)
      break;
    int show = session ? session->TakeShowRequest() : -1;
    if (window->IsClosed())
    {
      window->AcknowledgeCloseRequest();
      show = 0;
    }
    if (show >= 0)
    {
      window->SetShown(show == 1);
      session->TellWindowShown(show == 1);
    }
    window->WaitForEvents(std::chrono::milliseconds(session ? 20 : 100));
  }
  const float device = window->GetBackingPixelScale();
  gWindowSize = {static_cast<int>(std::lround(static_cast<float>(window->Width()) * device)),
                 static_cast<int>(std::lround(static_cast<float>(window->Height()) * device))};
  plug.CloseWindow();
  return true;
}

int Run(const live::LiveOptions& options)
{
  ui::SetDefaultPlatform(ui::EPlatform::kX11);
  BlockStopSignals(true);
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
    if (!session->WaitForOpen(StopSignalPending))
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
  if (!options.fresh && !statePath.empty() &&
      live::LoadState(*plug, statePath, gWindowSize) == live::LoadResult::kDamaged)
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
  gRescue = {plug.get(), statePath};
  XSetIOErrorHandler(OnDisplayLost);
  HandleStopSignals();

  Watch watch(*plug, options, statePath, session.get());
  if (options.noUI)
    RunHeadless(*plug, watch);
  else if (!RunWindow(*plug, watch, error))
  {
    plug->HostClose();
    throw cli::UsageError(error + " (--no-ui runs without a window)");
  }

  plug->HostClose();
  gRescue = {};
  if (options.verbose && plug->XrunCount() > 0)
    Say("xruns in all: " + std::to_string(plug->XrunCount()));
  return SaveStateTo(*plug, statePath) ? 0 : cli::kExitError;
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
