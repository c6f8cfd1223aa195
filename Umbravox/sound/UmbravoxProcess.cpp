// The block processor: input gain, the hop (512 samples at 48 kHz) over rings of a frame and a
// hop (4096 + 512), the dry/wet mix, output gain, and the levels and meter data the editor shows.
//
// A frame begins at the sample that completes a hop, and its work is spread over the hop that
// follows, in steps as the hop's samples go by: a host calling with 64-sample blocks gets an
// eighth of a frame in each call rather than the whole frame in one call out of eight. The frame's
// output is first read a hop after it began, when its last step has run; so both paths leave a
// frame and a hop (the reported latency) after they entered. The dry sample is read from the
// input ring before the new one takes its slot, so a host's delay compensation lines both up
// with the timeline. The three gains ramp to new values (LinearSmoother); a gain change at Input
// therefore reaches the dry output one latency later than a change at Output or Mix.
#include <algorithm>
#include <cmath>

#include "IEffectDenormals.h"
#include "Umbravox.h"

namespace umbra {

namespace {

// Above this a sample is garbage rather than audio (100 dB over full scale). Letting it, or a
// NaN or infinity, into the input ring would poison the per-bin hold memory for good.
constexpr double kMaxSaneSample = 1e5;

inline double Sanitize(double sample)
{
  return std::fabs(sample) <= kMaxSaneSample ? sample : 0.0; // false for NaN too
}

inline float LevelDb(double peak)
{
  return peak > 0.000001 ? 20.f * std::log10(static_cast<float>(peak)) : -60.f;
}

} // namespace

void Umbravox::UpdateFrameSettings()
{
  FFTProcessor& fft = *mFFTProcessor;
  auto value = [this](int paramIdx) { return static_cast<float>(GetParam(paramIdx)->Value()); };

  const float h = value(kHaunt) / 100.f;
  fft.mDecay = (1.f - std::pow(1.f - h, 3.f)) * 0.99f;
  fft.mPossess = value(kPossess) / 100.f;

  const int octave = static_cast<int>(GetParam(kOctave)->Value());
  const int interval = static_cast<int>(GetParam(kInterval)->Value());
  const float semitones = static_cast<float>(interval + 12 * octave - 24) + value(kFine) / 100.f;
  fft.mPitchRatio = std::pow(2.f, semitones / 12.f);
  fft.mFormantGain = fft.mPitchRatio == 1.f ? 1.f : std::pow(1.f / fft.mPitchRatio, 0.47f);

  fft.mFreeze = value(kFreeze) / 100.f;
  fft.mSmear = std::max(0.05f, value(kSmear) / 100.f);
  fft.mWhisper = value(kWhisper) / 100.f;
  fft.mWhisperMode = static_cast<int>(GetParam(kWhisperMode)->Value());
  fft.mResonance = value(kResonance) / 100.f;
}

Umbravox::GainTargets Umbravox::GainTargetsFromParams() const
{
  // The wet weight is worked out in single precision, as it always was, then widened.
  return {GetParam(kInput)->Value() / 100.0, GetParam(kOutput)->Value() / 100.0,
          static_cast<double>(static_cast<float>(GetParam(kMix)->Value()) / 100.f)};
}

void Umbravox::SnapGainsToParams()
{
  const GainTargets targets = GainTargetsFromParams();
  mInputGain.Snap(targets.input);
  mOutputGain.Snap(targets.output);
  mWetGain.Snap(targets.wet);
}

void Umbravox::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  ScopedFlushDenormals flushDenormals;

  // Parameters are read once per block. The frame settings hold for the whole block (a frame
  // blends them into the sound by itself); the gains head for their new values sample by sample.
  if (mSnapGains.exchange(false, std::memory_order_acquire))
  {
    SnapGainsToParams();
  }
  else
  {
    const GainTargets targets = GainTargetsFromParams();
    mInputGain.SetTarget(targets.input);
    mOutputGain.SetTarget(targets.output);
    mWetGain.SetTarget(targets.wet);
  }
  UpdateFrameSettings();

