#pragma once

// The base of everything drawn in the editor: a rectangle that draws itself, holds one or more
// normalised values each optionally bound to a plug-in parameter, marks itself dirty to be
// redrawn, runs time-based animations and sends user changes to the plug-in through the editor
// delegate. The graphics context owns attached controls and drives them.

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "ICanvasStructs.h"
#include "IControlEvents.h"
#include "IEditorDelegate.h"
#include "IEffectStructs.h"

namespace umbra::ui {

class ICanvas;
class IControl;

using IActionFunction = std::function<void(IControl*)>;
using IAnimationFunction = std::function<void(IControl*)>;
using IGestureFunc = std::function<void(IControl*, const IGestureInfo&)>;

enum EDirection { kVertical = 0, kHorizontal = 1 };

inline constexpr int kNoParameter = -1;
// A value index meaning "every value of the control".
inline constexpr int kNoValIdx = -1;

// Starts the short click animation (100 ms of DefaultAnimationFunc).
void DefaultClickActionFunc(IControl* caller);
// Ends the animation once its progress has passed 1.
void DefaultAnimationFunc(IControl* caller);

class IControl {
public:
  // One value, bound to paramIdx (or to nothing).
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter,
                    IActionFunction actionFunc = nullptr);
  // One value per parameter index, in order; an empty list gives a control without values.
  IControl(const IRECT& bounds, std::initializer_list<int> params,
           IActionFunction actionFunc = nullptr);
  // One value bound to nothing.
  IControl(const IRECT& bounds, IActionFunction actionFunc);

  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ------------------------------------------------------------------------------------------
  // Virtual operations. Their order is the order of the virtual table; keep it.

