#pragma once

// The value types every control, the graphics context and the drawing back end pass around:
// rectangles, colours, blends, paint patterns, text styles and the vector-control style. All are
// plain copyable values without heap memory. The named constants are constexpr: they are fixed
// in the image before any code runs, so no static initialiser elsewhere can read them unset.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace umbra::ui {

// ---------------------------------------------------------------------------------------------
// Rectangles

// Logical pixels of the editor, origin top-left, y growing downwards. All four values 0 is the
// empty rectangle. Every operation returns a new rectangle and leaves the receiver unchanged.
struct IRECT {
  float L = 0.f;
  float T = 0.f;
  float R = 0.f;
  float B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}

  // Left and top edges are inside, right and bottom edges outside; the empty rectangle holds
  // nothing, not even its own origin.
  bool Contains(float x, float y) const;

  constexpr bool Empty() const { return L == 0.f && T == 0.f && R == 0.f && B == 0.f; }
  constexpr float W() const { return R - L; }
  constexpr float H() const { return B - T; }
  constexpr float MW() const { return 0.5f * (L + R); }
  constexpr float MH() const { return 0.5f * (T + B); }

  // Grows every side outwards by pad; a negative pad shrinks.
  constexpr IRECT GetPadded(float pad) const { return {L - pad, T - pad, R + pad, B + pad}; }
  // Grows each side outwards by its own amount; negative amounts shrink that side.
  constexpr IRECT GetPadded(float left, float top, float right, float bottom) const
  {
    return {L - left, T - top, R + right, B + bottom};
  }

  // A slice of the given height or width taken from one side.
  constexpr IRECT GetFromTop(float h) const { return {L, T, R, T + h}; }
  constexpr IRECT GetFromBottom(float h) const { return {L, B - h, R, B}; }
  constexpr IRECT GetFromLeft(float w) const { return {L, T, L + w, B}; }
  constexpr IRECT GetFromRight(float w) const { return {R - w, T, R, B}; }

  // What remains after cutting the given height or width off one side.
  constexpr IRECT GetReducedFromTop(float h) const { return {L, T + h, R, B}; }
  constexpr IRECT GetReducedFromBottom(float h) const { return {L, T, R, B - h}; }
  constexpr IRECT GetReducedFromLeft(float w) const { return {L + w, T, R, B}; }
  constexpr IRECT GetReducedFromRight(float w) const { return {L, T, R - w, B}; }

  // Strip i of n equal full-height columns, left to right. The edges are L + i·W/n, computed in
  // that order so that neighbouring strips share their edge exactly.
  constexpr IRECT GetColumn(int i, int n) const
  {
    return {L + static_cast<float>(i) * W() / static_cast<float>(n), T,
            L + static_cast<float>(i + 1) * W() / static_cast<float>(n), B};
  }
  // Strip i of n equal full-width rows, top to bottom.
  constexpr IRECT GetRow(int i, int n) const
  {
    return {L, T + static_cast<float>(i) * H() / static_cast<float>(n), R,
            T + static_cast<float>(i + 1) * H() / static_cast<float>(n)};
  }
  constexpr IRECT GetGridCell(int row, int col, int nRows, int nCols) const
  {
    return GetRow(row, nRows).GetColumn(col, nCols);
  }

  constexpr IRECT GetCentredInside(float w, float h) const
  {
    return {MW() - 0.5f * w, MH() - 0.5f * h, MW() + 0.5f * w, MH() + 0.5f * h};
  }

  constexpr IRECT GetTranslated(float dx, float dy) const { return {L + dx, T + dy, R + dx, B + dy}; }

  constexpr IRECT Union(const IRECT& other) const
  {
    if (Empty())
      return other;
    if (other.Empty())
      return *this;
    return {std::min(L, other.L), std::min(T, other.T), std::max(R, other.R), std::max(B, other.B)};
  }

  // The common area, or the empty rectangle when the two share no area.
  constexpr IRECT Intersect(const IRECT& other) const
  {
    const IRECT common{std::max(L, other.L), std::max(T, other.T), std::min(R, other.R),
                       std::min(B, other.B)};
    if (Empty() || other.Empty() || common.W() <= 0.f || common.H() <= 0.f)
      return {};
    return common;
  }

  constexpr IRECT GetScaled(float scale) const { return {L * scale, T * scale, R * scale, B * scale}; }

  // The smallest rectangle on the device pixel grid of the given scale that covers this one.
  IRECT GetPixelAligned(float scale) const
  {
    return {std::floor(L * scale) / scale, std::floor(T * scale) / scale, std::ceil(R * scale) / scale,
            std::ceil(B * scale) / scale};
  }

  constexpr bool operator==(const IRECT&) const = default;
};