  const double tempo = GetTempo();
  mTempo.store(tempo > 0.0 ? static_cast<float>(tempo) : 120.f, std::memory_order_relaxed);

  const int nChans = std::min(NChannelsConnected(kRouteOutput), kMaxChannels);
  BlockContext block{inputs, outputs, nChans, 0.0, 0.0};
  const int hopSize = mTiming.hopSize;
  const int ringSize = mTiming.Latency();

  // Between two frames, and within one turn of the rings, samples need nothing from each other
  // but the ring slots they write: those runs go through in straight passes, each followed by the
  // frame's steps that are due by then. The sample that completes a hop finishes the frame in
  // progress, then begins the next.
  for (int s = 0; s < nFrames;)
  {
    const int untilFrame = (hopSize - 1) - mHopCounter;
    const int run = std::min({untilFrame, nFrames - s, ringSize - mWritePos, kGainChunk});
    if (run > 0)
    {
      ProcessRun(block, s, run);
      mHopCounter += run;
      mWritePos = (mWritePos + run) % ringSize;
      s += run;
      mFFTProcessor->RunStepsDue(mHopCounter, hopSize);
    }
    else
    {
      ProcessFrameSample(block, s);
      s += 1;
    }
  }
  const double inputPeak = block.inputPeak;
  const double outputPeak = block.outputPeak;

  mInputPeakDb.store(nFrames > 0 ? LevelDb(inputPeak) : -60.f, std::memory_order_relaxed);
  mOutputPeakDb.store(nFrames > 0 ? LevelDb(outputPeak) : -60.f, std::memory_order_relaxed);

  mInputMeterSender.ProcessBlock(inputs, nFrames, kCtrlTagInputMeter, kMaxChannels, 0);
  mOutputMeterSender.ProcessBlock(outputs, nFrames, kCtrlTagOutputMeter, kMaxChannels, 0);
}

void Umbravox::FillGains(GainChunk& gains, int count)
{
  for (int i = 0; i < count; ++i)
  {
    gains.input[i] = mInputGain.Next();
    gains.wet[i] = mWetGain.Next();
    gains.output[i] = mOutputGain.Next();
  }
}

void Umbravox::ProcessRun(BlockContext& block, int start, int count)
{
  GainChunk gains;
  FillGains(gains, count);

  const int pos = mWritePos;
  const bool dryNow = IsDryUndelayed();
  for (int c = 0; c < std::max(block.nChans, 1); ++c)
  {
    const double* __restrict in = block.inputs[c] + start;
    double* __restrict out = block.outputs[c] + start;
    double* __restrict inRing = mInputBuffers[c]->Data() + pos;
    double* __restrict outRing = mOutputBuffers[c]->Data() + pos;
    const bool connected = c < block.nChans;
    double inputPeak = 0.0, outputPeak = 0.0;
    for (int i = 0; i < count; ++i)
    {
      const double x = Sanitize(in[i]);
      const double d = x * gains.input[i];
      // The slot still holds the sample that entered one latency ago: the dry sample that leaves
      // now, in time with the wet signal built from it.
      const double late = dryNow ? d : inRing[i];
      if (connected)
        inRing[i] = d;
      const double wet = gains.wet[i];
      const double y = (late * (1.0 - wet) + outRing[i] * wet) * gains.output[i];
      out[i] = y;
      if (connected)
        outRing[i] = 0.0;
      inputPeak = std::max(inputPeak, std::fabs(d));
      outputPeak = std::max(outputPeak, std::fabs(y));
    }
    if (c == 0)
    {
      block.inputPeak = std::max(block.inputPeak, inputPeak);
      block.outputPeak = std::max(block.outputPeak, outputPeak);
    }
  }
}