  virtual ~IControl();

  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float, float, const IMouseMod&) {}
  virtual void OnMouseDrag(float, float, float, float, const IMouseMod&) {}
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  virtual void OnMouseWheel(float, float, const IMouseMod&, float) {}
  virtual bool OnKeyDown(float, float, const IKeyPress&) { return false; }
  virtual bool OnKeyUp(float, float, const IKeyPress&) { return false; }
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual void OnTouchCancelled(float, float, const IMouseMod&) {}
  virtual void OnDrop(const char*) {}
  virtual void OnDropMultiple(const std::vector<const char*>&) {}
  // The screen scale or the draw scale changed.
  virtual void OnRescale() {}
  // The bounds changed.
  virtual void OnResize() {}
  // Attached: called before OnAttached, with the delegate and the context already set.
  virtual void OnInit() {}
  virtual void OnAttached() {}
  virtual void OnMsgFromDelegate(int, int, const void*) {}
  virtual void OnMidi(const IMidiMsg&) {}
  virtual void OnGesture(const IGestureInfo& info);
  virtual void CreateContextMenu(IPopupMenu&) {}
  virtual void OnPopupMenuSelection(IPopupMenu* menu, int valIdx);
  virtual void OnDeleteFromPopupMenu(IPopupMenu&, int) {}
  virtual void OnTextEntryCompletion(const char*, int) {}
  virtual void OnContextSelection(int) {}
  virtual void Draw(ICanvas& g) = 0;
  // The frame a host shows around automated controls; this editor draws none.
  virtual void DrawPTHighlight(ICanvas&) {}
  // Throws std::out_of_range for a value index outside the list.
  virtual void SetParamIdx(int paramIdx, int valIdx = 0);
  virtual int GetValIdxForPos(float x, float y) const;
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  virtual void SetValueFromUserInput(double value, int valIdx = 0);
  virtual void SetValueToDefault(int valIdx = kNoValIdx);
  // Stores the value as given: clamping waits for SetDirty.
  virtual void SetValue(double value, int valIdx = 0);
  virtual void SetText(const IText& text) { mText = text; }
  virtual void SetPosition(float x, float y);
  virtual void SetSize(float w, float h);
  virtual void Hide(bool hide);
  virtual void SetDisabled(bool disable);
  virtual void SetIgnoreMouse(bool ignore) { mIgnoreMouse = ignore; }
  virtual bool IsHit(float x, float y) const { return mTargetRECT.Contains(x, y); }
  virtual void SetDirty(bool triggerAction = true, int valIdx = kNoValIdx);
  virtual void SetClean() { mDirty = false; }
  // An animating control is always dirty.
  virtual bool IsDirty();
  virtual void OnGUIIdle() {}
  virtual bool GetWantsGestures() const { return !mGestureFuncs.empty(); }
  virtual void SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds,
                           int valIdx = kNoValIdx, double minClip = 0.0, double maxClip = 1.0);
  virtual void OnEndAnimation();

  // ------------------------------------------------------------------------------------------
  // Values and parameters

  int NVals() const { return static_cast<int>(mVals.size()); }
  int GetParamIdx(int valIdx = 0) const { return mVals[static_cast<size_t>(valIdx)].idx; }
  double GetValue(int valIdx = 0) const { return mVals[static_cast<size_t>(valIdx)].value; }
  // The first value index bound to paramIdx, else -1.
  int LinkedToParam(int paramIdx) const;
  // None when the value is unbound, the index lies outside the plug-in's parameters, or the
  // control is not attached.
  const IParam* GetParam(int valIdx = 0) const;

  // Asks the graphics context for a value prompt: a menu over the bounds for a parameter with
  // display texts, a small text field in the middle otherwise.
  void PromptUserInput(int valIdx = 0);
  void PromptUserInput(const IRECT& bounds, int valIdx = 0);

  // ------------------------------------------------------------------------------------------
  // Animation: the context runs Animate() every frame while an animation function is set.

  void StartAnimation(double durationMs);
  // Time since the start over the duration; not capped at 1, 0 when not animating.
  double GetAnimationProgress() const;
  void Animate();
  bool GetAnimationFunction() const { return static_cast<bool>(mAnimationFunc); }
  void SetAnimation(IAnimationFunction func) { mAnimationFunc = std::move(func); }
  // Sets the function and starts the clock.
  void SetAnimation(IAnimationFunction func, double durationMs);
  double GetAnimationDuration() const { return mAnimationDuration; }

  void SetActionFunction(IActionFunction func) { mActionFunc = std::move(func); }
  void SetAnimationEndActionFunction(IActionFunction func) { mAnimationEndActionFunc = std::move(func); }
  IActionFunction GetActionFunction() const { return mActionFunc; }
  IControl* AttachGestureRecognizer(EGestureType type, IGestureFunc func);

  // ------------------------------------------------------------------------------------------
  // Accessors

  const IRECT& GetRECT() const { return mRECT; }
  void SetRECT(const IRECT& bounds) { mRECT = bounds; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetRECT(const IRECT& bounds) { mTargetRECT = bounds; }
  void SetTargetAndDrawRECTs(const IRECT& bounds) { mRECT = mTargetRECT = bounds; }
  const std::string& GetGroup() const { return mGroup; }
  void SetGroup(std::string group) { mGroup = std::move(group); }
  const IText& GetText() const { return mText; }
  const IBlend& GetBlend() const { return mBlend; }
  void SetBlend(const IBlend& blend) { mBlend = blend; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }
  bool IsHidden() const { return mHide; }
  bool IsDisabled() const { return mDisabled; }
  bool GetPromptDisabled() const { return mDisablePrompt; }
  bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
  bool GetMouseOverWhenDisabled() const { return mMouseOverWhenDisabled; }
  bool GetMouseEventsWhenDisabled() const { return mMouseEventsWhenDisabled; }
  void SetMouseOverWhenDisabled(bool allow) { mMouseOverWhenDisabled = allow; }
  void SetMouseEventsWhenDisabled(bool allow) { mMouseEventsWhenDisabled = allow; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  bool GetWantsMultiTouch() const { return mWantsMultiTouch; }
  bool GetPromptShowsParamLabel() const { return mPromptShowsParamLabel; }
  bool GetMouseIsOver() const { return mMouseIsOver; }
  const std::string& GetTooltip() const { return mTooltip; }
  void SetTooltip(std::string tooltip) { mTooltip = std::move(tooltip); }
  IControl* GetParent() const { return mParent; }
  void SetParent(IControl* parent) { mParent = parent; }
  umbra::IEditorDelegate* GetDelegate() const { return mDelegate; }
  void SetDelegate(umbra::IEditorDelegate& delegate) { mDelegate = &delegate; }
  ICanvas* GetUI() const { return mGraphics; }
  // An animation started before the control had a canvas was timed on another clock; it starts
  // again on the canvas's.
  void SetGraphics(ICanvas* graphics);

protected:
  // Milliseconds of the context's animation clock; of the steady clock while unattached.
  double AnimationNowMs() const;

  struct ParamTuple {
    int idx;
    double value;
  };

  IRECT mRECT;
  IRECT mTargetRECT;
  std::string mGroup;
  IText mText = DEFAULT_TEXT;
  IBlend mBlend;
  int mTextEntryLength = 7;
  bool mDirty = true;
  bool mHide = false;
  bool mDisabled = false;
  bool mDisablePrompt = true;
  bool mDblAsSingleClick = false;
  bool mMouseOverWhenDisabled = false;
  bool mMouseEventsWhenDisabled = false;
  bool mIgnoreMouse = false;
  bool mWantsMultiTouch = false;
  bool mPromptShowsParamLabel = false;
  bool mMouseIsOver = false;
  std::string mTooltip;
  IColor mPTHighlightColor = COLOR_RED;
  IControl* mParent = nullptr;
  umbra::IEditorDelegate* mDelegate = nullptr;
  ICanvas* mGraphics = nullptr;
  IActionFunction mActionFunc;
  IActionFunction mAnimationEndActionFunc;
  IAnimationFunction mAnimationFunc;
  double mAnimationStartTime = 0.0;
  double mAnimationDuration = 0.0;
  std::vector<ParamTuple> mVals;
  std::map<EGestureType, IGestureFunc> mGestureFuncs;

private:
  // Sends value valIdx to the plug-in and to the other controls bound to its parameter.
  void SendValue(int valIdx);
};

// The normalised form of a parameter's real value: rounded to the step when stepped, clamped
// into the range, mapped through the shape and clamped into 0..1.
double NormalizedFromReal(const IParam& param, double value);

} // namespace umbra::ui
