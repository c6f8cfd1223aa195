// X events as the canvas's mouse, wheel and key events, in logical pixels.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "ICanvasX11.h"
#include "X11Keys.h"
#include "X11Native.h"

namespace umbra::ui {

namespace {

// Two presses further apart than this (device pixels) are two clicks, however quick.
constexpr int kDoubleClickSlop = 4;

IMouseMod ModFromState(unsigned state)
{
  IMouseMod mod;
  mod.L = (state & Button1Mask) != 0;
  mod.R = (state & Button3Mask) != 0;
  mod.S = (state & ShiftMask) != 0;
  mod.C = (state & ControlMask) != 0;
  mod.A = (state & Mod1Mask) != 0;
  return mod;
}

// The state of a button event is the one before it; the event's own button decides.
IMouseMod ModForButton(unsigned state, unsigned button)
{
  IMouseMod mod = ModFromState(state);
  mod.L = button == Button1;
  mod.R = button == Button3;
  return mod;
}

} // namespace

void ICanvasX11::HandleEvent(XEvent& event)
{
  Native& n = *mNative;
  if (n.image.TakeCompletion(event))
    return;
  switch (event.type) {
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      n.nextViewableCheck = {};
      PresentDevice(e.x, e.y, e.width, e.height);
      break;
    }
    case MapNotify:
      n.mapped = true;
      n.nextViewableCheck = {};
      break;
    case UnmapNotify:
      n.mapped = false;
      break;
    case VisibilityNotify:
      n.fullyObscured = event.xvisibility.state == VisibilityFullyObscured;
      n.nextViewableCheck = {};
      break;
    case ConfigureNotify:
      HandleConfigure(event);
      break;
    case ClientMessage:
      if (n.topLevel && event.xclient.message_type == n.wmProtocols &&
          static_cast<Atom>(event.xclient.data.l[0]) == n.wmDeleteWindow)
        mClosed = true;
      break;
    case ButtonPress:
      HandleButtonPress(event);
      break;
    case ButtonRelease:
      HandleButtonRelease(event);
      break;
    case MotionNotify:
      HandleMotion(event);
      break;
    case LeaveNotify:
      // While a button is held the control under it keeps the mouse (capture), and the release
      // settles the hover.
      if ((event.xcrossing.state & (Button1Mask | Button3Mask)) == 0 &&
          event.xcrossing.detail != NotifyInferior)
        OnMouseOut();
      break;
    case KeyPress:
      HandleKey(event, false);
      break;
    case KeyRelease:
      HandleKey(event, true);
      break;
    default:
      break;
  }
}

void ICanvasX11::HandleButtonPress(XEvent& event)
{
  Native& n = *mNative;
  const XButtonEvent& e = event.xbutton;
  const float s = GetBackingPixelScale();
  const float x = static_cast<float>(e.x) / s;
  const float y = static_cast<float>(e.y) / s;
  n.pointerX = e.x;
  n.pointerY = e.y;

  // The wheel comes as presses of buttons 4 (up) and 5 (down), each one step.
  if (e.button == Button4 || e.button == Button5) {
    OnMouseWheel(x, y, ModFromState(e.state), e.button == Button4 ? 1.f : -1.f);
    return;
  }
  if (e.button != Button1 && e.button != Button3)
    return;

  const bool sameClick = e.button == n.lastClickButton && n.clickCount > 0 &&
                         e.time - n.lastClickTime <= n.doubleClickMs &&
                         std::abs(e.x - n.lastClickX) <= kDoubleClickSlop &&
                         std::abs(e.y - n.lastClickY) <= kDoubleClickSlop;
  n.clickCount = sameClick ? n.clickCount + 1 : 1;
  n.lastClickButton = e.button;
  n.lastClickTime = e.time;
  n.lastClickX = e.x;
  n.lastClickY = e.y;

  const IMouseMod mod = ModForButton(e.state, e.button);
  // Odd counts press, even counts double-click: a triple click is a double click and a press.
  if (n.clickCount % 2 == 0)
    OnMouseDblClick(x, y, mod);
  else
    OnMouseDown(std::vector<IMouseInfo>{IMouseInfo{x, y, 0.f, 0.f, mod}});
}

