#pragma once

#include <string>

#include "IBitmap.h"
#include "IControl.h"

namespace umbra::ui {

// What a control needs to draw one frame of a multi-frame bitmap picked by its value.
class IBitmapBase {
public:
  IBitmapBase(const IBitmap& bitmap, EBlend blend = kBlendDefault)
    : mBitmap(bitmap), mBitmapName(bitmap.GetResourceName()), mBlendMethod(blend)
  {
  }
  virtual ~IBitmapBase() = default;

  // Frame 1 for a single-frame bitmap, else the frame nearest the value.
  void DrawBitmap(ICanvas& g);
  // The 1-based frame and its top-left corner in the strip (logical pixels).
  int GetFrame() const;
  void GetSourceOffset(int frame, int& x, int& y) const;

  const IBitmap& GetBitmap() const { return mBitmap; }
  void SetBitmap(const IBitmap& bitmap) { mBitmap = bitmap; mBitmapName = bitmap.GetResourceName(); }

protected:
  void AttachIControl(IControl* control) { mControl = control; }

  IBitmap mBitmap;
  std::string mBitmapName;
  EBlend mBlendMethod;
  IControl* mControl = nullptr;
};

class IBitmapControl : public IControl, public IBitmapBase {
public:
  IBitmapControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = kNoParameter,
                 EBlend blend = kBlendDefault);
  // Bounds of the bitmap's frame size at (x, y).
  IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoParameter,
                 EBlend blend = kBlendDefault);

  void Draw(ICanvas& g) override { DrawBitmap(g); }
  // Swaps in the variant of the bitmap for the new scale.
  void OnRescale() override;
};

} // namespace umbra::ui
