#include "X11Image.h"

#include "X11ErrorTrap.h"

#include <algorithm>
#include <cstring>

#include <sys/ipc.h>
#include <sys/shm.h>

namespace umbra::ui {

namespace {

int NativeByteOrder()
{
  const std::uint32_t one = 1;
  std::uint8_t first = 0;
  std::memcpy(&first, &one, 1);
  return first ? LSBFirst : MSBFirst;
}

} // namespace

bool X11VisualMatchesARGB32(Display* display, Visual* visual, int depth)
{
  if (!visual || visual->c_class != TrueColor || (depth != 24 && depth != 32))
    return false;
  if (visual->red_mask != 0xff0000ul || visual->green_mask != 0xff00ul || visual->blue_mask != 0xfful)
    return false;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  bool bits32 = false;
  for (int i = 0; i < count; ++i)
    if (formats[i].depth == depth)
      bits32 = formats[i].bits_per_pixel == 32;
  if (formats)
    XFree(formats);
  return bits32;
}

void X11Image::Create(Display* display, Visual* visual, int depth, int width, int height,
                      bool allowShm)
{
  Destroy();
  mDisplay = display;
  mVisual = visual;
  mDepth = depth;
  mWidth = std::max(0, width);
  mHeight = std::max(0, height);
  mCompletionType = XShmGetEventBase(display) + ShmCompletion;
  // The server reads the segment as it is, so it has to agree with us on byte order.
  if (allowShm && mWidth > 0 && mHeight > 0 && XShmQueryExtension(display) &&
      ImageByteOrder(display) == NativeByteOrder())
    CreateShared();
}

bool X11Image::CreateShared()
{
  XImage* image = XShmCreateImage(mDisplay, mVisual, static_cast<unsigned>(mDepth), ZPixmap,
                                  nullptr, &mShmInfo, static_cast<unsigned>(mWidth),
                                  static_cast<unsigned>(mHeight));
  if (!image)
    return false;
  const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(mHeight);
  mShmInfo.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (mShmInfo.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  mShmInfo.shmaddr = static_cast<char*>(shmat(mShmInfo.shmid, nullptr, 0));
  if (mShmInfo.shmaddr == reinterpret_cast<char*>(-1)) {
    shmctl(mShmInfo.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  image->data = mShmInfo.shmaddr;
  mShmInfo.readOnly = False;

  // A remote or sandboxed server refuses the attach: that only means "no shared memory".
  bool attached = false;
  {
    X11ErrorTrap trap(mDisplay);
    attached = XShmAttach(mDisplay, &mShmInfo) != 0 && !trap.Failed();
  }
  // Marked for removal now, so the segment goes away with the last detach even if we crash.
  shmctl(mShmInfo.shmid, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(mShmInfo.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    mShmInfo = XShmSegmentInfo{};
    return false;
  }
  mShmImage = image;
  return true;
}

Bool X11Image::IsOurCompletion(Display*, XEvent* event, XPointer image)
{
  const auto& self = *reinterpret_cast<const X11Image*>(image);
  const bool ours = event->type == self.mCompletionType &&
                    reinterpret_cast<const XShmCompletionEvent*>(event)->shmseg == self.mShmInfo.shmseg;
  return ours ? True : False;
}

bool X11Image::TakeCompletion(XEvent& event)
{
  if (!mShmImage || !IsOurCompletion(mDisplay, &event, reinterpret_cast<XPointer>(this)))
    return false;
  mServerReading = false;
  return true;
}

void X11Image::WaitUntilServerHasRead()
{
  if (!mServerReading)
    return;
  // A frame later the server has long finished, and its word is usually in already. Otherwise
  // one round trip settles it: once XSync returns, every earlier request has been carried out.
  XEvent event;
  if (!XCheckIfEvent(mDisplay, &event, IsOurCompletion, reinterpret_cast<XPointer>(this))) {
    XSync(mDisplay, False);
    XCheckIfEvent(mDisplay, &event, IsOurCompletion, reinterpret_cast<XPointer>(this));
  }
  mServerReading = false;
}

std::uint8_t* X11Image::SharedPixels() const
{
  return mShmImage ? reinterpret_cast<std::uint8_t*>(mShmImage->data) : nullptr;
}

void X11Image::Destroy()
{
  mServerReading = false;
  if (mShmImage) {
    XShmDetach(mDisplay, &mShmInfo);
    XSync(mDisplay, False);
    shmdt(mShmInfo.shmaddr);
    mShmImage->data = nullptr;
    XDestroyImage(mShmImage);
    mShmImage = nullptr;
    mShmInfo = XShmSegmentInfo{};
  }
  mWidth = mHeight = 0;
}

void X11Image::Present(Window window, GC gc, const std::uint8_t* pixels, int stride, int x, int y,
                       int w, int h)
{
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(mWidth, x + w), y1 = std::min(mHeight, y + h);
  if (!pixels || x1 <= x0 || y1 <= y0)
    return;

  if (mShmImage) {
    if (pixels != SharedPixels()) {
      // The server reads the segment when it gets to the request; it must be done with the last
      // picture before this one goes in.
      WaitUntilServerHasRead();
      const int rowBytes = (x1 - x0) * 4;
      for (int row = y0; row < y1; ++row)
        std::memcpy(mShmImage->data + static_cast<ptrdiff_t>(row) * mShmImage->bytes_per_line + x0 * 4,
                    pixels + static_cast<ptrdiff_t>(row) * stride + x0 * 4,
                    static_cast<size_t>(rowBytes));
    }
    // Not waited for here: the server says when it has read the segment (a completion event),
    // and the caller's thread goes back to its own work meanwhile.
    XShmPutImage(mDisplay, window, gc, mShmImage, x0, y0, x0, y0, static_cast<unsigned>(x1 - x0),
                 static_cast<unsigned>(y1 - y0), True);
    mServerReading = true;
    XFlush(mDisplay);
    return;
  }

  // A header over the canvas's own rows; Xlib converts byte order while sending if it must.
  XImage* image = XCreateImage(mDisplay, mVisual, static_cast<unsigned>(mDepth), ZPixmap, 0,
                               const_cast<char*>(reinterpret_cast<const char*>(pixels)),
                               static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight), 32,
                               stride);
  if (!image)
    return;
  image->byte_order = NativeByteOrder();
  XPutImage(mDisplay, window, gc, image, x0, y0, x0, y0, static_cast<unsigned>(x1 - x0),
            static_cast<unsigned>(y1 - y0));
  image->data = nullptr; // the rows belong to the canvas
  XDestroyImage(image);
  XFlush(mDisplay);
}

} // namespace umbra::ui