void ICanvasX11::HandleButtonRelease(XEvent& event)
{
  const XButtonEvent& e = event.xbutton;
  if (e.button != Button1 && e.button != Button3)
    return;
  const float s = GetBackingPixelScale();
  mNative->pointerX = e.x;
  mNative->pointerY = e.y;
  OnMouseUp(std::vector<IMouseInfo>{
    IMouseInfo{static_cast<float>(e.x) / s, static_cast<float>(e.y) / s, 0.f, 0.f,
               ModForButton(e.state, e.button)}});
}

void ICanvasX11::HandleMotion(XEvent& event)
{
  Native& n = *mNative;
  // Only the latest of a run of motions matters; the movement is measured from the last one
  // handled, so none is lost.
  while (XEventsQueued(n.display, QueuedAlready) > 0) {
    XEvent next;
    XPeekEvent(n.display, &next);
    if (next.type != MotionNotify || next.xmotion.window != event.xmotion.window ||
        next.xmotion.state != event.xmotion.state)
      break;
    XNextEvent(n.display, &event);
  }

  const XMotionEvent& e = event.xmotion;
  const float s = GetBackingPixelScale();
  const float x = static_cast<float>(e.x) / s;
  const float y = static_cast<float>(e.y) / s;
  const float dX = static_cast<float>(e.x - n.pointerX) / s;
  const float dY = static_cast<float>(e.y - n.pointerY) / s;
  n.pointerX = e.x;
  n.pointerY = e.y;

  const IMouseMod mod = ModFromState(e.state);
  if (mod.L || mod.R)
    OnMouseDrag(std::vector<IMouseInfo>{IMouseInfo{x, y, dX, dY, mod}});
  else
    OnMouseOver(x, y, mod);
}

void ICanvasX11::HandleKey(XEvent& event, bool isUp)
{
  XKeyEvent& e = event.xkey;
  char text[8] = {};
  KeySym keysym = NoSymbol;
  const int count = XLookupString(&e, text, sizeof text - 1, &keysym, nullptr);
  const IKeyPress key = X11KeyPress(keysym, text, count, e.state);
  const float s = GetBackingPixelScale();
  const float x = static_cast<float>(e.x) / s;
  const float y = static_cast<float>(e.y) / s;
  // A key no control takes has nowhere to go from here: hosts on X11 give their plug-in windows
  // no path back for it.
  if (isUp)
    OnKeyUp(x, y, key);
  else
    OnKeyDown(x, y, key);
}

void ICanvasX11::HandleConfigure(XEvent& event)
{
  Native& n = *mNative;
  const XConfigureEvent& e = event.xconfigure;
  if (e.window != n.window)
    return;
  n.windowWidth = e.width;
  n.windowHeight = e.height;
  // A size the editor asked for, reported late: the answer to a request the editor has since
  // replaced (the corner dragged on), not the user resizing the window.
  const auto ours = std::find(n.requestedSizes.begin(), n.requestedSizes.end(),
                              std::make_pair(e.width, e.height));
  const bool requested = ours != n.requestedSizes.end();
  if (requested)
    n.requestedSizes.erase(n.requestedSizes.begin(), ours + 1);
  // An embedded window is sized by its host, through the editor (OnParentWindowResize).
  if (!n.topLevel || requested || (e.width == DeviceWidth() && e.height == DeviceHeight()))
    return;
  // The user resized the window: the editor zooms to fit it, or takes the new room at its zoom.
  const float s = GetBackingPixelScale();
  n.followingWindow = true;
  if (mZoomsToWindow)
    Resize(Width(), Height(), ZoomToFit(e.width, e.height), false);
  else
    Resize(std::max(1, static_cast<int>(std::lround(e.width / s))),
           std::max(1, static_cast<int>(std::lround(e.height / s))), GetDrawScale(), false);
  if (mNative)
    mNative->followingWindow = false;
}

} // namespace umbra::ui
