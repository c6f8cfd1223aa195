#include "X11ErrorTrap.h"

namespace umbra::ui {

namespace {

int gErrors = 0;

int CountError(Display*, XErrorEvent*)
{
  ++gErrors;
  return 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(Display* display, Earlier earlier) : mDisplay(display)
{
  if (earlier == Earlier::kTheirs)
    XSync(mDisplay, False);
  gErrors = 0;
  mPrevious = XSetErrorHandler(CountError);
}

X11ErrorTrap::~X11ErrorTrap()
{
  XSync(mDisplay, False);
  XSetErrorHandler(mPrevious);
}

bool X11ErrorTrap::Failed()
{
  XSync(mDisplay, False);
  return gErrors > 0;
}

} // namespace umbra::ui
