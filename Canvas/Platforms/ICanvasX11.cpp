#include "ICanvasX11.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <errno.h> // program_invocation_short_name
#include <poll.h>

#include "X11ErrorTrap.h"
#include "X11FrameStats.h"
#include "X11Native.h"
#include "X11WindowProperties.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include <X11/cursorfont.h>

namespace umbra::ui {

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            StructureNotifyMask | FocusChangeMask | VisibilityChangeMask;

// A burst of events (a fast drag on a slow machine) must not keep frames from running.
constexpr int kMaxEventsPerPump = 256;

// The desktop's double-click time, as X resource databases carry it ("*multiClickTime").
unsigned ReadDoubleClickTime(Display* display)
{
  if (const char* value = XGetDefault(display, "umbra", "multiClickTime")) {
    const long ms = std::strtol(value, nullptr, 10);
    if (ms >= 100 && ms <= 2000)
      return static_cast<unsigned>(ms);
  }
  return 400;
}

// Desktops announce a dense display through the Xft.dpi resource; 96 dpi is scale 1.
float ReadScreenScale(Display* display)
{
  if (const char* value = XGetDefault(display, "Xft", "dpi")) {
    const double dpi = std::strtod(value, nullptr);
    if (dpi >= 96.0 && dpi <= 96.0 * 4.0)
      return static_cast<float>(dpi / 96.0);
  }
  return 1.f;
}

} // namespace

ICanvasX11::ICanvasX11(int width, int height, float drawScale, int fps)
  : ICanvasCairo(width, height, drawScale)
  , mFPS(std::max(1, fps))
  , mFrameInterval(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(1.0 / std::max(1, fps))))
{
}

ICanvasX11::~ICanvasX11() { ReleaseNative(); }

namespace {

// The old property for old window managers, the UTF-8 one for the rest.
void StoreWindowTitle(Display* display, Window window, const std::string& title)
{
  XStoreName(display, window, title.c_str());
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, netWmName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
}

} // namespace

void ICanvasX11::SetZoomsToWindow(bool zooms, int width, int height)
{
  mZoomsToWindow = zooms;
  mAskedWidth = width;
  mAskedHeight = height;
}

float ICanvasX11::ZoomToFit(int width, int height) const
{
  const float screen = GetScreenScale();
  return std::min(static_cast<float>(width) / (static_cast<float>(Width()) * screen),
                  static_cast<float>(height) / (static_cast<float>(Height()) * screen));
}

void ICanvasX11::SetZoomSizeHints()
{
  Native& n = *mNative;
  XSizeHints* hints = XAllocSizeHints();
  if (!hints)
    return;
  const float smallest = GetMinScale() * GetScreenScale();
  hints->flags = PMinSize | PAspect;
  hints->min_width = static_cast<int>(std::ceil(static_cast<float>(Width()) * smallest));
  hints->min_height = static_cast<int>(std::ceil(static_cast<float>(Height()) * smallest));
  hints->min_aspect.x = hints->max_aspect.x = Width();
  hints->min_aspect.y = hints->max_aspect.y = Height();
  XSetWMNormalHints(n.display, n.window, hints);
  XFree(hints);
}

void ICanvasX11::SetWindowTitle(std::string title)
{
  mTitle = std::move(title);
  if (mNative && mNative->topLevel && !mTitle.empty())
  {
    StoreWindowTitle(mNative->display, mNative->window, mTitle);
    XFlush(mNative->display);
  }
}