void Umbravox::ProcessFrameSample(BlockContext& block, int s)
{
  const int pos = mWritePos;
  double* inRing[kMaxChannels] = {mInputBuffers[0]->Data(), mInputBuffers[1]->Data()};
  double* outRing[kMaxChannels] = {mOutputBuffers[0]->Data(), mOutputBuffers[1]->Data()};
  const int nChans = block.nChans;
  const double inputGain = mInputGain.Next();
  const double wet = mWetGain.Next();
  const double dry = 1.0 - wet;
  const double outputGain = mOutputGain.Next();

  const double x0 = Sanitize(block.inputs[0][s]);
  const double d0 = x0 * inputGain;
  const double d1 = nChans == 2 ? Sanitize(block.inputs[1][s]) * inputGain : 0.0;
  const bool dryNow = IsDryUndelayed();
  const double late0 = dryNow ? d0 : inRing[0][pos];
  const double late1 = nChans == 2 ? (dryNow ? d1 : inRing[1][pos]) : 0.0;
  if (nChans >= 1)
    inRing[0][pos] = d0;
  if (nChans == 2)
    inRing[1][pos] = d1;

  // The frame begun a hop ago ends before this slot is read; the new one adds from a hop on.
  FFTProcessor& fft = *mFFTProcessor;
  fft.RunSteps(fft.StepsLeft());
  const int ringSize = mTiming.Latency();
  fft.BeginFrame(inRing, outRing, nChans, ringSize, pos, (pos + mTiming.hopSize) % ringSize);
  mHopCounter = 0;

  const double out0 = (late0 * dry + outRing[0][pos] * wet) * outputGain;
  block.outputs[0][s] = out0;
  if (nChans == 2)
    block.outputs[1][s] = (late1 * dry + outRing[1][pos] * wet) * outputGain;

  // The slot now starts collecting the frames for the sample one latency later.
  for (int c = 0; c < nChans; ++c)
    outRing[c][pos] = 0.0;
  mWritePos = pos + 1 == ringSize ? 0 : pos + 1;

  block.inputPeak = std::max(block.inputPeak, std::fabs(d0));
  block.outputPeak = std::max(block.outputPeak, std::fabs(out0));
}

void Umbravox::PrepareEngineForRate()
{
  const double rate = GetSampleRate();
  if (rate == mEngineRate && mFFTProcessor)
    return;
  mTiming = FrameTimingFor(rate);
  mEngineRate = rate;
  mFFTProcessor = std::make_unique<FFTProcessor>(mTiming.frameSize, rate);
  for (int c = 0; c < kMaxChannels; ++c)
  {
    mInputBuffers[c] = std::make_unique<CircularBuffer>(mTiming.Latency());
    mOutputBuffers[c] = std::make_unique<CircularBuffer>(mTiming.Latency());
  }
}

void Umbravox::OnReset()
{
  mInputMeterSender.Reset(GetSampleRate());
  mOutputMeterSender.Reset(GetSampleRate());
  PrepareEngineForRate();
  mWritePos = 0;
  mHopCounter = 0;
  mFFTProcessor->Reset();
  for (int c = 0; c < kMaxChannels; ++c)
  {
    mInputBuffers[c]->Reset();
    mOutputBuffers[c]->Reset();
  }
  for (LinearSmoother* gain : {&mInputGain, &mOutputGain, &mWetGain})
    gain->SetRampTime(kGainRampSeconds, GetSampleRate());
  // The first block after a reset starts at the settings it finds (a host sets its ports after
  // activating).
  SnapGainsToParams();
  mSnapGains.store(true, std::memory_order_release);
  SetLatency(mTiming.Latency());
}

int Umbravox::UnserializeState(const IByteChunk& chunk, int startPos)
{
  const int pos = UmbravoxWrapper::UnserializeState(chunk, startPos);
  mSnapGains.store(true, std::memory_order_release);
  return pos;
}

void Umbravox::OnIdle()
{
  mInputMeterSender.FlushToEditor(*this);
  mOutputMeterSender.FlushToEditor(*this);
}

} // namespace umbra
