#pragma once

#include <memory>
#include <string>
#include <utility>

namespace umbra::ui {

// A decoded image as the drawing back end holds it. Its size is in device pixels; the scale is
// the one it was loaded for (an @2x file has scale 2), so that it can be drawn at its logical
// size with full device detail.
class APIBitmap {
public:
  APIBitmap(int width, int height, float scale, float drawScale = 1.f)
    : mWidth(width), mHeight(height), mScale(scale), mDrawScale(drawScale)
  {
  }
  virtual ~APIBitmap() = default;

  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }
  float GetScale() const { return mScale; }
  float GetDrawScale() const { return mDrawScale; }

private:
  int mWidth;
  int mHeight;
  float mScale;
  float mDrawScale;
};

// What controls hold: a handle on a back-end bitmap shared with the bitmap cache, with the
// logical size and the frame layout of a multi-frame strip. The default is the empty bitmap,
// which draws nothing.
class IBitmap {
public:
  IBitmap() = default;

  // The logical size is the device size divided by the load scale, truncated.
  IBitmap(std::shared_ptr<APIBitmap> apiBitmap, int nFrames, bool framesAreHorizontal,
          std::string resourceName)
    : mAPIBitmap(std::move(apiBitmap)), mN(nFrames < 1 ? 1 : nFrames),
      mFramesAreHorizontal(framesAreHorizontal), mResourceName(std::move(resourceName))
  {
    if (mAPIBitmap) {
      mW = static_cast<int>(static_cast<float>(mAPIBitmap->GetWidth()) / mAPIBitmap->GetScale());
      mH = static_cast<int>(static_cast<float>(mAPIBitmap->GetHeight()) / mAPIBitmap->GetScale());
    }
  }

  bool IsValid() const { return mAPIBitmap != nullptr; }
  APIBitmap* GetAPIBitmap() const { return mAPIBitmap.get(); }
  const std::shared_ptr<APIBitmap>& GetSharedAPIBitmap() const { return mAPIBitmap; }

  // Logical size of the whole strip, and of one frame.
  int W() const { return mW; }
  int H() const { return mH; }
  int FW() const { return mFramesAreHorizontal ? mW / mN : mW; }
  int FH() const { return mFramesAreHorizontal ? mH : mH / mN; }
  int N() const { return mN; }
  bool GetFramesAreHorizontal() const { return mFramesAreHorizontal; }
  const std::string& GetResourceName() const { return mResourceName; }
  float GetScale() const { return mAPIBitmap ? mAPIBitmap->GetScale() : 1.f; }
  float GetDrawScale() const { return mAPIBitmap ? mAPIBitmap->GetDrawScale() : 1.f; }

private:
  std::shared_ptr<APIBitmap> mAPIBitmap;
  int mW = 0;
  int mH = 0;
  int mN = 1;
  bool mFramesAreHorizontal = false;
  std::string mResourceName;
};

} // namespace umbra::ui