void* ICanvasX11::OpenWindow(void* parent)
{
  if (mNative)
    return reinterpret_cast<void*>(GetWindowID());

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    mLastError = std::string("cannot open the X display '") + XDisplayName(nullptr) +
                 "' (is DISPLAY set and the server running?)";
    return nullptr;
  }
  const int screen = DefaultScreen(display);
  if (!mScreenScaleGiven)
    ICanvasCairo::SetScreenScale(ReadScreenScale(display));

  auto native = std::make_unique<Native>();
  native->display = display;
  native->visual = DefaultVisual(display, screen);
  native->depth = DefaultDepth(display, screen);
  native->colormap = DefaultColormap(display, screen);
  if (!X11VisualMatchesARGB32(display, native->visual, native->depth)) {
    XVisualInfo info;
    if (XMatchVisualInfo(display, screen, 24, TrueColor, &info) &&
        X11VisualMatchesARGB32(display, info.visual, 24)) {
      native->visual = info.visual;
      native->depth = 24;
      native->colormap = XCreateColormap(display, RootWindow(display, screen), info.visual, AllocNone);
      native->ownsColormap = true;
    }
    else {
      mLastError = "the X display offers no 24-bit true-colour visual";
      XCloseDisplay(display);
      return nullptr;
    }
  }

  native->topLevel = parent == nullptr;
  if (native->topLevel && mZoomsToWindow) {
    // The size asked for, or the editor's, but never more than the screen leaves beside a title
    // bar and a panel: on a small laptop screen the bottom of the editor is not cut off.
    constexpr int kDesktopRoom = 48;
    const int askedWidth = mAskedWidth > 0 ? mAskedWidth : DeviceWidth();
    const int askedHeight = mAskedHeight > 0 ? mAskedHeight : DeviceHeight();
    const int roomWidth = std::min(askedWidth, DisplayWidth(display, screen));
    const int roomHeight = std::min(askedHeight, DisplayHeight(display, screen) - kDesktopRoom);
    Resize(Width(), Height(), ZoomToFit(roomWidth, roomHeight), false);
  }
  const Window parentWindow = parent ? static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent))
                                     : RootWindow(display, screen);
  const int width = std::max(1, DeviceWidth());
  const int height = std::max(1, DeviceHeight());

  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.border_pixel = 0;
  attributes.colormap = native->colormap;
  attributes.event_mask = kEventMask;
  {
    // A host's parent window can be gone by the time we get here.
    X11ErrorTrap trap(display);
    native->window = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, native->depth, InputOutput,
                                   native->visual, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask,
                                   &attributes);
    if (trap.Failed()) {
      mLastError = "cannot create a window inside the parent window";
      native->window = 0;
    }
  }
  if (!native->window) {
    if (native->ownsColormap)
      XFreeColormap(display, native->colormap);
    XCloseDisplay(display);
    return nullptr;
  }
  native->windowWidth = width;
  native->windowHeight = height;
  SetX11WindowOwnerAndIcon(display, native->window, X11IconFromBitmap(mIcon));

  if (native->topLevel) {
    const std::string title = !mTitle.empty() ? mTitle
                              : !GetSharedResourcesSubPath().empty() ? GetSharedResourcesSubPath()
                                                                      : std::string("Editor");
    StoreWindowTitle(display, native->window, title);
    // The program's own name as both instance and class, which is what a desktop entry's
    // StartupWMClass names: docks then group the window with the launcher that started it.
    std::string programName = program_invocation_short_name;
    XClassHint classHint{};
    classHint.res_name = programName.data();
    classHint.res_class = programName.data();
    XSetClassHint(display, native->window, &classHint);
    native->wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    native->wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, native->window, &native->wmDeleteWindow, 1);
  }

  native->gc = XCreateGC(display, native->window, 0, nullptr);
  native->arrowCursor = XCreateFontCursor(display, XC_left_ptr);
  native->resizeCursor = XCreateFontCursor(display, XC_bottom_right_corner);
  XDefineCursor(display, native->window, native->arrowCursor);
  native->doubleClickMs = ReadDoubleClickTime(display);
  native->image.Create(display, native->visual, native->depth, DeviceWidth(), DeviceHeight(),
                       mAllowShm);

  if (!mHidden)
    XMapWindow(display, native->window);
  XFlush(display);

  mNative = std::move(native);
  if (mNative->topLevel && mZoomsToWindow)
    SetZoomSizeHints();
  // From here on the canvas draws straight into the shared segment, where the server reads it.
  if (mNative->image.SharedPixels())
    ICanvasCairo::DrawResize();
  mClosed = false;
  mFramesRun = 0;
  mFramesPresented = 0;
  mNextFrame = std::chrono::steady_clock::now();
  mStats = X11FrameStats::FromEnvironment();
  if (mStats)
    mStats->WindowOpened(width, height, GetScreenScale(), UsesSharedMemory());
  // Everything is drawn for the new window, which starts black.
  SetAllControlsDirty();
  return reinterpret_cast<void*>(GetWindowID());
}

void ICanvasX11::CloseWindow()
{
  ReleaseNative();
  ICanvasCairo::CloseWindow();
}

void ICanvasX11::ReleaseNative()
{
  if (!mNative)
    return;
  Native& n = *mNative;
  {
    // A host may have destroyed its window, and ours inside it, already, while the last frame's
    // upload was still on its way: no request of this connection, earlier or now, may fail
    // loudly (Xlib's default would end the host).
    X11ErrorTrap trap(n.display, X11ErrorTrap::Earlier::kTrapped);
    const bool drawingIntoSegment = SurfaceIsShared();
    n.image.Destroy();
    // The segment is gone: the canvas takes memory of its own again.
    if (drawingIntoSegment)
      ICanvasCairo::DrawResize();
    if (n.gc)
      XFreeGC(n.display, n.gc);
    if (n.arrowCursor)
      XFreeCursor(n.display, n.arrowCursor);
    if (n.resizeCursor)
      XFreeCursor(n.display, n.resizeCursor);
    XDestroyWindow(n.display, n.window);
    if (n.ownsColormap)
      XFreeColormap(n.display, n.colormap);
  }
  XCloseDisplay(n.display);
  mNative.reset();
}

