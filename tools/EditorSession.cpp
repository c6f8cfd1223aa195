#include "EditorSession.h"

#include <algorithm>
#include <cmath>

#include "CliSupport.h"
#include "Umbravox.h"
#include "UmbravoxLayout.h"

namespace umbra::cli {

bool EditorPlugOptions::Parse(const std::vector<std::string>& args, size_t& i)
{
  const std::string& arg = args[i];
  if (arg != "--preset" && arg != "--set" && arg != "--audio" && arg != "--show")
    return false;
  if (i + 1 >= args.size())
    throw UsageError(arg + " needs a value");
  const std::string& value = args[++i];
  if (arg == "--preset")
  {
    if (preset)
      throw UsageError("--preset given twice");
    preset = value;
  }
  else if (arg == "--set")
    settings.push_back(value);
  else if (arg == "--show")
  {
    if (value != "about" && value != "presets")
      throw UsageError("--show expects 'about' or 'presets', got '" + value + "'");
    show = value;
  }
  else
  {
    if (audioPath)
      throw UsageError("--audio given twice");
    audioPath = value;
  }
  return true;
}

sound::SoundData ReadEditorAudio(const std::string& path)
{
  sound::SoundData data;
  try
  {
    data = sound::ReadSoundFile(path);
  }
  catch (const sound::SoundFileError& error)
  {
    throw UsageError(error.what());
  }
  RequireMonoOrStereo(path, static_cast<int>(data.channels.size()));
  if (data.Frames() == 0)
    throw UsageError("'" + path + "' holds no audio");
  if (data.channels.size() == 1)
    data.channels.push_back(data.channels[0]);
  data.channels.resize(2);
  return data;
}

std::unique_ptr<Umbravox> MakeEditorPlug(const EditorPlugOptions& options, double sampleRate,
                                         int maxBlock)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  if (options.preset)
    RecallPreset(*plug, *options.preset);
  for (const std::string& setting : options.settings)
    ApplySetting(*plug, setting);
  plug->HostSetSampleRate(sampleRate);
  plug->HostSetBlockSize(maxBlock);
  plug->HostSetChannels(2, 2);
  plug->HostInitialize();
  return plug;
}

HostClock::HostClock(Umbravox& plug, double sampleRate, const sound::SoundData* audio, bool loop)
  : mPlug(plug), mSampleRate(sampleRate), mAudio(audio), mLoop(loop)
{
  const size_t block = static_cast<size_t>(MaxBlockFor(sampleRate));
  for (int c = 0; c < 2; ++c)
  {
    mIn[c].assign(block, 0.f);
    mOut[c].assign(block, 0.f);
  }
}

int HostClock::MaxBlockFor(double sampleRate)
{
  return static_cast<int>(std::ceil(sampleRate * kTimerSeconds));
}

int64_t HostClock::NextTimerBoundary() const
{
  // Tick n falls on sample floor(n * rate / 50): no drift however long the session runs.
  return static_cast<int64_t>(std::floor(static_cast<double>(mTimerTicks + 1) * mSampleRate *
                                         kTimerSeconds));
}

void HostClock::Advance(int64_t frames)
{
  const int64_t end = mPosition + frames;
  while (mPosition < end)
  {
    const int64_t boundary = NextTimerBoundary();
    const int64_t stop = std::min(end, boundary);
    if (stop > mPosition)
    {
      if (mAudio)
        Process(static_cast<int>(stop - mPosition));
      mPosition = stop;
    }
    if (mPosition == boundary)
    {
      mPlug.OnTimer();
      ++mTimerTicks;
    }
  }
}

void HostClock::Process(int frames)
{
  const int64_t length = mAudio->Frames();
  for (int s = 0; s < frames; ++s)
  {
    if (mLoop && mReadPosition >= length)
      mReadPosition = 0;
    const bool playing = mReadPosition < length;
    for (int c = 0; c < 2; ++c)
      mIn[c][static_cast<size_t>(s)] =
        playing ? mAudio->channels[static_cast<size_t>(c)][static_cast<size_t>(mReadPosition)] : 0.f;
    if (playing)
      ++mReadPosition;
  }
  const float* in[2] = {mIn[0].data(), mIn[1].data()};
  float* out[2] = {mOut[0].data(), mOut[1].data()};
  mPlug.HostProcess(in, out, frames);
}

} // namespace umbra::cli

namespace umbra::cli {

void ShowRequestedPopup(const EditorPlugOptions& options, Umbravox& plug)
{
  if (!options.show)
    return;
  auto* canvas = dynamic_cast<ui::ICanvas*>(plug.GetUI());
  if (!canvas || !ShowEditorPopup(*canvas, *options.show))
    throw UsageError("the editor has no '" + *options.show + "' popup to show");
}

} // namespace umbra::cli
