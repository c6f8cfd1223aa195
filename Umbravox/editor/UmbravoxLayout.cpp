#include "UmbravoxLayout.h"

#include <vector>

#include "AboutPopup.h"
#include "Controls/IBitmapControl.h"
#include "Controls/ILambdaControl.h"
#include "Controls/ITextControl.h"
#include "GhostIconButton.h"
#include "HauntedMeterControl.h"
#include "IEffectBase.h"
#include "LEDTabSwitchControl.h"
#include "UmbravoxTabLabels.h"
#include "PresetIconButton.h"
#include "PresetNameControl.h"
#include "PresetPopup.h"
#include "UmbravoxEditorParts.h"
#include "UmbravoxOverlays.h"
#include "UmbravoxTheme.h"
#include "WeatheredSliderControl.h"
#include "WhisperModeButton.h"

namespace umbra {

using namespace ui;

namespace {

IRECT Rect(int l, int t, int r, int b)
{
  return IRECT(static_cast<float>(l), static_cast<float>(t), static_cast<float>(r),
               static_cast<float>(b));
}

void AttachLabel(ICanvas* g, const IRECT& r, const char* str, const IText& style)
{
  g->AttachControl(new ITextControl(r, str, style, DEFAULT_BGCOLOR, false));
}

void AttachCaption(ICanvas* g, const IRECT& r, int paramIdx)
{
  g->AttachControl(new ICaptionControl(r, paramIdx, UIText::valueCaption, DEFAULT_BGCOLOR, true));
}

// The meters' dB scale: a fixed 0..-60 dB ruler beside the meter (top 175, height 545), each
// label 15 pixels high around 175 + (-dB / 60) * 545, kept apart from the meter's own level
// mapping so that the ruler reads the same whatever the meter does.
struct ScaleMark {
  const char* text;
  int top;
};
constexpr ScaleMark kScaleMarks[] = {
    {"0", 168}, {"-6", 222}, {"-12", 277}, {"-24", 386}, {"-48", 604}};
constexpr int kScaleMarkHeight = 15;

void AttachDbScale(ICanvas* g, int left, int right, const IText& style)
{
  for (const ScaleMark& mark : kScaleMarks)
    AttachLabel(g, Rect(left, mark.top, right, mark.top + kScaleMarkHeight), mark.text, style);
}

// A centre row: label, horizontal slider over the full row height, and a caption 8 pixels
// shorter at top and bottom.
void AttachCenterRow(ICanvas* g, int cx, int top, int bottom, const char* label, int paramIdx)
{
  AttachLabel(g, Rect(cx - 285, top, cx - 180, bottom), label, UIText::sectionLabel);
  g->AttachControl(
    new WeatheredSliderControl(Rect(cx - 175, top, cx + 175, bottom), paramIdx, kHorizontal));
  AttachCaption(g, Rect(cx + 185, top + 8, cx + 245, bottom - 8), paramIdx);
}

} // namespace

void LayoutUmbravoxEditor(ICanvas& g, IEffectBase& plugin, const UmbravoxLiveValues& live)
{
  // The whole interface zooms with the window; the layout itself is never rebuilt on resize.
  g.AttachCornerResizer(EUIResizerMode::kScale, false);

  g.LoadFont(kFontRoboto, kFontRobotoFile);
  g.LoadFont(kFontCinzel, kFontCinzelFile);
  g.LoadFont(kFontGipsyCurse, kFontGipsyCurseFile);

  const IRECT bounds(0.f, 0.f, static_cast<float>(g.Width()), static_cast<float>(g.Height()));

  AttachBackground(&g, bounds, live.tempo, live.inputPeakDb, live.outputPeakDb);
  AttachHeader(&g, kEditorDesignWidth, &plugin);
  AttachInputSection(&g);
  AttachOutputSection(&g, kEditorDesignWidth);
  AttachCenterControls(&g, kEditorDesignWidth);
  AttachSeparator(&g, kEditorDesignWidth);
  AttachPitchSection(&g, kEditorDesignWidth);
  AttachPopups(&g, bounds);
}

void AttachBackground(ICanvas* g, const IRECT& bounds, std::atomic<float>* tempo,
                      std::atomic<float>* inputLevel, std::atomic<float>* outputLevel)
{
  g->AttachPanelBackground(IPattern(kEditorPanelColor));
  g->AttachControl(new IBitmapControl(bounds, g->LoadBitmap("background_ghost.png", 1, false, 0),
                                      ui::kNoParameter, kBlendDefault));

  // Over the picture and under every control, each redrawn every frame from the live values.
  g->AttachControl(CreateHauntedGlowOverlay(bounds, UIColors::glowPurple, tempo, inputLevel,
                                            outputLevel));
  g->AttachControl(
    CreateDriftingFogOverlay(bounds, UIColors::paleGhost, UIColors::glowPurple, tempo, outputLevel));
  g->AttachControl(
    CreateFallingDustOverlay(bounds, UIColors::paleGhost, UIColors::glowPurple, tempo, inputLevel));
  g->AttachControl(CreateHauntedGlitchOverlay(bounds, UIColors::paleGhost, UIColors::glowPurple,
                                              tempo, outputLevel));
}

void AttachHeader(ICanvas* g, int width, IEffectBase* plugin)
{
  const int w = width;
  AttachLabel(g, Rect(0, 8, w, 55), "Umbra Vox", UIText::title);
  const IBitmap ghost = g->LoadBitmap("GhostIcon.png", 1, false, 0);
  g->SetWindowIcon(ghost); // the desktop shows the same ghost for the editor's window
  g->AttachControl(new GhostIconButton(Rect(12, 10, 48, 46), ghost));
  g->AttachControl(new PresetIconButton(Rect(w - 48, 10, w - 12, 46),
                                        g->LoadBitmap("PresetIcon.png", 1, false, 0)));

  auto* presetName =
    new PresetNameControl(Rect(w - 200, 18, w - 54, 40), UIText::presetName, UIColors::glowPurple);
  presetName->UpdatePresetName(plugin);
  g->AttachControl(presetName, kCtrlTagPresetName);
}

void AttachInputSection(ICanvas* g)
{
  AttachLabel(g, Rect(20, 120, 140, 145), "INPUT", UIText::sectionLabel);
  g->AttachControl(new WeatheredSliderControl(Rect(35, 155, 85, 720), kInput, kVertical));
  AttachCaption(g, Rect(20, 730, 100, 755), kInput);
  g->AttachControl(new HauntedMeterControl(Rect(95, 175, 135, 720), "", DEFAULT_STYLE),
                   kCtrlTagInputMeter);
  AttachDbScale(g, 138, 173, UIText::dbScaleInput);
}

void AttachOutputSection(ICanvas* g, int width)
{
  const int w = width;
  AttachLabel(g, Rect(w - 140, 120, w - 20, 145), "OUTPUT", UIText::sectionLabel);
  g->AttachControl(new HauntedMeterControl(Rect(w - 135, 175, w - 95, 720), "", DEFAULT_STYLE),
                   kCtrlTagOutputMeter);
  g->AttachControl(new WeatheredSliderControl(Rect(w - 85, 155, w - 35, 720), kOutput, kVertical));
  AttachCaption(g, Rect(w - 100, 730, w - 20, 755), kOutput);
  AttachDbScale(g, w - 173, w - 138, UIText::dbScaleOutput);
}

void AttachCenterControls(ICanvas* g, int width)
{
  const int cx = width / 2;
  AttachCenterRow(g, cx, 140, 180, "Haunt", kHaunt);
  AttachCenterRow(g, cx, 208, 248, "Possess", kPossess);
  AttachCenterRow(g, cx, 276, 316, "Freeze", kFreeze);
  AttachCenterRow(g, cx, 344, 384, "Smear", kSmear);

  // The Whisper row shares its width with the whisper mode and the resonance, which has no
  // caption of its own.
  AttachLabel(g, Rect(cx - 285, 412, cx - 180, 452), "Whisper", UIText::sectionLabel);
  g->AttachControl(
    new WeatheredSliderControl(Rect(cx - 175, 412, cx - 105, 452), kWhisper, kHorizontal));
  AttachCaption(g, Rect(cx - 100, 420, cx - 50, 444), kWhisper);
  g->AttachControl(
    new WhisperModeButton(Rect(cx - 45, 417, cx + 20, 447), kWhisperMode, UIColors::paleGhost));
  AttachLabel(g, Rect(cx + 20, 420, cx + 70, 444), "Res", UIText::resLabel);
  g->AttachControl(
    new WeatheredSliderControl(Rect(cx + 75, 412, cx + 175, 452), kResonance, kHorizontal));

  AttachCenterRow(g, cx, 480, 520, "Mix", kMix);
}

void AttachSeparator(ICanvas* g, int width)
{
  const int cx = width / 2;
  // A 2-pixel line that fades in and out at its ends.
  g->AttachControl(new ILambdaControl(
    Rect(cx - 280, 543, cx + 280, 545),
    [](ILambdaControl*, ICanvas& c, const IRECT& r) {
      const float mid = (r.T + r.B) / 2.f;
      const IColor teal{127, UIColors::ghostTeal.R, UIColors::ghostTeal.G, UIColors::ghostTeal.B};
      const IPattern pattern = IPattern::CreateLinearGradient(
        r.L, mid, r.R, mid,
        {IColorStop(COLOR_TRANSPARENT, 0.f), IColorStop(teal, 0.3f), IColorStop(teal, 0.7f),
         IColorStop(COLOR_TRANSPARENT, 1.f)});
      c.PathRect(r);
      c.PathFill(pattern, IFillOptions(), nullptr);
    },
    0, false, false, ui::kNoParameter, true));
}

void AttachPitchSection(ICanvas* g, int width)
{
  const int cx = width / 2;
  g->AttachControl(new ILambdaControl(
    Rect(cx - 360, 553, cx + 360, 743),
    [](ILambdaControl*, ICanvas& c, const IRECT& r) {
      c.FillRoundRect(UIColors::darkPanel, r, 8.f, nullptr);
    },
    0, false, false, ui::kNoParameter, true));
  AttachLabel(g, Rect(cx - 150, 563, cx + 150, 585), "PITCH SHIFT", UIText::pitchCaption);

  AttachLabel(g, Rect(cx - 285, 593, cx - 180, 633), "Octave", UIText::sectionLabel);
  g->AttachControl(new LEDTabSwitchControl(Rect(cx - 175, 598, cx + 175, 633), kOctave,
                                           kOctaveTabLabels, UIColors::pitchLED, UIColors::paleGhost));

  AttachLabel(g, Rect(cx - 360, 648, cx - 265, 688), "Interval", UIText::sectionLabel);
  g->AttachControl(new LEDTabSwitchControl(
    Rect(cx - 260, 653, cx + 260, 688), kInterval, kIntervalTabLabels, UIColors::pitchLED,
    UIColors::paleGhost));

  AttachLabel(g, Rect(cx - 285, 703, cx - 180, 743), "Fine", UIText::sectionLabel);
  g->AttachControl(
    new WeatheredSliderControl(Rect(cx - 175, 703, cx + 175, 743), kFine, kHorizontal));
  AttachCaption(g, Rect(cx + 185, 711, cx + 245, 731), kFine);
}

void AttachPopups(ICanvas* g, const IRECT& bounds)
{
  // Both start hidden and lie over everything else; the preset browser is the topmost.
  g->AttachControl(
    new AboutPopup(bounds, kPopupPanelColor, UIColors::paleGhost, UIColors::glowPurple));
  g->AttachControl(
    new PresetPopup(bounds, kPopupPanelColor, UIColors::paleGhost, UIColors::glowPurple));
}

bool ShowEditorPopup(ICanvas& g, std::string_view which)
{
  const auto isShown = [&g, which] {
    if (which == "about") {
      const AboutPopup* about = AboutPopupOf(g);
      return about && about->IsVisible();
    }
    const PresetPopup* presets = PresetPopupOf(g);
    return presets && presets->IsOpen();
  };
  IControl* icon = nullptr;
  for (int i = 0; i < g.NControls() && !icon; ++i) {
    IControl* control = g.GetControl(i);
    if ((which == "about" && dynamic_cast<GhostIconButton*>(control)) ||
        (which == "presets" && dynamic_cast<PresetIconButton*>(control)))
      icon = control;
  }
  if (!icon)
    return false;
  if (isShown())
    return true;

  // A click at the icon's centre, routed as the platform would route it; when the other popup
  // covers the icon, the click goes to the icon itself, as a click on it would with the other
  // popup closed.
  const float x = icon->GetRECT().MW(), y = icon->GetRECT().MH();
  IMouseMod mod;
  mod.L = true;
  if (g.GetMouseControl(x, y, false) == icon) {
    g.OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, mod}});
    g.OnMouseUp({IMouseInfo{x, y, 0.f, 0.f, mod}});
  }
  else {
    icon->OnMouseDown(x, y, mod);
    icon->OnMouseUp(x, y, mod);
  }
  return isShown();
}

} // namespace umbra