bool ICanvasX11::IsMapped() const { return mNative && mNative->mapped; }

bool ICanvasX11::IsShowing() const
{
  return mNative && mNative->mapped && mNative->viewable && !mNative->fullyObscured && !mHidden;
}

void ICanvasX11::CheckViewable(std::chrono::steady_clock::time_point now)
{
  Native& n = *mNative;
  xcb_connection_t* connection = XGetXCBConnection(n.display);
  // The question is sent in one pump and its answer taken in a later one, so the host's thread
  // never waits for the server (a round trip costs milliseconds on a busy machine).
  if (n.viewableQuestion) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (!xcb_poll_for_reply(connection, n.viewableQuestion, &reply, &error))
      return;
    if (reply)
      n.viewable = static_cast<xcb_get_window_attributes_reply_t*>(reply)->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    std::free(error); // the window is gone: the host is closing the editor
    n.viewableQuestion = 0;
  }
  if (now < n.nextViewableCheck)
    return;
  // Four questions a second: a shown window resumes within a quarter of a second at worst, and
  // its exposure asks again at once.
  n.nextViewableCheck = now + std::chrono::milliseconds(250);
  n.viewableQuestion = xcb_get_window_attributes(connection, static_cast<xcb_window_t>(n.window)).sequence;
}

void ICanvasX11::SetShown(bool shown)
{
  mHidden = !shown;
  if (!mNative)
    return;
  if (shown) {
    XMapRaised(mNative->display, mNative->window);
    // The window may have missed frames: bring it up to date at once.
    mNextFrame = std::chrono::steady_clock::now();
  }
  else {
    XUnmapWindow(mNative->display, mNative->window);
  }
  XFlush(mNative->display);
}

std::uintptr_t ICanvasX11::GetWindowID() const
{
  return mNative ? static_cast<std::uintptr_t>(mNative->window) : 0;
}

bool ICanvasX11::UsesSharedMemory() const { return mNative && mNative->image.UsesSharedMemory(); }

unsigned ICanvasX11::GetDoubleClickTimeMs() const { return mNative ? mNative->doubleClickMs : 400; }

