#include "Render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "Offline/IEffectOffline.h"

namespace umbra::render {

namespace {

int64_t SecondsToFrames(double seconds, double sampleRate)
{
  return static_cast<int64_t>(std::llround(seconds * sampleRate));
}

// Takes the plug-in's output block by block and turns it into what the listener hears: the
// latency dropped from the front, the input's span passed on, then the tail, cut where the
// options say.
class Playback {
public:
  Playback(IRenderSink& sink, int nChannels, double sampleRate, const RenderOptions& options,
           int64_t latency)
    : mSink(sink)
    , mNChannels(nChannels)
    , mMode(options.tail)
    , mToSkip(latency)
    , mFixedTail(options.tail == TailMode::kFixed ? SecondsToFrames(options.tailSeconds, sampleRate) : 0)
    , mQuietFrames(std::max<int64_t>(1, SecondsToFrames(kQuietSeconds, sampleRate)))
    , mCapFrames(std::max<int64_t>(1, SecondsToFrames(kTailCapSeconds, sampleRate)))
    , mFadeFrames(std::max<int64_t>(1, SecondsToFrames(kCapFadeSeconds, sampleRate)))
    , mWindowFrames(std::max<int64_t>(1, SecondsToFrames(kLevelWindowSeconds, sampleRate)))
    , mSteadyWindows(static_cast<size_t>(std::llround(kSteadySeconds / kLevelWindowSeconds)))
    , mPending(static_cast<size_t>(nChannels))
  {
  }

  // The input has ended after this many frames: whatever comes after them is tail.
  void SetInputEnd(int64_t frames)
  {
    mInputEnd = frames;
    CheckFixedEnd();
  }

  void Accept(const float* const* block, int nFrames)
  {
    int offset = 0;
    if (mToSkip > 0)
    {
      const int skipped = static_cast<int>(std::min<int64_t>(mToSkip, nFrames));
      mToSkip -= skipped;
      offset += skipped;
    }
    while (offset < nFrames && !mDone)
    {
      const int left = nFrames - offset;
      if (mInputEnd < 0 || mOutIndex < mInputEnd)
      {
        const int n = mInputEnd < 0 ? left : static_cast<int>(std::min<int64_t>(left, mInputEnd - mOutIndex));
        Emit(block, offset, n);
        offset += n;
        CheckFixedEnd();
      }
      else if (mMode == TailMode::kAuto)
      {
        offset += AcceptAutoTail(block, offset, left);
      }
      else
      {
        const int n = static_cast<int>(std::min<int64_t>(left, mInputEnd + mFixedTail - mOutIndex));
        Emit(block, offset, n);
        offset += n;
        CheckFixedEnd();
      }
    }
  }

  // Hands on what is still held back. Only a raw render stops without the tail deciding to.
  void Finish() { Flush(PendingFrames()); }

  bool Done() const { return mDone; }
  TailEnd End() const { return mEnd; }
  double Peak() const { return mPeak; }
  int64_t OutputFrames() const { return mOutIndex; }
  int64_t TailFramesDone() const
  {
    if (mMode == TailMode::kAuto)
      return mTailRendered;
    return mInputEnd < 0 ? 0 : std::max<int64_t>(0, mOutIndex - mInputEnd);
  }
  int64_t TailFramesPlanned() const
  {
    if (mMode == TailMode::kFixed)
      return mFixedTail;
    if (mMode == TailMode::kRaw)
      return 0;
    return mDone ? mOutIndex - mInputEnd : -1;
  }

private:
  void CheckFixedEnd()
  {
    if (mMode != TailMode::kAuto && mInputEnd >= 0 && mOutIndex >= mInputEnd + mFixedTail)
      mDone = true;
  }