// ---------------------------------------------------------------------------------------------
// Colours

// Channels 0..255; the default is opaque black.
struct IColor {
  int32_t A = 255;
  int32_t R = 0;
  int32_t G = 0;
  int32_t B = 0;

  constexpr IColor() = default;
  constexpr IColor(int32_t a, int32_t r, int32_t g, int32_t b) : A(a), R(r), G(g), B(b) {}

  // The same colour at the given opacity (0..1, clamped).
  IColor WithOpacity(float alpha) const
  {
    return {static_cast<int32_t>(std::lround(std::clamp(alpha, 0.f, 1.f) * 255.f)), R, G, B};
  }

  constexpr bool operator==(const IColor&) const = default;
};

inline constexpr IColor COLOR_TRANSPARENT{0, 0, 0, 0};
inline constexpr IColor COLOR_TRANSLUCENT{10, 0, 0, 0};
inline constexpr IColor COLOR_BLACK{255, 0, 0, 0};
inline constexpr IColor COLOR_BLACK_DROP_SHADOW{128, 0, 0, 0};
inline constexpr IColor COLOR_GRAY{255, 127, 127, 127};
inline constexpr IColor COLOR_LIGHT_GRAY{255, 240, 240, 240};
inline constexpr IColor COLOR_MID_GRAY{255, 200, 200, 200};
inline constexpr IColor COLOR_DARK_GRAY{255, 70, 70, 70};
inline constexpr IColor COLOR_WHITE{255, 255, 255, 255};
inline constexpr IColor COLOR_RED{255, 255, 0, 0};
inline constexpr IColor COLOR_GREEN{255, 0, 255, 0};
inline constexpr IColor COLOR_BLUE{255, 0, 0, 255};
inline constexpr IColor COLOR_YELLOW{255, 255, 255, 0};
inline constexpr IColor COLOR_ORANGE{255, 255, 127, 0};
inline constexpr IColor COLOR_INDIGO{255, 75, 0, 130};
inline constexpr IColor COLOR_VIOLET{255, 148, 0, 211};
inline constexpr IColor LED1{255, 36, 157, 16};
inline constexpr IColor LED2{255, 153, 191, 28};
inline constexpr IColor LED3{255, 215, 222, 37};
inline constexpr IColor LED4{255, 247, 153, 33};

inline constexpr IColor DEFAULT_BGCOLOR = COLOR_TRANSPARENT;
inline constexpr IColor DEFAULT_FGCOLOR = COLOR_MID_GRAY;
inline constexpr IColor DEFAULT_PRCOLOR = COLOR_LIGHT_GRAY;
inline constexpr IColor DEFAULT_FRCOLOR = COLOR_DARK_GRAY;
inline constexpr IColor DEFAULT_HLCOLOR = COLOR_TRANSLUCENT;
inline constexpr IColor DEFAULT_SHCOLOR{60, 0, 0, 0};
inline constexpr IColor DEFAULT_X1COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_X2COLOR = COLOR_GREEN;
inline constexpr IColor DEFAULT_X3COLOR = COLOR_BLUE;
inline constexpr IColor DEFAULT_TEXT_FGCOLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_TEXTENTRY_BGCOLOR = COLOR_WHITE;
inline constexpr IColor DEFAULT_TEXTENTRY_FGCOLOR = COLOR_BLACK;

// ---------------------------------------------------------------------------------------------
// Blends

