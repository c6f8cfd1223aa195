#pragma once

// The editor surface as controls see it while they draw: its size and scales, the path-based
// drawing interface, text and bitmaps. The back end (ICanvasCairo) supplies the few primitives
// that touch real pixels; every shape is built here from those primitives, so that all back
// ends draw the same shapes the same way.
//
// The canvas also owns the controls and runs the frame loop over the dirty ones
// (ICanvasControls.cpp, ICanvasFrame.cpp). Mouse and key routing join them with the window layer.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "IBitmap.h"
#include "ICanvasStructs.h"
#include "IControl.h"
#include "IEditorContext.h"
#include "IRECTList.h"
#include "IDrawingOptions.h"
#include "StaticStorage.h"

namespace umbra::ui {

class ICornerResizerControl;
class IPopupMenuControl;
class ITextEntryControl;

// How the corner resizer changes the editor: zooming everything (scale) or giving the layout more
// room at the same zoom (size).
enum class EUIResizerMode { kScale, kSize };

// Decides about a key no control took; isUp for a release. True when handled.
using IKeyHandlerFunc = std::function<bool(const IKeyPress& key, bool isUp)>;

class ICanvas : public umbra::IEditorContext {
public:
  // width and height in logical pixels; drawScale is the user's zoom of the editor.
  ICanvas(int width, int height, float drawScale = 1.f);
  ~ICanvas() override;

  ICanvas(const ICanvas&) = delete;
  ICanvas& operator=(const ICanvas&) = delete;

  // The time, in milliseconds, that control animations measure their progress against. Real
  // time here; a headless canvas replaces it with a clock that its driver advances, so that a
  // run repeats frame for frame.
  virtual double GetAnimationClockMs() const
  {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
  }

  // -------------------------------------------------------------------------------------------
  // Size and scale

  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  float GetDrawScale() const override { return mDrawScale; }
  float GetScreenScale() const { return mScreenScale; }
  // Device pixels per logical pixel.
  float GetBackingPixelScale() const { return mScreenScale * mDrawScale; }
  float GetMinScale() const { return mMinScale; }
  float GetMaxScale() const { return mMaxScale; }

  void SetScaleConstraints(float lo, float hi);
  // The display's density, reported by the platform.
  void SetScreenScale(float scale) override;
  // The draw scale is clamped into the constraints; nothing happens when nothing changes.
  void Resize(int width, int height, float drawScale) override;
  // needsPlatformResize is false when the window already has its new size (the host or the
  // window manager resized it) and only the editor has to follow.
  void Resize(int width, int height, float drawScale, bool needsPlatformResize);
  void ResizeFromHost(int width, int height, float drawScale) override
  {
    Resize(width, height, drawScale, false);
  }
  // Window units per zoomed logical pixel, for telling the host the window's size: 1 where
  // windows are measured in points, the screen scale where they are measured in device pixels.
  virtual float GetPlatformWindowScale() const { return 1.f; }

  // -------------------------------------------------------------------------------------------
  // Frame and region

  virtual void BeginFrame() {}
  virtual void EndFrame() {}

  // Starts drawing one control inside clip (logical pixels): no transform, no path, and nothing
  // drawn outside clip until the next region.
  void PrepareRegion(const IRECT& clip);
  void CompleteRegion(const IRECT& /*clip*/) {}
  const IRECT& GetClipRECT() const { return mClipRECT; }

  // -------------------------------------------------------------------------------------------
  // Path primitives of the back end