  // Takes tail frames one at a time, holding back the ones that may yet be dropped (a quiet or
  // steady stretch that might last long enough) or faded (the last ones before the cap).
  // Returns how many frames of the block it used.
  int AcceptAutoTail(const float* const* block, int offset, int nFrames)
  {
    int used = 0;
    while (used < nFrames)
    {
      const int s = offset + used++;
      bool loud = false;
      for (int c = 0; c < mNChannels; ++c)
      {
        const float x = block[c][s];
        mPending[c].push_back(x);
        loud = loud || std::fabs(x) >= kQuietLevel;
        mWindowEnergy += static_cast<double>(x) * static_cast<double>(x);
      }
      ++mTailRendered;
      mQuietRun = loud ? 0 : mQuietRun + 1;

      if (mQuietRun >= mQuietFrames)
      {
        DropPending(mQuietRun);
        return Finish(TailEnd::kQuiet, used);
      }
      if (mTailRendered % mWindowFrames == 0 && WindowEndsSteadyStretch())
      {
        // Keep the steady stretch's first moments, faded, so the floor does not stop dead.
        const int64_t steady = static_cast<int64_t>(mSteadyWindows) * mWindowFrames;
        DropPending(steady - std::min(steady, mFadeFrames));
        FadeOutPending();
        return Finish(TailEnd::kSteadyFloor, used);
      }
      if (mTailRendered >= mCapFrames)
      {
        FadeOutPending();
        return Finish(TailEnd::kCapped, used);
      }
    }
    // Hand on in large pieces, so that the held-back frames are moved seldom.
    const int64_t steady = static_cast<int64_t>(mSteadyWindows) * mWindowFrames;
    const int64_t keep = std::max({mQuietRun, mFadeFrames, steady});
    if (PendingFrames() >= 2 * std::max({mQuietFrames, mFadeFrames, steady}))
      Flush(PendingFrames() - keep);
    return used;
  }

  int Finish(TailEnd end, int used)
  {
    Flush(PendingFrames());
    mEnd = end;
    mDone = true;
    return used;
  }

  void DropPending(int64_t nFrames)
  {
    for (auto& channel : mPending)
      channel.resize(channel.size() - static_cast<size_t>(std::min<int64_t>(nFrames, PendingFrames())));
  }

  // Closes a level window; true when the last kSteadySeconds of windows stayed within
  // kSteadyRangeDb of each other.
  bool WindowEndsSteadyStretch()
  {
    const double meanSquare = mWindowEnergy / static_cast<double>(mWindowFrames * mNChannels);
    mWindowEnergy = 0.0;
    // Digital silence is for the quiet rule; a floor in dB keeps the arithmetic finite.
    const double level = 10.0 * std::log10(std::max(meanSquare, 1e-30));
    mLevels.push_back(level);
    if (mLevels.size() > mSteadyWindows)
      mLevels.erase(mLevels.begin());
    if (mLevels.size() < mSteadyWindows)
      return false;
    const auto [low, high] = std::minmax_element(mLevels.begin(), mLevels.end());
    return *high - *low <= kSteadyRangeDb;
  }

  void FadeOutPending()
  {
    const int64_t n = std::min(mFadeFrames, PendingFrames());
    const size_t start = static_cast<size_t>(PendingFrames() - n);
    // Falls to exactly zero on the last frame.
    for (auto& channel : mPending)
      for (int64_t i = 0; i < n; ++i)
        channel[start + static_cast<size_t>(i)] *=
          static_cast<float>(static_cast<double>(n - 1 - i) / static_cast<double>(n));
  }

  int64_t PendingFrames() const { return static_cast<int64_t>(mPending[0].size()); }

  void Flush(int64_t nFrames)
  {
    if (nFrames <= 0)
      return;
    std::vector<const float*> pointers;
    for (const auto& channel : mPending)
      pointers.push_back(channel.data());
    Write(pointers.data(), static_cast<int>(nFrames));
    for (auto& channel : mPending)
      channel.erase(channel.begin(), channel.begin() + nFrames);
  }

