#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "IEditorDelegate.h"
#include "IEffectQueue.h"

namespace umbra {

// One record of meter data on its way from the audio thread to a control: which control, which
// channels, and one value (or pair of values) per channel.
template <int MAXNC = 1, typename T = float>
struct ISenderData {
  int32_t controlTag = kNoTag;
  int32_t channelCount = MAXNC;
  int32_t channelOffset = 0;
  std::array<T, MAXNC> vals{};
};

// Queues records on the audio thread and hands them to the editor on the main thread. The queue
// is allocated at construction; a full queue drops records rather than block the audio thread.
template <int MAXNC = 1, int QUEUE_SIZE = 64, typename T = float>
class ISender {
public:
  using Data = ISenderData<MAXNC, T>;

  ISender() : mQueue(QUEUE_SIZE) {}
  virtual ~ISender() = default;

  // Audio thread.
  bool PushData(const Data& data) { return mQueue.Push(data); }

  // Main thread: every waiting record goes to the control carrying its tag.
  void FlushToEditor(IEditorDelegate& delegate)
  {
    while (mQueue.ElementsAvailable())
    {
      Data data{kNoTag, MAXNC, 0, {}};
      mQueue.Pop(data);
      PrepareDataForUI(data);
      delegate.SendControlMsgFromDelegate(data.controlTag, kUpdateMessage,
                                          static_cast<int>(sizeof(data)), &data);
    }
  }

  virtual void PrepareDataForUI(Data& data) { (void)data; }

  size_t PendingRecords() const { return mQueue.ElementsAvailable(); }

  static constexpr int kUpdateMessage = 0;

private:
  IEffectQueue<Data> mQueue;
};

// Measures blocks of audio in short windows and sends, per channel, a held peak and a smoothed
// average level (linear amplitude). It stops sending while everything it measures is silent.
template <int MAXNC = 1, int QUEUE_SIZE = 64>
class IPeakAvgSender : public ISender<MAXNC, QUEUE_SIZE, std::pair<float, float>> {
public:
  using Base = ISender<MAXNC, QUEUE_SIZE, std::pair<float, float>>;
  using Data = typename Base::Data;

  // Window storage is sized once for this rate, so that a reset never allocates.
  static constexpr double kMaxSampleRate = 384000.0;

  IPeakAvgSender(double silenceThresholdDb = -90.0, bool rmsMode = true, float windowSizeMs = 5.f,
                 float attackTimeMs = 1.f, float decayTimeMs = 100.f, float peakHoldTimeMs = 500.f)
    : mSilenceThreshold(static_cast<float>(std::pow(10.0, silenceThresholdDb / 20.0)))
    , mUseRms(rmsMode)
    , mWindowMs(windowSizeMs)
    , mAttackMs(attackTimeMs)
    , mDecayMs(decayTimeMs)
    , mHoldMs(peakHoldTimeMs)
  {
    const int capacity = std::max(1, static_cast<int>(mWindowMs * 0.001 * kMaxSampleRate));
    for (auto& buffer : mWindowBuffers)
      buffer.reserve(static_cast<size_t>(capacity));
    Reset(48000.0);
  }

  // Audio-thread set-up for a sample rate. The window is at least one sample whatever the rate,
  // and never longer than the storage reserved for the highest supported rate.
  void Reset(double sampleRate)
  {
    const int capacity = static_cast<int>(mWindowBuffers[0].capacity());
    mWindowLength = std::clamp(static_cast<int>(mWindowMs * 0.001 * sampleRate), 1, capacity);
    for (auto& buffer : mWindowBuffers)
      buffer.assign(static_cast<size_t>(mWindowLength), 0.f);
    mAttackSteps = static_cast<float>((sampleRate / mWindowLength) * (mAttackMs * 0.001));
    mDecaySteps = static_cast<float>((sampleRate / mWindowLength) * (mDecayMs * 0.001));
    mHoldLength = static_cast<int>(mHoldMs * 0.001 * sampleRate);
    std::fill(std::begin(mHoldRemaining), std::end(mHoldRemaining), mHoldLength);
    std::fill(std::begin(mHeldPeak), std::end(mHeldPeak), 0.f);
  }