  virtual void PathClear() = 0;
  virtual void PathClose() = 0;
  virtual void PathMoveTo(float x, float y) = 0;
  virtual void PathLineTo(float x, float y) = 0;
  virtual void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) = 0;
  virtual void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) = 0;
  // Angles in degrees, 0 at twelve o'clock, growing clockwise. Joins the current point to the
  // arc's start with a line when a path is under way.
  virtual void PathArc(float cx, float cy, float r, float a1, float a2,
                       EWinding winding = kWindingCW) = 0;
  // Forces the direction of the last sub-path; under the winding rule a sub-path running
  // against the outline around it cuts a hole.
  virtual void PathSetWinding(bool clockwise) = 0;

  // Both consume the path unless the options preserve it.
  virtual void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                        const IBlend* blend = nullptr) = 0;
  virtual void PathStroke(const IPattern& pattern, float thickness,
                          const IStrokeOptions& options = IStrokeOptions(),
                          const IBlend* blend = nullptr) = 0;

  // -------------------------------------------------------------------------------------------
  // Path builders

  void PathLine(float x1, float y1, float x2, float y2);
  void PathRect(const IRECT& r);
  // Radius 0 is a plain rectangle.
  void PathRoundRect(const IRECT& r, float cornerRadius);
  void PathRoundRect(const IRECT& r, float tl, float tr, float br, float bl);
  void PathCircle(float cx, float cy, float r);
  void PathEllipse(const IRECT& r);
  // Radii r1 along x and r2 along y before the ellipse is turned by angle degrees clockwise.
  void PathEllipse(float cx, float cy, float r1, float r2, float angle = 0.f);
  void PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3);
  void PathConvexPolygon(const float* x, const float* y, int n);

  // -------------------------------------------------------------------------------------------
  // Transforms. Each new operation applies to coordinates before the ones already in place, so
  // a translate followed by a rotate turns shapes about the translated origin.

  void PathTransformSave();
  // Without a saved transform the transform is left as it is.
  void PathTransformRestore();
  void PathTransformReset(bool clearStack = false);
  void PathTransformTranslate(float x, float y);
  void PathTransformScale(float x, float y);
  void PathTransformScale(float scale) { PathTransformScale(scale, scale); }
  // Degrees, clockwise on screen.
  void PathTransformRotate(float angle);
  void PathTransformMatrix(const IMatrix& matrix);
  const IMatrix& GetTransform() const { return mTransform; }

  // -------------------------------------------------------------------------------------------
  // Shapes: each clears the path, builds its shape and fills or strokes it with the colour.

  void FillRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr);
  void DrawRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr,
                float thickness = 1.f);
  void FillRoundRect(const IColor& color, const IRECT& r, float cornerRadius,
                     const IBlend* blend = nullptr);
  void DrawRoundRect(const IColor& color, const IRECT& r, float cornerRadius,
                     const IBlend* blend = nullptr, float thickness = 1.f);
  void FillRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float br, float bl,
                     const IBlend* blend = nullptr);
  void DrawRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float br, float bl,
                     const IBlend* blend = nullptr, float thickness = 1.f);
  void FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr);
  void DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                  float thickness = 1.f);
  void FillEllipse(const IColor& color, const IRECT& r, const IBlend* blend = nullptr);
  void FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                   const IBlend* blend = nullptr);
  void DrawEllipse(const IColor& color, const IRECT& r, const IBlend* blend = nullptr,
                   float thickness = 1.f);
  void DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                   const IBlend* blend = nullptr, float thickness = 1.f);
  // A pie slice: centre, arc, back to the centre.
  void FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
               const IBlend* blend = nullptr, EWinding winding = kWindingCW);
  // The arc alone.
  void DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
               const IBlend* blend = nullptr, float thickness = 1.f, EWinding winding = kWindingCW);
  void DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                const IBlend* blend = nullptr, float thickness = 1.f);
  void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                    float y3, const IBlend* blend = nullptr);
  void DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                    float y3, const IBlend* blend = nullptr, float thickness = 1.f);
  void FillConvexPolygon(const IColor& color, const float* x, const float* y, int n,
                         const IBlend* blend = nullptr);
  void DrawConvexPolygon(const IColor& color, const float* x, const float* y, int n,
                         const IBlend* blend = nullptr, float thickness = 1.f);
  // Dashes of dashLength on, dashLength off.
  void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                      const IBlend* blend = nullptr, float thickness = 1.f, float dashLength = 2.f);
  void DrawDottedRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr,
                      float thickness = 1.f, float dashLength = 2.f);
  // Vertical lines every xStep and horizontal lines every yStep from r's top-left corner, inside r.
  void DrawGrid(const IColor& color, const IRECT& r, float xStep, float yStep,
                const IBlend* blend = nullptr, float thickness = 1.f);

  // -------------------------------------------------------------------------------------------
  // Text. A text is placed by its style's alignment on the bounds: near/centre/far on the left
  // edge, the middle or the right edge; top/middle/bottom on the top edge, the middle or the
  // bottom edge. It is not clipped to the bounds.

  // Nothing for an empty or null string.
  void DrawText(const IText& text, const char* str, const IRECT& bounds,
                const IBlend* blend = nullptr);
  // Aligned on the point (x, y).
  void DrawText(const IText& text, const char* str, float x, float y,
                const IBlend* blend = nullptr);
  // The advance width of the text; bounds becomes the box it would occupy if drawn on bounds:
  // its advance wide and from the font's ascender to its descender high.
  float MeasureText(const IText& text, const char* str, IRECT& bounds);

  // Registers font bytes (a TrueType or OpenType file) under the identifier that IText font
  // names refer to. True when the font is usable.
  virtual bool LoadAPIFont(const char* fontID, const std::vector<std::uint8_t>& bytes,
                           int faceIndex = 0) = 0;

  // -------------------------------------------------------------------------------------------
  // Bitmaps

  // The part of the bitmap starting at (srcX, srcY) (logical pixels) drawn unscaled into dest.
  virtual void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                          const IBlend* blend = nullptr) = 0;
  // The whole bitmap stretched over bounds.
  void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend = nullptr);
  // The whole bitmap centred on (cx, cy), turned by angle degrees clockwise.
  void DrawRotatedBitmap(const IBitmap& bitmap, float cx, float cy, float angle,
                         const IBlend* blend = nullptr);

  // ext without the dot.
  virtual bool BitmapExtSupported(const char* ext) const = 0;
  // A decoded image file standing for the given scale (2 for an @2x file); none when the file
  // cannot be read or decoded.
  virtual std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::string& path, int scale) = 0;
  virtual std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::uint8_t* data, std::size_t size,
                                                   int scale) = 0;

  // -------------------------------------------------------------------------------------------
  // Controls. The canvas owns every attached control, in drawing order: later controls draw
  // over earlier ones, and index 0 is the background when AttachPanelBackground made one.

  // The plug-in the controls talk to; not owned. Set before controls are attached: they take
  // it when they are.
  void SetDelegate(umbra::IEditorDelegate& delegate) { mDelegate = &delegate; }
  umbra::IEditorDelegate* GetDelegate() const { return mDelegate; }

  // Takes ownership and returns the control. A tag (>= 0) already in use keeps its first control.
  IControl* AttachControl(IControl* control, int tag = -1, const char* group = "");
  // A control covering the whole editor, filled with pattern, inserted under every other one.
  void AttachPanelBackground(const IPattern& pattern);
  IControl* GetControl(int idx) const { return mControls[static_cast<size_t>(idx)].get(); }
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControlWithTag(int tag) const;
  // The first control in list order with a value bound to the parameter.
  IControl* GetControlWithParamIdx(int paramIdx) const;
  // Every control the canvas draws; ForStandardControlsFunc leaves out the special ones.
  void ForAllControlsFunc(const std::function<void(IControl*)>& func);
  void ForStandardControlsFunc(const std::function<void(IControl*)>& func);
  void SetAllControlsDirty();
  void SetAllControlsClean();
  // The other controls bound to the caller's parameter take the caller's value.
  void UpdatePeers(IControl* caller, int callerValIdx);
  void RemoveAllControls();

  // A captured control receives every drag until the mouse is released, and ignores host
  // echoes meanwhile.
  bool IsCaptured(const IControl* control) const;
  void ReleaseMouseCapture();

  // The special controls live outside the list: drawn after it, hit before it. The corner
  // resizer is attached by the layout; the popup menu and text entry controls are made the first
  // time a prompt needs them. A second corner resizer is discarded.
  void AttachCornerResizer(EUIResizerMode mode = EUIResizerMode::kScale,
                           bool layoutOnResize = false,
                           const IColor& color = COLOR_TRANSLUCENT,
                           const IColor& mouseOverColor = COLOR_BLACK,
                           const IColor& dragColor = COLOR_BLACK, float size = 20.f);
  ICornerResizerControl* GetCornerResizer() const;
  IPopupMenuControl* GetPopupMenuControl() const;
  ITextEntryControl* GetTextEntryControl() const;

  // -------------------------------------------------------------------------------------------
  // Events, from the platform (or injected by a test), in logical coordinates. Mouse down, up
  // and drag come as lists of points (one for the mouse, touch id 0).
  void OnMouseDown(const std::vector<IMouseInfo>& points);
  void OnMouseUp(const std::vector<IMouseInfo>& points);
  void OnMouseDrag(const std::vector<IMouseInfo>& points);
  bool OnMouseDblClick(float x, float y, const IMouseMod& mod);
  bool OnMouseOver(float x, float y, const IMouseMod& mod);
  void OnMouseOut();
  bool OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  bool OnKeyDown(float x, float y, const IKeyPress& key); // true when handled
  bool OnKeyUp(float x, float y, const IKeyPress& key);
  void OnGUIIdle();

  // The control that takes an event at (x, y): see ICanvasEvents.cpp for the order of precedence.
  // With capture the control keeps the touch until it is released; with mouseOver the search is
  // the hover search, and its result is remembered as the control under the mouse.
  IControl* GetMouseControl(float x, float y, bool capture, bool mouseOver = false,
                            std::uint64_t touchID = 0);
  IControl* GetMouseOverControl() const { return mMouseOver; }
  int GetMouseOverIdx() const { return mMouseOverIdx; }
  // Where the mouse last went down ((-1, -1) before the first click), in logical pixels.
  float GetMouseDownX() const { return mMouseDownX; }
  float GetMouseDownY() const { return mMouseDownY; }
  void EnableMouseOver(bool enable) { mHandleMouseOver = enable; }
  bool GetMouseOverEnabled() const { return mHandleMouseOver; }
  void SetKeyHandlerFunc(IKeyHandlerFunc func) { mKeyHandlerFunc = std::move(func); }

  // What the canvas asks of its platform; a canvas without a window does nothing.
  virtual void SetMouseCursor(ECursor cursor) { (void)cursor; }
  // The cursor the editor shows: remembered here, then asked of the platform.
  void ChangeMouseCursor(ECursor cursor)
  {
    mCursor = cursor;
    SetMouseCursor(cursor);
  }
  ECursor GetMouseCursor() const { return mCursor; }
  // The picture the desktop shows for the editor's window (task bar, switcher), given before the
  // window opens; a canvas without a window ignores it.
  virtual void SetWindowIcon(const IBitmap& bitmap) { (void)bitmap; }

  // Value prompts. Menus and text fields are the framework's own controls, drawn over the editor
  // by the canvas, so they behave alike with or without a window.
  // A menu of the parameter's display texts for an enumerated parameter (or a boolean one with
  // texts), a text field with its display value otherwise.
  virtual void PromptUserInput(IControl& control, const IRECT& bounds, int valIdx);
  // Opens menu over bounds for control; the choice comes back through
  // SetControlValueAfterPopupMenu. The menu must outlive the prompt.
  void DoCreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx,
                         bool isContext);
  // menu is none when the user dismissed it.
  void SetControlValueAfterPopupMenu(IPopupMenu* menu);
  // A text field over bounds holding str, in the control's text style and entry length.
  void CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds,
                       const char* str, int valIdx);
  // str is none when the editing was cancelled: the control keeps its value.
  void SetControlValueAfterTextEdit(const char* str);
  IControl* GetControlInTextEntry() const { return mInTextEntry; }
  IControl* GetControlInPopupMenu() const { return mInPopupMenu; }
  IPopupMenu& GetPromptMenu() { return mPromptPopupMenu; }

  // Drag-resize of the corner resizer; the resizer starts and ends it.
  void StartDragResize() { mResizingInProcess = true; }
  void EndDragResize();
  bool GetResizingInProcess() const { return mResizingInProcess; }

  // What the plug-in sends to its open editor.
  void SetParamValueFromDelegate(int paramIdx, double normalized) override;
  void SetControlValueFromDelegate(int ctrlTag, double normalized) override;
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize,
                                  const void* data) override;
  // A canvas without a platform has no window to open: no view, nothing shown.
  void* OpenWindow(void* parent) override;
  // The controls go with the window; the next opening lays the editor out afresh.
  void CloseWindow() override;

  // -------------------------------------------------------------------------------------------
  // Frame loop, run by the platform's frame timer.

  // Strict drawing redraws the union of the dirty regions once instead of each region.
  void SetStrictDrawing(bool strict) { mStrictDrawing = strict; }
  bool GetStrictDrawing() const { return mStrictDrawing; }
  // Called at the start of every frame, before the controls animate.
  void SetDisplayTickFunc(std::function<void()> func) { mDisplayTickFunc = std::move(func); }

  // Animates, then adds the grown bounds of every dirty control to rects; true if any.
  bool IsDirty(IRECTList& rects);
  // Redraws the controls within rects.
  void Draw(IRECTList& rects);
  // One frame: collect the dirty regions and, when there are any, redraw them. True when
  // something was drawn.
  bool RunFrame();

