#include "ExampleEditor.h"

#include <cmath>

#include "Controls/IBitmapControl.h"
#include "Controls/ISliderControlBase.h"
#include "Controls/ITextControl.h"
#include "Controls/IVMeterControl.h"
#include "ICanvas.h"
#include "ICanvasFactory.h"
#include "Umbravox.h"

namespace umbra::example {

using namespace ui;

namespace {

const IColor kInk{255, 214, 206, 235};
const IColor kDim{255, 96, 84, 120};
const IColor kGlow{255, 150, 120, 255};

// A plain vertical slider: a groove, a filled part up to the value and a round handle. The
// handle jumps to where the mouse presses and follows it while dragged.
class ExampleSlider : public ISliderControlBase {
public:
  ExampleSlider(const IRECT& bounds, int paramIdx) : ISliderControlBase(bounds, paramIdx) {}

  void OnMouseDown(float x, float y, const IMouseMod&) override { SnapToMouse(x, y, kVertical, Groove()); }
  void OnMouseDrag(float x, float y, float, float, const IMouseMod&) override
  {
    SnapToMouse(x, y, kVertical, Groove());
  }

  void Draw(ICanvas& g) override
  {
    const IRECT track = Groove();
    const float x = track.MW();
    const float y = track.B - static_cast<float>(GetValue()) * track.H();
    g.FillRoundRect(kDim, IRECT{x - 3.f, track.T, x + 3.f, track.B}, 3.f, &GetBlend());
    g.FillRoundRect(kGlow, IRECT{x - 3.f, y, x + 3.f, track.B}, 3.f, &GetBlend());
    g.FillCircle(kInk, x, y, 9.f, &GetBlend());
  }

private:
  // The part of the track the handle's centre travels along.
  IRECT Groove() const { return GetTrack().GetPadded(-10.f); }
};

} // namespace

void LayoutExampleEditor(ICanvas& canvas)
{
  canvas.LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
  const IRECT all{0.f, 0.f, static_cast<float>(kWidth), static_cast<float>(kHeight)};

  canvas.AttachPanelBackground(IPattern::CreateLinearGradient(
    0.f, 0.f, 0.f, all.B, {IColorStop{IColor{255, 40, 26, 58}, 0.f}, IColorStop{IColor{255, 8, 6, 14}, 1.f}}));

  const IText title{40.f, kInk, "Roboto-Regular", kAlignNear, kVAlignTop};
  canvas.AttachControl(new ITextControl(IRECT{60.f, 40.f, 900.f, 100.f}, "Umbra Vox - example editor", title,
                                        COLOR_TRANSPARENT));

  canvas.AttachControl(new IBitmapControl(1000.f, 40.f, canvas.LoadBitmap("example_ghost.png")));
  canvas.SetWindowIcon(canvas.LoadBitmap("GhostIcon.png"));

  const IText label{20.f, kInk, "Roboto-Regular", kAlignCenter, kVAlignMiddle};
  const struct {
    int param;
    float x;
  } sliders[] = {{kHaunt, 80.f}, {kMix, 260.f}};
  for (const auto& slider : sliders)
  {
    canvas.AttachControl(new ExampleSlider(IRECT{slider.x, 160.f, slider.x + 120.f, 620.f}, slider.param));
    canvas.AttachControl(new ICaptionControl(IRECT{slider.x - 20.f, 640.f, slider.x + 140.f, 680.f},
                                             slider.param, label, COLOR_TRANSPARENT));
  }

  canvas.AttachControl(new ICaptionControl(IRECT{460.f, 160.f, 700.f, 210.f}, kOctave, label,
                                           IColor{255, 58, 40, 82}));

  IVStyle meterStyle;
  meterStyle.mColorSpec = IVColorSpec{IColor{255, 20, 14, 30}, kGlow, kInk, kDim, DEFAULT_HLCOLOR,
                                      IColor{255, 30, 22, 44}, kInk};
  meterStyle.mLabelText = IText{20.f, kInk, "Roboto-Regular", kAlignCenter, kVAlignTop};
  canvas.AttachControl(new IVPeakAvgMeterControl<2>(IRECT{800.f, 160.f, 1100.f, 700.f}, "Input", meterStyle),
                       kCtrlTagInputMeter);

  // Dragging the bottom-right corner zooms the whole editor.
  canvas.AttachCornerResizer(EUIResizerMode::kScale, false, kDim, kInk, kGlow);
}

std::unique_ptr<Umbravox> MakeExamplePlug(int blockFrames, std::function<void(ICanvas&)> onMade)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->HostSetSampleRate(kSampleRate);
  plug->HostSetBlockSize(blockFrames);
  plug->HostInitialize();

  Umbravox& self = *plug;
  plug->SetMakeGraphicsFunc([&self, onMade = std::move(onMade)]() -> std::unique_ptr<IEditorContext> {
    auto made = MakeGraphics(self, kWidth, kHeight, kFPS, 1.f);
    if (made && onMade)
      onMade(*made);
    return made;
  });
  plug->SetLayoutFunc([](IEditorContext* context) {
    LayoutExampleEditor(*static_cast<ICanvas*>(context));
  });
  return plug;
}

TestTone::TestTone(int blockFrames)
  : mLeft(static_cast<size_t>(blockFrames)), mRight(mLeft.size()), mOutLeft(mLeft.size()),
    mOutRight(mLeft.size())
{
}

void TestTone::PlayBlock(Umbravox& plug)
{
  for (size_t s = 0; s < mLeft.size(); ++s, ++mSample)
  {
    mLeft[s] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(mSample) / kSampleRate));
    mRight[s] = 0.5f * mLeft[s];
  }
  const float* in[2] = {mLeft.data(), mRight.data()};
  float* out[2] = {mOutLeft.data(), mOutRight.data()};
  plug.HostProcess(in, out, static_cast<int>(mLeft.size()));
  plug.OnTimer();
}

} // namespace umbra::example
