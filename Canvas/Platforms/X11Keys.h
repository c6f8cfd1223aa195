#pragma once

// Key symbols of X11 as the canvas's key presses. Kept apart from the window so that the
// mapping can be checked without an X server.

#include "IControlEvents.h"

namespace umbra::ui {

// keysym is what XLookupString found, text the Latin-1 bytes it produced (count of them), state
// the event's modifier mask. Keys with a virtual code of their own (escape, return, arrows...)
// carry it and no character; printable keys carry their character as UTF-8 and, for letters and
// digits, the upper-case ASCII code as virtual key; anything else has virtual key 0.
IKeyPress X11KeyPress(unsigned long keysym, const char* text, int count, unsigned state);

} // namespace umbra::ui