// Porter-Duff compositing operators; kBlendAdd weighs source and destination by their alphas.
enum EBlend : int32_t {
  kBlendDefault = 0, // source over
  kBlendSourceIn,
  kBlendSourceOut,
  kBlendSourceAtop,
  kBlendDestOver,
  kBlendDestIn,
  kBlendDestOut,
  kBlendDestAtop,
  kBlendAdd,
  kBlendXOR
};

// The weight (0..1) scales the alpha of everything drawn with the blend.
struct IBlend {
  EBlend mMethod = kBlendDefault;
  float mWeight = 1.f;

  constexpr IBlend() = default;
  constexpr IBlend(EBlend method, float weight) : mMethod(method), mWeight(weight) {}
};

// Drawing calls take an optional blend; no blend is plain source-over at full weight.
constexpr float BlendWeight(const IBlend* blend) { return blend ? blend->mWeight : 1.f; }
constexpr EBlend BlendMethod(const IBlend* blend) { return blend ? blend->mMethod : kBlendDefault; }

inline constexpr IBlend BLEND_75{kBlendDefault, 0.75f};
inline constexpr IBlend BLEND_50{kBlendDefault, 0.5f};
inline constexpr IBlend BLEND_25{kBlendDefault, 0.25f};
inline constexpr IBlend BLEND_10{kBlendDefault, 0.1f};
inline constexpr IBlend BLEND_05{kBlendDefault, 0.05f};
inline constexpr IBlend BLEND_01{kBlendDefault, 0.01f};
inline constexpr IBlend BLEND_DST_IN{kBlendDestIn, 1.f};
inline constexpr IBlend BLEND_DST_OVER{kBlendDestOver, 1.f};

// ---------------------------------------------------------------------------------------------
// Affine transforms

// (x, y) maps to (xx·x + xy·y + tx, yx·x + yy·y + ty).
struct IMatrix {
  double mXX = 1.0;
  double mYX = 0.0;
  double mXY = 0.0;
  double mYY = 1.0;
  double mTX = 0.0;
  double mTY = 0.0;

  constexpr IMatrix() = default;
  constexpr IMatrix(double xx, double yx, double xy, double yy, double tx, double ty)
    : mXX(xx), mYX(yx), mXY(xy), mYY(yy), mTX(tx), mTY(ty)
  {
  }

  constexpr void Transform(double& x, double& y) const
  {
    const double x0 = x;
    x = mXX * x0 + mXY * y + mTX;
    y = mYX * x0 + mYY * y + mTY;
  }
  constexpr void Transform(float& x, float& y) const
  {
    double dx = x, dy = y;
    Transform(dx, dy);
    x = static_cast<float>(dx);
    y = static_cast<float>(dy);
  }

  // Replaces the matrix by its inverse. A singular matrix has none and is left as it is.
  constexpr IMatrix& Invert()
  {
    const double det = mXX * mYY - mXY * mYX;
    if (det == 0.0)
      return *this;
    *this = IMatrix(mYY / det, -mYX / det, -mXY / det, mXX / det, (mXY * mTY - mYY * mTX) / det,
                    (mYX * mTX - mXX * mTY) / det);
    return *this;
  }

  constexpr bool operator==(const IMatrix&) const = default;
};

// Composition: (a * b) maps a point through b first, then through a.
constexpr IMatrix operator*(const IMatrix& a, const IMatrix& b)
{
  return {a.mXX * b.mXX + a.mXY * b.mYX,         a.mYX * b.mXX + a.mYY * b.mYX,
          a.mXX * b.mXY + a.mXY * b.mYY,         a.mYX * b.mXY + a.mYY * b.mYY,
          a.mXX * b.mTX + a.mXY * b.mTY + a.mTX, a.mYX * b.mTX + a.mYY * b.mTY + a.mTY};
}

// ---------------------------------------------------------------------------------------------
// Paint patterns

enum EPatternKind : int32_t { kPatternSolid = 0, kPatternLinear, kPatternRadial };

