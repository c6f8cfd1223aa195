#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Drawing/ICanvasCairo.h"
#include "IEffectTimer.h"

union _XEvent;

namespace umbra::ui {

class X11FrameStats;

// The canvas in an X11 window. The picture is drawn by the Cairo back end as everywhere else and
// copied into the window (through shared memory when the server allows it). Nothing runs on its
// own: whoever owns the main thread calls Pump() often (a standalone loop, or a host's idle
// callback), which handles the window's events, runs the owner's timer and a frame when they are
// due. Xlib stays out of this header.
class ICanvasX11 : public ICanvasCairo {
public:
  ICanvasX11(int width, int height, float drawScale = 1.f, int fps = 60);
  ~ICanvasX11() override;

  // parent is none for a top-level window, else the id of the X window to embed in (what hosts
  // hand to plug-in editors), carried in the pointer. The display is the one DISPLAY names.
  // Returns the new window's id the same way; none when there is no display or no usable visual
  // (GetLastError says why).
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;

  // Handles the events waiting, runs the timer and one frame if due, and returns at once.
  void Pump();
  // Sleeps until an event arrives or the timer or a frame is due, but no longer than maxWait:
  // what a standalone loop calls between pumps so it does not spin.
  void WaitForEvents(std::chrono::milliseconds maxWait);

  // The owner's main-thread timer (the plug-in's 20 ms tick), run from Pump(). It must not
  // close the window itself; it can ask the owner to, after Pump() returns.
  void SetTimerFunc(std::function<void()> func,
                    std::chrono::milliseconds interval = std::chrono::milliseconds(20));
  // A top-level window shows it in its title bar, at once when it is open already.
  void SetWindowTitle(std::string title);
  // A top-level window that the window manager resizes normally gives the editor the new room
  // at its zoom. Zooming instead (set before opening) keeps the editor whole: the window's size
  // hints keep the editor's aspect and its smallest zoom, a new window size zooms the editor to
  // fit, and the window opens at the size asked for here (device pixels, none for the editor's
  // own), made smaller when the screen is.
  void SetZoomsToWindow(bool zooms, int width = 0, int height = 0);
  // Shared memory is used when offered unless this is turned off before opening.
  void SetAllowSharedMemory(bool allow) { mAllowShm = allow; }

  bool IsOpen() const { return mNative != nullptr; }
  // The user asked the window manager to close a top-level window. The window stays until its
  // owner closes the editor.
  bool IsClosed() const { return mClosed; }
  // The owner keeps the window after a close request (it hides it instead): the next request is
  // reported anew.
  void AcknowledgeCloseRequest() { mClosed = false; }
  // Mapped on screen, so what is presented can be seen (and read back).
  bool IsMapped() const;
  // Mapped, not entirely covered and not hidden by its owner: only then do frames run. The
  // timer runs either way.
  bool IsShowing() const;
  // The owner (a host through the LV2 show interface) shows or hides the window.
  void SetShown(bool shown);
  std::uintptr_t GetWindowID() const;
  bool UsesSharedMemory() const;
  int GetFPS() const { return mFPS; }
  // Frames run by Pump() since the window opened (while showing), and those that changed the
  // window.
  long FramesRun() const { return mFramesRun; }
  long FramesPresented() const { return mFramesPresented; }
  // Two presses of a button within this many milliseconds (and a few pixels) are a double click.
  unsigned GetDoubleClickTimeMs() const;
  const std::string& GetLastError() const { return mLastError; }

  void SetMouseCursor(ECursor cursor) override;
  void SetWindowIcon(const IBitmap& bitmap) override { mIcon = bitmap; }
  // A screen scale given before the window opens (a host's, or the user's) stands; without one
  // the window takes the display's density from Xft.dpi.
  void SetScreenScale(float scale) override;
  // X11 windows are measured in device pixels, so a window is its logical size times the draw
  // scale times the display's density.
  float GetPlatformWindowScale() const override { return GetScreenScale(); }

protected:
  // The image follows the new size; the window too, unless the new size came from the window.
  void DrawResize() override;
  // With shared memory, the canvas draws straight into the segment the server reads.
  cairo_surface_t* CreateImageSurface(int width, int height) override;

private:
  struct Native;

  void ReleaseNative();
  // The canvas draws into the shared segment.
  bool SurfaceIsShared() const;
  // Whether the window and all its ancestors are mapped, asked of the server now and then.
  void CheckViewable(std::chrono::steady_clock::time_point now);
  void RunWindowFrame();
  // Copies the part of the picture under r (logical pixels), or all of it, into the window.
  void Present(const IRECT& r);
  void PresentDevice(int x, int y, int w, int h);

  // ICanvasX11Events.cpp
  void HandleEvent(_XEvent& event);
  void HandleButtonPress(_XEvent& event);
  void HandleButtonRelease(_XEvent& event);
  void HandleMotion(_XEvent& event);
  void HandleKey(_XEvent& event, bool isUp);
  void HandleConfigure(_XEvent& event);
  // The zoom at which the editor fits inside width by height device pixels.
  float ZoomToFit(int width, int height) const;
  void SetZoomSizeHints();

  std::unique_ptr<Native> mNative;
  // Set from UMBRAVOX_FRAME_STATS when the window opens (see X11FrameStats.h).
  std::unique_ptr<X11FrameStats> mStats;
  int mFPS;
  std::chrono::steady_clock::duration mFrameInterval;
  std::chrono::steady_clock::time_point mNextFrame;
  std::unique_ptr<umbra::IEffectTimer> mTimer;
  std::string mTitle;
  IBitmap mIcon;
  std::string mLastError;
  bool mAllowShm = true;
  bool mZoomsToWindow = false;
  int mAskedWidth = 0;
  int mAskedHeight = 0;
  bool mClosed = false;
  bool mScreenScaleGiven = false;
  bool mHidden = false;
  long mFramesRun = 0;
  long mFramesPresented = 0;
};

} // namespace umbra::ui