protected:
  // Draws one control clipped to region and to its own bounds (and its parents').
  virtual void DrawControl(IControl* control, const IRECT& region, float scale);

private:
  umbra::IEditorDelegate* mDelegate = nullptr;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::map<int, IControl*> mCtrlTags;
  bool mStrictDrawing = false;
  std::function<void()> mDisplayTickFunc;
  IRECTList mDirtyRects;

  // Routing state (ICanvasEvents.cpp)
  void OnDragResize(float x, float y);
  void EnsurePromptControls();
  void IntroduceSpecial(IControl& control);
  std::unique_ptr<IControl> mCornerResizer;
  std::unique_ptr<IControl> mPopupMenuControl;
  std::unique_ptr<IControl> mTextEntryControl;
  std::map<std::uint64_t, IControl*> mCapturedMap;
  IControl* mMouseOver = nullptr;
  int mMouseOverIdx = -1;
  float mMouseDownX = -1.f;
  float mMouseDownY = -1.f;
  IControl* mInTextEntry = nullptr;
  int mTextEntryValIdx = kNoValIdx;
  IControl* mInPopupMenu = nullptr;
  int mPopupMenuValIdx = kNoValIdx;
  bool mIsContextMenu = false;
  // The menu was opened from a mouse down that began a host gesture; its choice ends it.
  bool mPopupEndsGesture = false;
  IPopupMenu mPromptPopupMenu;
  IPopupMenu mContextMenu;
  IKeyHandlerFunc mKeyHandlerFunc;
  ECursor mCursor = ECursor::kArrow;
  bool mHandleMouseOver = true;
  bool mCursorHidden = false;
  bool mResizingInProcess = false;

