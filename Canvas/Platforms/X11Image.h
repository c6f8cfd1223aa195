#pragma once

// The window's copy of the canvas's picture: an XImage in a shared-memory segment when the X
// server offers MIT-SHM for this connection, else a plain XImage sent through the socket.
// Private to the X11 platform; includes Xlib.

#include <cstdint>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace umbra::ui {

class X11Image {
public:
  X11Image() = default;
  ~X11Image() { Destroy(); }
  X11Image(const X11Image&) = delete;
  X11Image& operator=(const X11Image&) = delete;

  // A width × height image for windows of visual (24-bit true colour, 32 bits per pixel).
  // Shared memory is tried unless allowShm is false; without it, presenting still works.
  void Create(Display* display, Visual* visual, int depth, int width, int height, bool allowShm);
  void Destroy();

  // Copies the rectangle (x, y, w, h) of an ARGB32 picture of the image's size (rows of stride
  // bytes) into the window at the same place. The rectangle is clipped to the image. A picture
  // drawn in SharedPixels() goes to the server as it is.
  void Present(Window window, GC gc, const std::uint8_t* pixels, int stride, int x, int y, int w,
               int h);

  // Consumes the server's word that it has read the segment (true), for the window's event loop.
  bool TakeCompletion(XEvent& event);
  // Waits, if it must, until the server has read the segment: before anything writes into it.
  void WaitUntilServerHasRead();

  // The shared segment's pixels and bytes per row, for drawing straight into them (Present then
  // copies nothing); none without shared memory.
  std::uint8_t* SharedPixels() const;
  int SharedStride() const { return mShmImage ? mShmImage->bytes_per_line : 0; }

  bool UsesSharedMemory() const { return mShmImage != nullptr; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }

private:
  bool CreateShared();
  static Bool IsOurCompletion(Display* display, XEvent* event, XPointer image);

  Display* mDisplay = nullptr;
  Visual* mVisual = nullptr;
  int mDepth = 0;
  int mWidth = 0;
  int mHeight = 0;
  XImage* mShmImage = nullptr;
  XShmSegmentInfo mShmInfo{};
  int mCompletionType = -1;
  // A put from the segment was sent and the server has not yet said it has read it.
  bool mServerReading = false;
};

// True when the visual stores pixels the way Cairo's ARGB32 images do (0x00RRGGBB in a 32-bit
// word), so that rows can be handed over without conversion.
bool X11VisualMatchesARGB32(Display* display, Visual* visual, int depth);

} // namespace umbra::ui