  void Emit(const float* const* block, int offset, int nFrames)
  {
    const float* pointers[8];
    for (int c = 0; c < mNChannels; ++c)
      pointers[c] = block[c] + offset;
    Write(pointers, nFrames);
  }

  void Write(const float* const* channels, int nFrames)
  {
    if (nFrames <= 0)
      return;
    for (int c = 0; c < mNChannels; ++c)
      for (int s = 0; s < nFrames; ++s)
        mPeak = std::max(mPeak, static_cast<double>(std::fabs(channels[c][s])));
    mSink.Write(channels, nFrames);
    mOutIndex += nFrames;
  }

  IRenderSink& mSink;
  const int mNChannels;
  const TailMode mMode;
  int64_t mToSkip;
  const int64_t mFixedTail;
  const int64_t mQuietFrames;
  const int64_t mCapFrames;
  const int64_t mFadeFrames;
  const int64_t mWindowFrames;
  const size_t mSteadyWindows;

  int64_t mInputEnd = -1;
  int64_t mOutIndex = 0;     // frames handed to the sink
  int64_t mTailRendered = 0; // automatic tail frames taken, held back or not
  int64_t mQuietRun = 0;
  double mWindowEnergy = 0.0;
  std::vector<double> mLevels; // the last windows' levels in dB, oldest first
  std::vector<std::vector<float>> mPending;
  bool mDone = false;
  TailEnd mEnd = TailEnd::kNone;
  double mPeak = 0.0;
};

class MemorySource : public IRenderSource {
public:
  explicit MemorySource(const std::vector<std::vector<float>>& channels) : mChannels(channels) {}

  int Read(float* const* channels, int maxFrames) override
  {
    const size_t left = mChannels[0].size() - mPosition;
    const int n = static_cast<int>(std::min<size_t>(left, static_cast<size_t>(maxFrames)));
    for (size_t c = 0; c < mChannels.size(); ++c)
      std::copy_n(mChannels[c].begin() + static_cast<std::ptrdiff_t>(mPosition), n, channels[c]);
    mPosition += static_cast<size_t>(n);
    return n;
  }

private:
  const std::vector<std::vector<float>>& mChannels;
  size_t mPosition = 0;
};

class MemorySink : public IRenderSink {
public:
  explicit MemorySink(size_t nChannels) : mChannels(nChannels) {}

  void Write(const float* const* channels, int nFrames) override
  {
    for (size_t c = 0; c < mChannels.size(); ++c)
      mChannels[c].insert(mChannels[c].end(), channels[c], channels[c] + nFrames);
  }

