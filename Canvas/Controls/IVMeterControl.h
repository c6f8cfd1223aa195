#pragma once

// Multi-track level meters: a style holder shared by the vector controls, a control with one
// value per track laid out as side-by-side (or stacked) tracks, a meter with a dB range and
// markers, and a meter fed with peak-and-average records from the processor's meter sender.
// The look drawn here is deliberately plain; a themed meter keeps the record handling and the
// layout and replaces Draw.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ICanvas.h"
#include "IControl.h"
#include "ISender.h"

namespace umbra::ui {

// ---------------------------------------------------------------------------------------------
// Style holder

// A vector control's style, its label and value strings, and the three rectangles they occupy.
// MakeRects lays them out from the control's bounds:
// - the label strip across the top, as tall as the label text's size, when the style shows the
//   label and the label is not empty;
// - the value strip across the bottom, as tall as the value text's size, when the style shows
//   the value and the value string is not empty;
// - the widget in what remains, shrunk about its centre to the style's widget fraction.
// A strip that is not shown is the empty rectangle and takes no room, so a control without
// label and value text gives all of its bounds to the widget. Strips never take more height
// than is left, so the widget can shrink to nothing but never turns inside out.
class IVectorBase {
public:
  explicit IVectorBase(const IVStyle& style, const char* labelStr = "", const char* valueStr = "");
  virtual ~IVectorBase() = default;

  const IVStyle& GetStyle() const { return mStyle; }
  void SetStyle(const IVStyle& style);
  const IColor& GetColor(EVColor role) const { return mStyle.mColorSpec[role]; }

  const std::string& GetLabelStr() const { return mLabelStr; }
  void SetLabelStr(const char* str);
  const std::string& GetValueStr() const { return mValueStr; }
  void SetValueStr(const char* str);

  const IRECT& GetWidgetBounds() const { return mWidgetBounds; }
  const IRECT& GetLabelBounds() const { return mLabelBounds; }
  const IRECT& GetValueBounds() const { return mValueBounds; }

  // Lays out the label, value and widget rectangles from parent; returns the widget's.
  IRECT MakeRects(const IRECT& parent);

protected:
  // The style or a string changed, and with it possibly the layout. The owning control lays
  // itself out again here.
  virtual void OnVectorLayoutChanged() {}

  IVStyle mStyle;
  std::string mLabelStr;
  std::string mValueStr;
  IRECT mWidgetBounds;
  IRECT mLabelBounds;
  IRECT mValueBounds;
};

// ---------------------------------------------------------------------------------------------
// Tracks

// One value per track, none bound to a parameter. Vertical tracks stand side by side, left to
// right; horizontal tracks are stacked top to bottom.
class IVTrackControlBase : public IControl, public IVectorBase {
public:
  IVTrackControlBase(const IRECT& bounds, const char* label, const IVStyle& style = DEFAULT_STYLE,
                     int maxNTracks = 2, int nSteps = 0, EDirection dir = kVertical,
                     std::initializer_list<const char*> trackNames = {});

  void Draw(ICanvas& g) override;
  void OnResize() override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // The first track containing the point, else -1.
  int GetValIdxForPos(float x, float y) const override;

  // Their order is the order of the virtual table; keep it.
  virtual void DrawWidget(ICanvas& g);
  virtual void DrawBackground(ICanvas& g, const IRECT& r);
  virtual void DrawTrack(ICanvas& g, const IRECT& r, int chIdx);
  virtual void DrawTrackBackground(ICanvas& g, const IRECT& r, int chIdx);
  virtual void DrawTrackName(ICanvas& g, const IRECT& r, int chIdx);
  // r is the filled part of the track.
  virtual void DrawTrackHandle(ICanvas& g, const IRECT& r, int chIdx, bool aboveBaseValue);
  // r is the whole track.
  virtual void DrawPeak(ICanvas& g, const IRECT& r, int chIdx, bool aboveBaseValue);
  virtual void MakeTrackRects(const IRECT& bounds);
  virtual void MakeStepRects(const IRECT& bounds, int nSteps);

  EDirection GetDirection() const { return mDirection; }
  int NTracks() const { return static_cast<int>(mTrackBounds.size()); }
  const IRECT& GetTrackBounds(int chIdx) const { return mTrackBounds[static_cast<size_t>(chIdx)]; }
  const std::vector<IRECT>& GetStepBounds() const { return mStepBounds; }
  int GetMouseOverTrack() const { return mMouseOverTrack; }
  float GetTrackPadding() const { return mTrackPadding; }
  void SetTrackPadding(float padding);

protected:
  void OnVectorLayoutChanged() override { OnResize(); }

