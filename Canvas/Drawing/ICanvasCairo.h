#pragma once

#include <string>
#include <vector>

#include <cairo.h>

#include "Drawing/FillQueue.h"
#include "Drawing/ImageFill.h"
#include "Drawing/LargeImage.h"
#include "Drawing/PathShape.h"
#include "Drawing/TextRuns.h"
#include "ICanvas.h"

namespace umbra::ui {

// The drawing back end on Cairo. Everything is drawn into one ARGB32 image of the editor's size
// in device pixels (logical size times the backing scale). The image keeps its content from
// frame to frame, so a frame that repaints only the dirty regions still shows the whole editor.
// Solid and axis-aligned linear-gradient fills of axis-aligned rectangles and ellipses are
// written straight into the image (ImageFill.h); everything else goes through Cairo. Direct fills
// are held until something else needs the image and then run together, band by band
// (FillQueue.h).
class ICanvasCairo : public ICanvas {
public:
  ICanvasCairo(int width, int height, float drawScale = 1.f);
  ~ICanvasCairo() override;

  // Draws every fill through Cairo, as the reference the direct fills are measured against.
  // On by default when UMBRAVOX_CAIRO_REFERENCE=1 is set in the environment.
  void SetReferenceDrawing(bool reference) { mReferenceDrawing = reference; }
  bool IsReferenceDrawing() const { return mReferenceDrawing; }

  void EndFrame() override;

  void PathClear() override;
  void PathClose() override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override;
  void PathArc(float cx, float cy, float r, float a1, float a2,
               EWinding winding = kWindingCW) override;
  void PathSetWinding(bool clockwise) override;
  void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                const IBlend* blend = nullptr) override;
  void PathStroke(const IPattern& pattern, float thickness,
                  const IStrokeOptions& options = IStrokeOptions(),
                  const IBlend* blend = nullptr) override;

  void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                  const IBlend* blend = nullptr) override;

  // png, jpg or jpeg in any case, with or without the dot.
  bool BitmapExtSupported(const char* ext) const override;
  std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::string& path, int scale) override;
  std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::uint8_t* data, std::size_t size,
                                           int scale) override;
  bool LoadAPIFont(const char* fontID, const std::vector<std::uint8_t>& bytes,
                   int faceIndex = 0) override;

  // The image: its size in device pixels, a pixel (un-premultiplied; transparent black outside
  // the image), and a PNG copy of it.
  int DeviceWidth() const;
  int DeviceHeight() const;
  IColor GetPixel(int x, int y) const;
  bool SavePNG(const std::string& path) const;
  cairo_surface_t* GetSurface() const
  {
    RunHeldFills();
    return mSurface;
  }

protected:
  void PathTransformSetMatrix(const IMatrix& matrix) override;
  void SetClipRegion(const IRECT& r) override;
  void DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                  const IBlend* blend) override;
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) override;
  void DrawResize() override;
  // The image the canvas draws into, made whenever the canvas makes its image (at its creation
  // and at DrawResize). A platform may hand out memory the window system reads from.
  virtual cairo_surface_t* CreateImageSurface(int width, int height)
  {
    return CreateLargeImageSurface(width, height);
  }

private:
  struct TextPlacement;

  void CreateSurface();
  void DestroySurface();
  // Selects the font for text at its size; false when its font is not loaded.
  bool SelectFont(const IText& text, double& ascent, double& descent);
  TextPlacement PlaceText(const IText& text, const char* str, const IRECT& bounds);
  // The text in runs of the style's font and of the fallback font for glyphs it lacks.
  std::vector<TextRun> RunsFor(const IText& text, const char* str);
  // Selects the run's font at the size em the style's font was selected at.
  void SelectRunFont(const IText& text, const TextRun& run, double em);
  // Paints the current source with op inside the current path, confining operators that would
  // otherwise clear the destination around the shape.
  void FillWith(cairo_operator_t op, bool preserve);
  // Fills the path straight into the image when it is a shape ImageFiller draws; false when
  // Cairo must.
  bool FillDirect(const IPattern& pattern, const IFillOptions& options, const IBlend* blend);
  // A straight axis-aligned line stroked straight into the image; false when Cairo must.
  bool StrokeDirect(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                    const IBlend* blend);
  // The outline of a rounded rectangle or circle stroked straight into the image.
  bool StrokeOutlineDirect(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                           const IBlend* blend);
  // The image and clip for a direct drawing, and the bookkeeping after it (the path is consumed
  // unless preserved).
  ImageTarget DirectTarget() const;
  // Runs the direct fills held so far: before Cairo draws, and before anyone reads the image.
  void RunHeldFills() const;
  void DirectDone(bool preserve);
  // Draws the bitmap straight into the image when its pixels land one to one on whole device
  // pixels; false when Cairo must.
  bool DrawBitmapDirect(cairo_surface_t* image, double scale, const IRECT& dest, int srcX, int srcY,
                        const IBlend* blend);
  // Cairo builds arcs slowly, and a path the image filler draws needs none: arcs wait until
  // something needs Cairo's path.
  void BuildCairoPath();
  // The transform's device coordinates of a user point; false when the transform rotates or
  // shears.
  bool ToDevice(double& x, double& y) const;

  cairo_surface_t* mSurface = nullptr;
  cairo_t* mContext = nullptr;
  // A transform that squashes everything to a line or a point draws nothing.
  bool mSingularTransform = false;
  cairo_matrix_t mDeviceMatrix{1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
  PathShape mShape;
  struct DeferredArc {
    cairo_matrix_t matrix;
    double cx, cy, r, a1, a2;
  };
  std::vector<DeferredArc> mDeferredArcs;
  bool mDeferredClose = false;
  mutable ImageFiller mFiller;
  mutable FillQueue mHeldFills;
  // The clip in whole device pixels; not whole pixels leaves fills to Cairo.
  int mClipL = 0, mClipT = 0, mClipR = 0, mClipB = 0;
  bool mClipWhole = true;
  bool mReferenceDrawing = false;
  // The fallback font is loaded the first time a text needs it.
  bool mFallbackFontTried = false;
  double mSelectedEm = 0.0; // the size SelectFont last chose
};

} // namespace umbra::ui
