#pragma once

// How umbravox-live stops: SIGINT (Ctrl-C), SIGTERM and SIGHUP (a closed terminal) each ask the
// main loop to end, which then saves as at any exit.

namespace umbra::live {

// The stop signals are blocked while JACK starts its threads, so they inherit the mask and only
// the main thread, which handles them, ever sees one.
void BlockStopSignals(bool block);
// Installs the handler and unblocks the signals.
void HandleStopSignals();
bool StopRequested();
// A stop signal that came while they were blocked (and is delivered once they are handled), or
// one handled already.
bool StopSignalPending();

} // namespace umbra::live