  // The part of track r that value v (0..1) fills: from the bottom of a vertical track, from
  // the left of a horizontal one.
  IRECT FilledPart(const IRECT& r, double v) const;

  EDirection mDirection;
  std::vector<IRECT> mTrackBounds;
  std::vector<IRECT> mStepBounds;
  std::vector<std::string> mTrackNames;
  int mNSteps;
  float mTrackPadding = 0.f;
  // Thickness of the peak line.
  float mPeakSize = 1.f;
  int mMouseOverTrack = -1;
  bool mDrawTrackFrame = true;
  bool mDrawTrackBG = true;
};

// ---------------------------------------------------------------------------------------------
// Meters

// How a meter turns a received amplitude into a track value.
enum class EMeterResponse : int { Linear = 0, Log = 1 };

// 20·log10(x) as ln(x) times 20 / ln(10): one logarithm, and the same numbers whichever path a
// level takes.
inline constexpr double kAmpToDbFactor = 8.685889638065037;

// Position of a level of db decibels in a range from lo to hi dB, unclamped: 0 at lo, 1 at hi.
inline double DbToRangeNormalized(double db, double lo, double hi)
{
  return (db + std::fabs(lo)) / std::fabs(hi - lo);
}

// A meter of MAXNC tracks over a dB range, with dB markers. It takes records of one linear
// amplitude per channel.
template <int MAXNC = 1>
class IVMeterControl : public IVTrackControlBase {
public:
  // The record this meter receives: 12 bytes of header and one float per channel.
  using Data = umbra::ISenderData<MAXNC, float>;

  IVMeterControl(const IRECT& bounds, const char* label, const IVStyle& style = DEFAULT_STYLE,
                 EDirection dir = kVertical, std::initializer_list<const char*> trackNames = {},
                 int totalNSegs = 0, EMeterResponse response = EMeterResponse::Log,
                 float lowRangeDB = -60.f, float highRangeDB = 12.f,
                 std::initializer_list<int> markers = {0, -6, -12, -24, -48})
    : IVTrackControlBase(bounds, label, style, MAXNC, totalNSegs, dir, trackNames),
      mHighRangeDB(highRangeDB), mLowRangeDB(lowRangeDB), mResponse(response), mMarkers(markers)
  {
  }

  void Draw(ICanvas& g) override
  {
    IVTrackControlBase::Draw(g);
    DrawMarkers(g);
  }

  void OnMsgFromDelegate(int msgTag, int dataSize, const void* data) override
  {
    if (msgTag != umbra::ISender<MAXNC>::kUpdateMessage || IsDisabled())
      return;

    Data d{};
    if (data && dataSize >= static_cast<int>(sizeof(Data)))
      std::memcpy(&d, data, sizeof(Data));

    if (d.channelCount < 1) {
      SetDirty(false);
      return;
    }

    ForChannels(d.channelCount, d.channelOffset, [&](int c) {
      const float amp = d.vals[static_cast<size_t>(c)];
      const double v = mResponse == EMeterResponse::Log ? AmpToNormalized(amp)
                                                        : std::clamp(static_cast<double>(amp), 0.0, 1.0);
      SetValue(std::isnan(v) ? 0.0 : v, c);
    });

    SetDirty(false);
  }

  // A plain meter receives no separate peak.
  void DrawPeak(ICanvas&, const IRECT&, int, bool) override {}

  // Short ticks on both long edges of the widget at each marker's level.
  virtual void DrawMarkers(ICanvas& g)
  {
    const IRECT& w = mWidgetBounds;
    const IColor& color = GetColor(kFR);
    for (int db : mMarkers) {
      const double pos = mResponse == EMeterResponse::Log
                           ? DbToRangeNormalized(db, mLowRangeDB, mHighRangeDB)
                           : std::pow(10.0, db / 20.0);
      if (!(pos >= 0.0 && pos <= 1.0))
        continue;
      const auto p = static_cast<float>(pos);
      if (mDirection == kVertical) {
        const float y = w.B - p * w.H();
        const float len = std::min(kMarkerLength, 0.25f * w.W());
        g.DrawLine(color, w.L, y, w.L + len, y, &mBlend);
        g.DrawLine(color, w.R - len, y, w.R, y, &mBlend);
      }
      else {
        const float x = w.L + p * w.W();
        const float len = std::min(kMarkerLength, 0.25f * w.H());
        g.DrawLine(color, x, w.T, x, w.T + len, &mBlend);
        g.DrawLine(color, x, w.B - len, x, w.B, &mBlend);
      }
    }
  }