void ICanvasX11::SetTimerFunc(std::function<void()> func, std::chrono::milliseconds interval)
{
  mTimer = func ? std::make_unique<umbra::IEffectTimer>(std::move(func), interval) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Pump

void ICanvasX11::Pump()
{
  if (!mNative)
    return;
  if (mStats)
    mStats->BeginPump();
  Display* display = mNative->display;
  for (int i = 0; i < kMaxEventsPerPump && mNative && XPending(display) > 0; ++i) {
    XEvent event;
    XNextEvent(display, &event);
    HandleEvent(event);
  }
  if (!mNative)
    return;
  if (mStats)
    mStats->Mark(X11FrameStats::Phase::kEvents);

  const auto now = std::chrono::steady_clock::now();
  if (mTimer)
    mTimer->Pump(now);
  if (mStats)
    mStats->Mark(X11FrameStats::Phase::kTimer);
  if (mNative)
    CheckViewable(now);
  if (mStats)
    mStats->Mark(X11FrameStats::Phase::kViewable);
  if (mNative && now >= mNextFrame) {
    // A late pump runs one frame and does not try to catch up on the ones it missed.
    mNextFrame += mFrameInterval;
    if (mNextFrame <= now)
      mNextFrame = now + mFrameInterval;
    // Nobody sees a frame drawn now: the animation waits, and the window's next exposure shows
    // the last picture until the next frame.
    if (IsShowing())
      RunWindowFrame();
  }
  if (mNative)
    XFlush(display);
  if (mStats)
    mStats->EndPump();
}

void ICanvasX11::WaitForEvents(std::chrono::milliseconds maxWait)
{
  using namespace std::chrono;
  const auto now = steady_clock::now();
  auto until = now + maxWait;
  if (IsShowing())
    until = std::min(until, mNextFrame);
  if (mTimer)
    until = std::min(until, mTimer->NextDue());
  // Rounded up: a wait cut short of the deadline would spin through its last millisecond.
  const auto waitMs = ceil<milliseconds>(until - now).count();
  if (waitMs <= 0)
    return;
  if (!mNative) {
    poll(nullptr, 0, static_cast<int>(waitMs));
    return;
  }
  XFlush(mNative->display);
  // Events Xlib has already read from the socket would not wake poll.
  if (XPending(mNative->display) > 0)
    return;
  pollfd fd{ConnectionNumber(mNative->display), POLLIN, 0};
  poll(&fd, 1, static_cast<int>(waitMs));
}

// ---------------------------------------------------------------------------------------------
// Frames and presentation

void ICanvasX11::RunWindowFrame()
{
  ++mFramesRun;
  if (mClosed)
    return;
  // The frame of RunFrame, keeping the regions so that only their union goes to the server.
  IRECTList rects;
  if (!IsDirty(rects))
    return;
  SetAllControlsClean();
  // Drawing into the shared segment: the server must be done reading the last frame from it (a
  // frame later it always is).
  if (SurfaceIsShared()) {
    if (mStats)
      mStats->Mark(X11FrameStats::Phase::kDraw);
    mNative->image.WaitUntilServerHasRead();
    if (mStats)
      mStats->Mark(X11FrameStats::Phase::kUpload);
  }
  Draw(rects);
  if (mStats)
    mStats->Mark(X11FrameStats::Phase::kDraw);
  Present(rects.Bounds());
  if (mStats) {
    mStats->Mark(X11FrameStats::Phase::kUpload);
    mStats->FramePresented();
  }
  ++mFramesPresented;
}

void ICanvasX11::Present(const IRECT& r)
{
  const float s = GetBackingPixelScale();
  const int x0 = static_cast<int>(std::floor(r.L * s));
  const int y0 = static_cast<int>(std::floor(r.T * s));
  const int x1 = static_cast<int>(std::ceil(r.R * s));
  const int y1 = static_cast<int>(std::ceil(r.B * s));
  PresentDevice(x0, y0, x1 - x0, y1 - y0);
}

void ICanvasX11::PresentDevice(int x, int y, int w, int h)
{
  if (!mNative || !GetSurface())
    return;
  cairo_surface_flush(GetSurface());
  mNative->image.Present(mNative->window, mNative->gc, cairo_image_surface_get_data(GetSurface()),
                         cairo_image_surface_get_stride(GetSurface()), x, y, w, h);
}

void ICanvasX11::DrawResize()
{
  // The canvas may be drawing into the old segment: it goes first, so the image made next is of
  // the canvas's own memory.
  if (mNative)
    mNative->image.Destroy();
  ICanvasCairo::DrawResize();
  if (!mNative)
    return;
  Native& n = *mNative;
  const int width = std::max(1, DeviceWidth());
  const int height = std::max(1, DeviceHeight());
  n.image.Create(n.display, n.visual, n.depth, width, height, mAllowShm);
  // The image above was made before the segment of the new size: once more, into the segment.
  if (n.image.SharedPixels())
    ICanvasCairo::DrawResize();
  if (!n.followingWindow && (width != n.windowWidth || height != n.windowHeight)) {
    XResizeWindow(n.display, n.window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    n.windowWidth = width;
    n.windowHeight = height;
    // A window manager may refuse or change a request and then never report it: only the last
    // few are remembered.
    constexpr size_t kRemembered = 16;
    if (n.requestedSizes.size() == kRemembered)
      n.requestedSizes.erase(n.requestedSizes.begin());
    n.requestedSizes.emplace_back(width, height);
  }
  // The new surface starts empty: everything is drawn again in the next frame.
  SetAllControlsDirty();
}

cairo_surface_t* ICanvasX11::CreateImageSurface(int width, int height)
{
  std::uint8_t* pixels = mNative ? mNative->image.SharedPixels() : nullptr;
  const int stride = mNative ? mNative->image.SharedStride() : 0;
  if (pixels && width == mNative->image.Width() && height == mNative->image.Height() &&
      stride == cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width))
    return cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride);
  return ICanvasCairo::CreateImageSurface(width, height);
}

bool ICanvasX11::SurfaceIsShared() const
{
  return mNative && GetSurface() && mNative->image.SharedPixels() &&
         cairo_image_surface_get_data(GetSurface()) == mNative->image.SharedPixels();
}

void ICanvasX11::SetScreenScale(float scale)
{
  if (scale > 0.f)
    mScreenScaleGiven = true;
  ICanvasCairo::SetScreenScale(scale);
}

void ICanvasX11::SetMouseCursor(ECursor cursor)
{
  ICanvasCairo::SetMouseCursor(cursor);
  if (!mNative)
    return;
  XDefineCursor(mNative->display, mNative->window,
                cursor == ECursor::kSizeNWSE ? mNative->resizeCursor : mNative->arrowCursor);
  XFlush(mNative->display);
}

} // namespace umbra::ui
