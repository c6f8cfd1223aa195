#pragma once

#include <string>

#include "IControl.h"

namespace umbra::ui {

// A string drawn in the control's text style over a background colour. Static labels ignore the
// mouse.
class ITextControl : public IControl {
public:
  // With setBoundsBasedOnStr the bounds shrink or grow to the measured string, keeping their
  // centre.
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = DEFAULT_TEXT,
               const IColor& bgColor = DEFAULT_BGCOLOR, bool setBoundsBasedOnStr = false);

  void Draw(ICanvas& g) override;
  void OnInit() override;

  virtual void SetStr(const char* str);
  // printf-style, cut to maxlen characters.
  virtual void SetStrFmt(int maxlen, const char* format, ...);
  virtual void ClearStr() { SetStr(""); }

  const char* GetStr() const { return mStr.c_str(); }
  const IColor& GetBGColor() const { return mBGColor; }
  void SetBoundsBasedOnStr();

protected:
  std::string mStr;
  IColor mBGColor;
  bool mSetBoundsBasedOnStr = false;
};

// The display text of a parameter's current value, optionally with its unit label. An
// enumerated parameter also gets a small triangle hinting at the menu behind a click.
class ICaptionControl : public ITextControl {
public:
  ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text = DEFAULT_TEXT,
                  const IColor& bgColor = DEFAULT_BGCOLOR, bool showParamLabel = true);

  void Draw(ICanvas& g) override;
  void OnResize() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;

  // Empty unless the parameter is enumerated.
  const IRECT& GetTriangleRECT() const { return mTriangleRect; }

protected:
  bool mShowParamLabel;
  IColor mTriangleColor = COLOR_BLACK;
  IColor mTriangleMouseOverColor = COLOR_WHITE;
  IRECT mTriangleRect;
};

} // namespace umbra::ui
