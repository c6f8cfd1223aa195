#include "LiveWatch.h"

#include <cstdio>

#include "CliSupport.h"
#include "LiveSession.h"
#include "LiveSignals.h"
#include "Umbravox.h"

namespace umbra::live {

void Say(const std::string& line)
{
  std::fprintf(stderr, "umbravox-live: %s\n", line.c_str());
}

Watch::Watch(Umbravox& plug, const LiveOptions& options, std::string statePath, SessionClient* session)
  : mPlug(plug), mVerbose(options.verbose), mAligned(options.aligned), mStatePath(std::move(statePath)),
    mSession(session), mName(plug.ClientName())
{
}

bool Watch::ShouldStop() const
{
  return StopRequested();
}

std::string Watch::Title() const
{
  return mServerGone ? mName + " (JACK server gone, waiting for it)" : mName;
}

bool Watch::TakePresetNamed()
{
  const bool named = mPresetNamed;
  mPresetNamed = false;
  return named;
}

bool Watch::Save()
{
  if (mStatePath.empty())
    return true;
  try
  {
    SaveState(mPlug, mStatePath, mWindow);
    return true;
  }
  catch (const cli::UsageError& saveError)
  {
    Say(saveError.what());
    return false;
  }
}

bool Watch::Tick()
{
  Report();
  NameRecalledPreset();
  if (mSession)
  {
    mSession->Poll(0);
    if (mSession->TakeSaveRequest())
    {
      const bool saved = Save();
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
    // The settings are safe on disk while nothing runs, before anyone is told it waits.
    Save();
    const std::string reason = mPlug.ShutdownReason();
    Say("the JACK server shut down" + (reason.empty() ? std::string() : " (" + reason + ")") +
        "; waiting for it to come back");
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

void Watch::NameRecalledPreset()
{
  const int preset = mPlug.Midi().TakeRecalledPreset();
  if (preset < 0)
    return;
  mPlug.SetCurrentPresetIndex(preset);
  mPresetNamed = true;
}

void Watch::Report()
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

} // namespace umbra::live