  void ProcessBlock(double** inputs, int nFrames, int ctrlTag, int nChans = MAXNC, int chanOffset = 0)
  {
    const int firstChan = std::max(chanOffset, 0);
    const int endChan = std::min(chanOffset + nChans, MAXNC);
    // The buffer position follows the sample's index in the block (s modulo the window length);
    // a measurement is due at each sample where the running window position is 0. Between two
    // such samples, and within one turn of the buffer, the samples are copied in one pass.
    int bufferPos = 0;
    for (int s = 0; s < nFrames;)
    {
      // (A reset to a shorter window can leave the position beyond its end: it then steps back
      // into the window one sample at a time, as the modulo would take it.)
      const int run = mWindowPos == 0 || mWindowPos >= mWindowLength
                        ? 1
                        : std::min({nFrames - s, mWindowLength - mWindowPos, mWindowLength - bufferPos});
      for (int c = firstChan; c < endChan; ++c)
      {
        const double* in = inputs[c] + s;
        float* window = mWindowBuffers[c].data() + bufferPos;
        for (int i = 0; i < run; ++i)
        {
          // A meter must survive a non-finite sample: it would otherwise hold NaN for good.
          const float sample = static_cast<float>(in[i]);
          window[i] = std::isfinite(sample) ? sample : 0.f;
        }
      }

      if (mWindowPos == 0)
        Measure(ctrlTag, nChans, chanOffset, firstChan, endChan);

      s += run;
      bufferPos += run;
      if (bufferPos >= mWindowLength)
        bufferPos = 0;
      mWindowPos = (mWindowPos + run) % mWindowLength;
    }
  }

  int WindowLength() const { return mWindowLength; }
  int HoldLength() const { return mHoldLength; }
  float AttackSteps() const { return mAttackSteps; }
  float DecaySteps() const { return mDecaySteps; }

private:
  void Measure(int ctrlTag, int nChans, int chanOffset, int firstChan, int endChan)
  {
    Data data{ctrlTag, nChans, chanOffset, {}};
    float levelSum = 0.f;

    for (int c = firstChan; c < endChan; ++c)
    {
      auto& window = mWindowBuffers[c];
      float peak = 0.f;
      double sumSquares = 0.0, sumAbs = 0.0;
      for (float& x : window)
      {
        x = std::fabs(x);
        peak = std::max(peak, x);
        sumSquares += static_cast<double>(x) * x;
        sumAbs += x;
      }
      const float average = static_cast<float>(mUseRms ? std::sqrt(sumSquares / mWindowLength)
                                                       : sumAbs / mWindowLength);

      if (mHoldRemaining[c] > 0)
      {
        if (peak > mHeldPeak[c])
        {
          mHeldPeak[c] = peak;
          mHoldRemaining[c] = mHoldLength;
        }
        else
        {
          mHoldRemaining[c] -= mWindowLength;
        }
      }
      if (mHoldRemaining[c] <= 0)
      {
        mHeldPeak[c] = 0.f;
        if (peak > 0.f)
        {
          mHeldPeak[c] = peak;
          mHoldRemaining[c] = mHoldLength;
        }
      }
      data.vals[c].first = mHeldPeak[c];

      const float previous = mAverage[c];
      float smoothed = previous;
      if (average > previous)
        smoothed = mAttackSteps > 1.f ? previous + (average - previous) / mAttackSteps : average;
      else if (average < previous)
        smoothed = mDecaySteps > 1.f ? previous + (average - previous) / mDecaySteps : average;
      if (std::fpclassify(smoothed) == FP_SUBNORMAL)
        smoothed = 0.f;
      mAverage[c] = smoothed;
      data.vals[c].second = smoothed;
      levelSum += smoothed;
    }

    // The test is on the previous window, so the first silent window still reaches the meters.
    if (mLastLevelSum > mSilenceThreshold)
      Base::PushData(data);
    mLastLevelSum = levelSum;
  }

  float mSilenceThreshold;
  bool mUseRms;
  float mLastLevelSum = 1.f;
  int mWindowLength = 1;
  int mHoldLength = 0;
  int mWindowPos = 0;
  float mWindowMs;
  float mAttackMs;
  float mDecayMs;
  float mHoldMs;
  float mAttackSteps = 1.f;
  float mDecaySteps = 1.f;
  float mHeldPeak[MAXNC] = {};
  std::vector<float> mWindowBuffers[MAXNC];
  int mHoldRemaining[MAXNC] = {};
  float mAverage[MAXNC] = {};
};

} // namespace umbra