protected:
  // The whole transform from logical to device pixels is the backing scale times matrix.
  virtual void PathTransformSetMatrix(const IMatrix& matrix) = 0;
  // Limits drawing to r (logical pixels), whatever the transform.
  virtual void SetClipRegion(const IRECT& r) = 0;
  virtual void DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                          const IBlend* blend) = 0;
  virtual float DoMeasureText(const IText& text, const char* str, IRECT& bounds) = 0;
  // The size or a scale changed: the back end rebuilds its drawing surface.
  virtual void DrawResize() = 0;

private:
  void ApplyTransform() { PathTransformSetMatrix(mTransform); }

  int mWidth;
  int mHeight;
  float mDrawScale;
  float mScreenScale = 1.f;
  float mMinScale = 0.5f;
  float mMaxScale = 4.f;

  IMatrix mTransform;
  std::vector<IMatrix> mTransformStack;
  IRECT mClipRECT;

  // -------------------------------------------------------------------------------------------
  // Resources. Bitmaps are decoded once per (name, scale) into this canvas's own cache, since a
  // back end's images belong to one drawing context; font bytes are shared by the process.

public:
  // A PNG or JPEG resource as a strip of nStates frames laid side by side (framesAreHorizontal)
  // or stacked. targetScale 0 is the screen scale rounded up. The variant for targetScale is
  // tried first (knob@2x.png at 2, the plain name at 1), then @3x and downwards to the plain
  // name; a variant found at another scale is drawn at its logical size, not resampled. The
  // empty bitmap, which draws nothing, when the extension is not png, jpg or jpeg or when no
  // variant can be found or decoded.
  IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false,
                     int targetScale = 0);
  // The same resource, frame count and layout, for the current screen scale: what a bitmap
  // control reloads when the display changes.
  IBitmap GetScaledBitmap(const IBitmap& bitmap);
  // Registers the font resource fileName under fontID, the name IText styles refer to. A font
  // already loaded under fontID by any canvas of the process is registered from memory without
  // touching the file. True when the font is usable.
  bool LoadFont(const char* fontID, const char* fileName);

  // Decoded bitmaps held by this canvas.
  std::size_t NumCachedBitmaps() { return mBitmapCache.Lock().Size(); }

  // Who made this canvas, for lookups in places shared with other programs of the same maker:
  // the bundle and app group identifiers and the plug-in's name, the sub-folder under which its
  // resources sit in such a shared place. Empty unless MakeGraphics was given them.
  void SetBundleID(std::string id) { mBundleID = std::move(id); }
  void SetAppGroupID(std::string id) { mAppGroupID = std::move(id); }
  void SetSharedResourcesSubPath(std::string subPath) { mSharedResourcesSubPath = std::move(subPath); }
  const std::string& GetBundleID() const { return mBundleID; }
  const std::string& GetAppGroupID() const { return mAppGroupID; }
  const std::string& GetSharedResourcesSubPath() const { return mSharedResourcesSubPath; }

private:
  // ceil(screen scale) for 0, never below 1.
  int ResolveBitmapScale(int targetScale) const;

  // Cache entries share their image with the IBitmaps handed out; the image is freed when the
  // last of them lets go, and the cache lets go when the canvas is destroyed.
  struct CachedBitmap {
    std::shared_ptr<APIBitmap> bitmap;
  };
  StaticStorage<CachedBitmap> mBitmapCache;
  std::string mBundleID;
  std::string mAppGroupID;
  std::string mSharedResourcesSubPath;
};

} // namespace umbra::ui
