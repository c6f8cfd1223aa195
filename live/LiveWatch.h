#pragma once

// What umbravox-live's main loop looks after besides the window: the JACK server, which may go
// away and come back while the program waits with its settings; the state file, written at exit,
// when the server goes and when a session manager asks; the preset a Program Change recalled; in
// --verbose the first cycle and each xrun.

#include <chrono>
#include <string>

#include "LiveOptions.h"
#include "LiveState.h"

namespace umbra {
class Umbravox;
} // namespace umbra

namespace umbra::live {

class SessionClient;

// One line on stderr, "umbravox-live: " first.
void Say(const std::string& line);

class Watch {
public:
  Watch(Umbravox& plug, const LiveOptions& options, std::string statePath, SessionClient* session);

  SessionClient* Session() const { return mSession; }
  bool ShouldStop() const;
  bool ServerGone() const { return mServerGone; }
  // The title the window should show now.
  std::string Title() const;
  // Whether a Program Change named a preset since the last call.
  bool TakePresetNamed();

  // The window's size, kept in the state: as the state file gave it, then as the window had it
  // when it closed.
  WindowSize& Window() { return mWindow; }
  // Writes the state, saying so when it cannot; false then.
  bool Save();

  // Run from the main loop a few times a second or more: true when the server went away or came
  // back since the last call.
  bool Tick();

private:
  static constexpr auto kRetryInterval = std::chrono::seconds(1);

  void NameRecalledPreset();
  void Report();

  Umbravox& mPlug;
  bool mVerbose;
  bool mAligned;
  std::string mStatePath;
  SessionClient* mSession;
  std::string mName;
  WindowSize mWindow;
  bool mServerGone = false;
  bool mPresetNamed = false;
  std::chrono::steady_clock::time_point mNextTry;
  bool mToldStart = false;
  long mXruns = 0;
};

} // namespace umbra::live
