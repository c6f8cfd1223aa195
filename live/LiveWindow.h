#pragma once

// umbravox-live's window: the plug-in's editor in a top-level X11 window titled with the client's
// name, zoomed to the window's size, with a veil over it while the JACK server is gone.

#include <string>

namespace umbra {
class Umbravox;
} // namespace umbra

namespace umbra::live {

class Watch;

// Runs the window until it is closed (outside a session) or a stop signal comes, driven as
// 'umbravox ui' drives it: the loop pumps events and frames and runs the plug-in's 20 ms timer.
// False (with the reason) when no window could be opened.
bool RunWindow(Umbravox& plug, Watch& watch, std::string& error);

} // namespace umbra::live
