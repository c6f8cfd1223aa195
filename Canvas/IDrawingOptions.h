#pragma once

#include <cstdint>

namespace umbra::ui {

// Which points a filled path covers when its outline crosses itself or nests.
enum EFillRule : int32_t { kFillWinding = 0, kFillEvenOdd };

enum ELineCap : int32_t { kCapButt = 0, kCapRound, kCapSquare };
enum ELineJoin : int32_t { kJoinMiter = 0, kJoinRound, kJoinBevel };

// The direction an arc is swept in, as seen on screen.
enum EWinding : int32_t { kWindingCW = 0, kWindingCCW };

struct IFillOptions {
  EFillRule mFillRule = kFillWinding;
  bool mPreserve = false; // keep the path after filling, to stroke or fill it again
};

struct IStrokeOptions {
  // On-off lengths in logical pixels, repeated along the stroke; no entries is a solid line.
  class DashOptions {
  public:
    static constexpr int kMaxDashes = 8;

    DashOptions() = default;
    DashOptions(const float* array, int count, float offset = 0.f) { SetDash(array, count, offset); }

    // Entries beyond the eighth are dropped.
    void SetDash(const float* array, int count, float offset = 0.f)
    {
      mCount = count < 0 ? 0 : (count > kMaxDashes ? kMaxDashes : count);
      for (int i = 0; i < mCount; ++i)
        mArray[i] = array[i];
      mOffset = offset;
    }

    int GetCount() const { return mCount; }
    float GetOffset() const { return mOffset; }
    const float* GetArray() const { return mArray; }

  private:
    float mArray[kMaxDashes] = {};
    int mCount = 0;
    float mOffset = 0.f;
  };

  float mMiterLimit = 10.f;
  bool mPreserve = false;
  ELineCap mCapOption = kCapButt;
  ELineJoin mJoinOption = kJoinMiter;
  DashOptions mDash;
};

} // namespace umbra::ui