// What a gradient does at positions outside 0..1.
enum EPatternSpread : int32_t { kSpreadNone = 0, kSpreadPad, kSpreadReflect, kSpreadRepeat };

struct IColorStop {
  IColor mColor;
  float mOffset = 0.f; // 0..1 along the gradient

  constexpr IColorStop() = default;
  constexpr IColorStop(const IColor& color, float offset) : mColor(color), mOffset(offset) {}
};

struct IPattern {
  static constexpr int kMaxStops = 16;

  EPatternKind mKind = kPatternSolid;
  EPatternSpread mSpread = kSpreadPad;
  IColorStop mStops[kMaxStops] = {};
  int32_t mNStops = 0;
  IMatrix mTransform; // editor coordinates into gradient space

  // Opaque black, like the default colour.
  constexpr IPattern() : IPattern(IColor()) {}
  // A pattern of the given kind with no stops yet.
  constexpr explicit IPattern(EPatternKind kind) : mKind(kind) {}
  // Solid paint: a single stop.
  constexpr IPattern(const IColor& color) { AddStop(color, 0.f); }

  // Builds a linear gradient between two points; at most the first 16 stops are kept. The two
  // points must differ.
  static IPattern CreateLinearGradient(float x1, float y1, float x2, float y2,
                                       std::initializer_list<IColorStop> stops);

  // Stops go in increasing offset order; a stop beyond the sixteenth is dropped.
  constexpr void AddStop(const IColor& color, float offset)
  {
    if (mNStops < kMaxStops)
      mStops[mNStops++] = IColorStop(color, offset);
  }
  constexpr int NStops() const { return mNStops; }
  constexpr const IColorStop& GetStop(int i) const { return mStops[i]; }
};

// ---------------------------------------------------------------------------------------------
// Text

enum EHorizontalAlign : int32_t { kAlignNear = 0, kAlignCenter, kAlignFar };
enum EVerticalAlign : int32_t { kVAlignTop = 0, kVAlignMiddle, kVAlignBottom };

inline constexpr const char* kDefaultFont = "Roboto-Regular";

struct IText {
  static constexpr int kMaxFontLength = 64; // including the terminating NUL

  // The identifier under which the font was loaded.
  char mFont[kMaxFontLength] = {};
  float mSize = 14.f;
  IColor mFGColor = DEFAULT_TEXT_FGCOLOR;
  // Colours of the field when the text is edited in place.
  IColor mTextEntryBGColor = DEFAULT_TEXTENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXTENTRY_FGCOLOR;
  float mAngle = 0.f; // degrees, 0 horizontal
  EHorizontalAlign mAlign = kAlignCenter;
  EVerticalAlign mVAlign = kVAlignMiddle;

  constexpr IText() { SetFont(kDefaultFont); }

  constexpr IText(float size, const IColor& color, const char* font = kDefaultFont,
                  EHorizontalAlign align = kAlignCenter, EVerticalAlign valign = kVAlignMiddle,
                  float angle = 0.f, const IColor& entryBG = DEFAULT_TEXTENTRY_BGCOLOR,
                  const IColor& entryFG = DEFAULT_TEXTENTRY_FGCOLOR)
    : mSize(size), mFGColor(color), mTextEntryBGColor(entryBG), mTextEntryFGColor(entryFG),
      mAngle(angle), mAlign(align), mVAlign(valign)
  {
    SetFont(font);
  }

  constexpr explicit IText(float size, EVerticalAlign valign = kVAlignMiddle,
                           const IColor& color = DEFAULT_TEXT_FGCOLOR)
    : IText(size, color, kDefaultFont, kAlignCenter, valign)
  {
  }

  constexpr IText(float size, EHorizontalAlign align, const IColor& color = DEFAULT_TEXT_FGCOLOR)
    : IText(size, color, kDefaultFont, align)
  {
  }

  // Names longer than the field are cut; a null name leaves the field empty.
  constexpr void SetFont(const char* font)
  {
    int i = 0;
    for (; font && font[i] != '\0' && i < kMaxFontLength - 1; ++i)
      mFont[i] = font[i];
    for (; i < kMaxFontLength; ++i)
      mFont[i] = '\0';
  }

