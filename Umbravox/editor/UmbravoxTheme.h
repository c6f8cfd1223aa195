#pragma once

// The editor's look, shared by every editor control and by the layout: the palette, the font
// identifiers and the named text styles. (The controls that other controls reach belong to each
// editor: UmbravoxEditorParts.h.)

#include <algorithm>

#include "ICanvasStructs.h"
#include "UmbravoxParams.h"

namespace umbra {

// The themed controls turn their animation phases over at this rounded 2 pi, and build the alphas
// of their colours from 0..1 opacities, truncated.
inline constexpr float kPhaseTurn = 6.28318f;
inline int OpacityToAlpha(float opacity)
{
  return static_cast<int>(255.f * std::clamp(opacity, 0.f, 1.f));
}

namespace UIColors {
// (A, R, G, B)
inline const ui::IColor ghostTeal{255, 60, 100, 100};      // "PITCH SHIFT" caption, separator
inline const ui::IColor paleGhost{255, 180, 170, 190};     // ordinary text, overlays, LED labels
inline const ui::IColor glowPurple{255, 120, 80, 160};     // glow overlay, preset name glow, popups
inline const ui::IColor darkPanel{180, 20, 18, 25};        // pitch panel fill, translucent
inline const ui::IColor pitchLED{255, 100, 180, 200};      // lit LED tabs
inline const ui::IColor weatheredHandle{255, 85, 80, 95};  // slider handle
} // namespace UIColors

// The window's base colour under the background picture, and the popups' panel.
inline const ui::IColor kEditorPanelColor{255, 18, 16, 14};
inline const ui::IColor kPopupPanelColor{240, 20, 18, 28};

// Font identifiers under which the layout loads the faces, and their files.
inline constexpr const char* kFontRoboto = "Roboto-Regular";
inline constexpr const char* kFontCinzel = "Cinzel";
inline constexpr const char* kFontGipsyCurse = "GipsyCurse";
inline constexpr const char* kFontRobotoFile = "Roboto-Regular.ttf";
inline constexpr const char* kFontCinzelFile = "Cinzel-Regular.ttf";
inline constexpr const char* kFontGipsyCurseFile = "GipsyCurse.ttf";

// Every style keeps the default text-entry colours, angle 0 and vertical alignment middle.
namespace UIText {
inline const ui::IText title{48.f, UIColors::paleGhost, kFontGipsyCurse, ui::kAlignCenter};
inline const ui::IText sectionLabel{18.f, UIColors::paleGhost, kFontRoboto, ui::kAlignCenter};
inline const ui::IText valueCaption{16.f, UIColors::paleGhost, kFontRoboto, ui::kAlignFar};
inline const ui::IText pitchCaption{16.f, UIColors::ghostTeal, kFontRoboto, ui::kAlignCenter};
inline const ui::IText presetName{14.f, UIColors::paleGhost, kFontRoboto, ui::kAlignFar};
inline const ui::IText resLabel{14.f, UIColors::paleGhost, kFontRoboto, ui::kAlignFar};
inline const ui::IText dbScaleInput{10.f, UIColors::paleGhost, kFontRoboto, ui::kAlignNear};
inline const ui::IText dbScaleOutput{10.f, UIColors::paleGhost, kFontRoboto, ui::kAlignFar};
} // namespace UIText

} // namespace umbra