  float GetHighRangeDB() const { return mHighRangeDB; }
  float GetLowRangeDB() const { return mLowRangeDB; }
  EMeterResponse GetResponse() const { return mResponse; }
  const std::vector<int>& GetMarkers() const { return mMarkers; }

protected:
  static constexpr float kMarkerLength = 4.f;

  // The range position of an amplitude, clamped into 0..1: silence and anything at or below the
  // low end give 0, anything at or above the high end 1.
  double AmpToNormalized(float amp) const
  {
    return std::clamp(AmpToRange(amp), 0.0, 1.0);
  }

  // The same, unclamped: silence gives minus infinity.
  double AmpToRange(float amp) const
  {
    const double db = std::log(std::fabs(static_cast<double>(amp))) * kAmpToDbFactor;
    return DbToRangeNormalized(db, mLowRangeDB, mHighRangeDB);
  }

  // Calls f for each channel of a record that is also a track. A record's values are indexed by
  // absolute channel, so channels outside the tracks have no value to read either.
  template <typename F>
  static void ForChannels(int count, int offset, F&& f)
  {
    const int first = std::max(offset, 0);
    const int end = static_cast<int>(std::min<long long>(static_cast<long long>(offset) + count, MAXNC));
    for (int c = first; c < end; ++c)
      f(c);
  }

  float mHighRangeDB;
  float mLowRangeDB;
  EMeterResponse mResponse;
  std::vector<int> mMarkers;
};

// A meter fed by the peak-and-average sender: each track's value is its smoothed average level,
// and a second, unclamped figure per track holds its peak on the same scale.
template <int MAXNC = 1>
class IVPeakAvgMeterControl : public IVMeterControl<MAXNC> {
public:
  // Per channel: first the held peak, then the smoothed average, both linear amplitudes.
  using Data = umbra::ISenderData<MAXNC, std::pair<float, float>>;

  using IVMeterControl<MAXNC>::IVMeterControl;

  void OnMsgFromDelegate(int msgTag, int dataSize, const void* data) override
  {
    if (msgTag != umbra::ISender<MAXNC>::kUpdateMessage || this->IsDisabled())
      return;

    // A short record reads as silence on every channel.
    Data d{};
    // Bytes off the message path, not a typed object: copied as bytes (a pair's assignment is
    // not trivial, but its two floats are).
    if (data && dataSize >= static_cast<int>(sizeof(Data)))
      std::memcpy(static_cast<void*>(&d), data, sizeof(Data));

    if (d.channelCount < 1) {
      this->SetDirty(false);
      return;
    }

    this->ForChannels(d.channelCount, d.channelOffset, [&](int c) {
      const auto& [peak, average] = d.vals[static_cast<size_t>(c)];
      const double v = this->AmpToNormalized(average);
      // A NaN would survive every clamp and stay on the meter until the next record.
      this->SetValue(std::isnan(v) ? 0.0 : v, c);
      mPeakValues[static_cast<size_t>(c)] = static_cast<float>(this->AmpToRange(peak));
    });

    this->SetDirty(false);
  }

  // A line across the track at the peak, when the peak lies within it.
  void DrawPeak(ICanvas& g, const IRECT& r, int chIdx, bool) override
  {
    const float p = GetPeak(chIdx);
    if (!(p >= 0.f && p <= 1.f))
      return;
    const IColor& color = this->GetColor(kX1);
    const float thickness = this->mPeakSize;
    if (this->mDirection == kVertical) {
      const float y = std::clamp(r.B - p * r.H(), r.T + 0.5f * thickness, r.B - 0.5f * thickness);
      g.DrawLine(color, r.L, y, r.R, y, &this->mBlend, thickness);
    }
    else {
      const float x = std::clamp(r.L + p * r.W(), r.L + 0.5f * thickness, r.R - 0.5f * thickness);
      g.DrawLine(color, x, r.T, x, r.B, &this->mBlend, thickness);
    }
  }

  // Normalised like the values but unclamped: minus infinity for silence, above 1 beyond the
  // top of the range.
  float GetPeak(int chIdx) const { return mPeakValues[static_cast<size_t>(chIdx)]; }

protected:
  std::array<float, MAXNC> mPeakValues{};
};

static_assert(sizeof(IVPeakAvgMeterControl<2>::Data) == 28, "the sender's record is 28 bytes");
static_assert(sizeof(IVMeterControl<2>::Data) == 20, "a plain meter's record is 20 bytes");

} // namespace umbra::ui