  constexpr IText WithFont(const char* font) const { IText t = *this; t.SetFont(font); return t; }
  constexpr IText WithSize(float size) const { IText t = *this; t.mSize = size; return t; }
  constexpr IText WithFGColor(const IColor& c) const { IText t = *this; t.mFGColor = c; return t; }
  constexpr IText WithAlign(EHorizontalAlign a) const { IText t = *this; t.mAlign = a; return t; }
  constexpr IText WithVAlign(EVerticalAlign v) const { IText t = *this; t.mVAlign = v; return t; }
  constexpr IText WithAngle(float angle) const { IText t = *this; t.mAngle = angle; return t; }
};

inline constexpr IText DEFAULT_TEXT{14.f, kVAlignMiddle};
inline constexpr IText DEFAULT_LABEL_TEXT{19.f, kVAlignTop};
inline constexpr IText DEFAULT_VALUE_TEXT{14.f, kVAlignBottom};

// ---------------------------------------------------------------------------------------------
// Vector-control style

// Colour roles of a vector control.
enum EVColor : int32_t {
  kBG = 0, // background
  kFG,     // foreground
  kPR,     // pressed
  kFR,     // frame
  kHL,     // highlight
  kSH,     // shadow
  kX1,     // extra 1
  kX2,     // extra 2
  kX3,     // extra 3
  kNumVColors
};

struct IVColorSpec {
  IColor mColors[kNumVColors] = {DEFAULT_BGCOLOR, DEFAULT_FGCOLOR, DEFAULT_PRCOLOR,
                                 DEFAULT_FRCOLOR, DEFAULT_HLCOLOR, DEFAULT_SHCOLOR,
                                 DEFAULT_X1COLOR, DEFAULT_X2COLOR, DEFAULT_X3COLOR};

  constexpr IVColorSpec() = default;

  // The given colours take the first roles in order; the remaining roles keep their defaults
  // and colours beyond the last role are ignored.
  constexpr IVColorSpec(std::initializer_list<IColor> colors)
  {
    int role = 0;
    for (auto it = colors.begin(); it != colors.end() && role < kNumVColors; ++it)
      mColors[role++] = *it;
  }

  constexpr const IColor& GetColor(EVColor role) const { return mColors[role]; }
  constexpr const IColor& operator[](EVColor role) const { return mColors[role]; }
  constexpr IColor& operator[](EVColor role) { return mColors[role]; }

  constexpr bool operator==(const IVColorSpec&) const = default;
};

inline constexpr IVColorSpec DEFAULT_COLOR_SPEC{};

// The style of the framework's vector controls. An aggregate, so that a control can name only
// what it changes: IVStyle{.mShowValue = false}.
struct IVStyle {
  bool mHideCursor = true; // while dragging
  bool mShowLabel = true;
  bool mShowValue = true;
  bool mDrawFrame = true;
  bool mDrawShadows = true;
  bool mEmboss = false;
  float mRoundness = 0.f; // 0 square corners .. 1 fully round
  float mFrameThickness = 1.f;
  float mShadowOffset = 3.f;
  float mWidgetFrac = 1.f; // share of the bounds given to the widget
  float mAngle = 0.f;
  IVColorSpec mColorSpec = DEFAULT_COLOR_SPEC;
  IText mLabelText = DEFAULT_LABEL_TEXT;
  IText mValueText = DEFAULT_VALUE_TEXT;
};

inline constexpr IVStyle DEFAULT_STYLE{};

// ---------------------------------------------------------------------------------------------
// Mouse

using ITouchID = std::uintptr_t;

// The modifiers that come with every mouse event: left and right button, shift, control
// (command) and alt, and for touch input the touch and its radius.
struct IMouseMod {
  bool L = false;
  bool R = false;
  bool S = false;
  bool C = false;
  bool A = false;
  ITouchID touchID = 0;
  float touchRadius = 0.f;
};

} // namespace umbra::ui
