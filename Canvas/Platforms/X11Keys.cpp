#include "X11Keys.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace umbra::ui {

namespace {

// Keys the framework's controls act on by code, whatever character (if any) they type.
int SpecialVirtualKey(unsigned long keysym)
{
  switch (keysym) {
    case XK_BackSpace: return kVK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return kVK_TAB;
    case XK_Return: case XK_KP_Enter: return kVK_RETURN;
    case XK_Escape: return kVK_ESCAPE;
    case XK_End: case XK_KP_End: return kVK_END;
    case XK_Home: case XK_KP_Home: return kVK_HOME;
    case XK_Left: case XK_KP_Left: return kVK_LEFT;
    case XK_Up: case XK_KP_Up: return kVK_UP;
    case XK_Right: case XK_KP_Right: return kVK_RIGHT;
    case XK_Down: case XK_KP_Down: return kVK_DOWN;
    case XK_Delete: case XK_KP_Delete: return kVK_DELETE;
    default: return 0;
  }
}

} // namespace

IKeyPress X11KeyPress(unsigned long keysym, const char* text, int count, unsigned state)
{
  IKeyPress key;
  key.S = (state & ShiftMask) != 0;
  key.C = (state & ControlMask) != 0;
  key.A = (state & Mod1Mask) != 0;

  key.VK = SpecialVirtualKey(keysym);
  if (key.VK != 0)
    return key;

  // One Latin-1 character at most comes out of XLookupString without an input method; control
  // characters (typed with control held) are not text.
  if (count == 1 && text) {
    const auto c = static_cast<unsigned char>(text[0]);
    if (c >= 0x20 && c != 0x7f) {
      if (c < 0x80) {
        key.utf8[0] = static_cast<char>(c);
      }
      else {
        key.utf8[0] = static_cast<char>(0xc0 | (c >> 6));
        key.utf8[1] = static_cast<char>(0x80 | (c & 0x3f));
      }
    }
  }

  if (keysym >= XK_a && keysym <= XK_z)
    key.VK = static_cast<int>(keysym - XK_a) + 'A';
  else if ((keysym >= XK_A && keysym <= XK_Z) || (keysym >= XK_0 && keysym <= XK_9) ||
           keysym == XK_space)
    key.VK = static_cast<int>(keysym);
  return key;
}

} // namespace umbra::ui