  std::vector<std::vector<float>> mChannels;
};

} // namespace

RenderResult Render(IEffectOffline& plug, double sampleRate, int nChannels, IRenderSource& source,
                    IRenderSink& sink, const RenderOptions& options, int64_t inputFramesExpected,
                    const ProgressFunc& progress)
{
  const int maxChannels = std::min({plug.MaxNChannels(kRouteInput), plug.MaxNChannels(kRouteOutput), 8});
  if (nChannels < 1 || nChannels > maxChannels)
    throw std::invalid_argument("the plug-in takes 1 to " + std::to_string(maxChannels) +
                                " channels, not " + std::to_string(nChannels));
  if (!(sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate))
    throw std::invalid_argument("the plug-in runs at " + std::to_string(kMinSampleRate) +
                                " to " + std::to_string(kMaxSampleRate) + " Hz");
  if (options.blockSize < 1 || options.blockSize > kMaxBlockSize)
    throw std::invalid_argument("the block size must be 1 to " + std::to_string(kMaxBlockSize) +
                                " frames");
  if (options.tail == TailMode::kFixed &&
      !(options.tailSeconds >= 0.0 && options.tailSeconds <= kMaxTailSeconds))
    throw std::invalid_argument("the tail must be 0 to " + std::to_string(static_cast<int>(kMaxTailSeconds)) +
                                " seconds");

  const int blockSize = options.blockSize;
  plug.HostSetSampleRate(sampleRate);
  plug.HostSetBlockSize(blockSize);
  plug.HostSetChannels(nChannels, nChannels);
  plug.HostInitialize();

  const bool raw = options.tail == TailMode::kRaw;
  RenderResult result;
  // Read after initialisation: the plug-in may report its latency only once it knows the
  // sample rate and block size.
  result.latency = raw ? 0 : plug.GetLatency();

  std::vector<std::vector<float>> in(static_cast<size_t>(nChannels), std::vector<float>(static_cast<size_t>(blockSize)));
  std::vector<std::vector<float>> out = in;
  std::vector<float*> inPointers, outPointers;
  for (int c = 0; c < nChannels; ++c)
  {
    inPointers.push_back(in[c].data());
    outPointers.push_back(out[c].data());
  }

  Playback playback(sink, nChannels, sampleRate, options, result.latency);
  RenderProgress report;
  report.inputFramesExpected = inputFramesExpected;
  report.sampleRate = sampleRate;

  int64_t inputFrames = 0;
  bool inputEnded = false;
  bool silent = false;
  for (;;)
  {
    int nFrames = blockSize;
    if (inputEnded && !silent)
    {
      // From here on the plug-in hears silence, as it would from a host playing on.
      for (auto& channel : in)
        std::fill(channel.begin(), channel.end(), 0.0f);
      silent = true;
    }
    if (!inputEnded)
    {
      const int got = source.Read(inPointers.data(), blockSize);
      inputFrames += got;
      if (got < blockSize)
      {
        inputEnded = true;
        for (auto& channel : in)
          std::fill(channel.begin() + got, channel.end(), 0.0f);
        playback.SetInputEnd(inputFrames);
        if (raw)
          nFrames = got;
      }
    }
    if (nFrames > 0 && !playback.Done())
    {
      plug.HostProcess(inPointers.data(), outPointers.data(), nFrames);
      playback.Accept(outPointers.data(), nFrames);
    }

    if (progress)
    {
      report.inputFramesDone = inputFrames;
      report.tailFramesDone = playback.TailFramesDone();
      report.tailFramesPlanned = playback.TailFramesPlanned();
      progress(report);
    }
    if (inputEnded && (raw || playback.Done()))
      break;
  }
  playback.Finish();

  result.inputFrames = inputFrames;
  result.outputFrames = playback.OutputFrames();
  result.tailFrames = result.outputFrames - inputFrames;
  result.tailEnd = playback.End();
  result.tailCapped = result.tailEnd == TailEnd::kCapped;
  result.peak = playback.Peak();
  return result;
}

std::vector<std::vector<float>> RenderFrames(IEffectOffline& plug, double sampleRate,
                                             const std::vector<std::vector<float>>& input,
                                             const RenderOptions& options, RenderResult* result)
{
  if (input.empty())
    throw std::invalid_argument("no input channels");
  for (const auto& channel : input)
    if (channel.size() != input[0].size())
      throw std::invalid_argument("the input channels differ in length");

  MemorySource source(input);
  MemorySink sink(input.size());
  const RenderResult rendered = Render(plug, sampleRate, static_cast<int>(input.size()), source, sink,
                                       options, static_cast<int64_t>(input[0].size()));
  if (result)
    *result = rendered;
  return std::move(sink.mChannels);
}

double Peak(const std::vector<std::vector<float>>& channels)
{
  double peak = 0.0;
  for (const auto& channel : channels)
    for (float sample : channel)
      peak = std::max(peak, static_cast<double>(std::fabs(sample)));
  return peak;
}

std::string FormatDbfs(double magnitude)
{
  if (!(magnitude > 0.0))
    return "-inf";
  char text[32];
  std::snprintf(text, sizeof(text), "%+.1f", 20.0 * std::log10(magnitude));
  return text;
}

} // namespace umbra::render
