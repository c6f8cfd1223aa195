#pragma once

#include <algorithm>
#include <vector>

namespace umbra {

// Delays each of N input channels by a fixed number of samples into the matching output; outputs
// without an input are silent. Storage can be reserved up front so that changing the delay later
// (up to the reserved size) never allocates.
template <typename T>
class NChanDelayLine {
public:
  NChanDelayLine(int nInChans, int nOutChans) : mNInChans(nInChans), mNOutChans(nOutChans) {}

  void Reserve(int maxDelay) { mBuffer.reserve(static_cast<size_t>(maxDelay) * mNInChans); }

  // Sets the delay, clears the stored signal and starts over.
  void SetDelayTime(int delay)
  {
    mDelay = std::max(delay, 0);
    mBuffer.assign(static_cast<size_t>(mDelay) * mNInChans, T(0));
    mPosition = 0;
  }

  int DelayTime() const { return mDelay; }

  void ProcessBlock(const T* const* inputs, T* const* outputs, int nFrames)
  {
    for (int c = mNInChans; c < mNOutChans; ++c)
      std::fill(outputs[c], outputs[c] + nFrames, T(0));

    const int nChans = std::min(mNInChans, mNOutChans);
    if (mDelay == 0)
    {
      for (int c = 0; c < nChans; ++c)
        std::copy(inputs[c], inputs[c] + nFrames, outputs[c]);
      return;
    }

    int pos = mPosition;
    for (int s = 0; s < nFrames; ++s)
    {
      for (int c = 0; c < mNInChans; ++c)
      {
        T& slot = mBuffer[static_cast<size_t>(c) * mDelay + pos];
        const T delayed = slot;
        slot = inputs[c][s];
        if (c < nChans)
          outputs[c][s] = delayed;
      }
      if (++pos == mDelay)
        pos = 0;
    }
    mPosition = pos;
  }

private:
  int mNInChans;
  int mNOutChans;
  int mDelay = 0;
  int mPosition = 0;
  std::vector<T> mBuffer;
};

} // namespace umbra
