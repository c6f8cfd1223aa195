#pragma once

// umbravox-live under a session manager speaking NSM (Non Session Manager's protocol, which
// RaySession and Agordejo speak too): started with NSM_URL set, it announces itself, waits to be
// told where its state lives and under which name to join JACK, saves when asked, and hides and
// shows its window on request. Main thread only; liblo carries the messages over UDP.

#include <functional>
#include <memory>
#include <string>

#include <lo/lo.h>

namespace umbra::live {

class SessionClient {
public:
  // None when NSM_URL is not set; throws cli::UsageError when it is set but cannot be used.
  static std::unique_ptr<SessionClient> FromEnvironment(bool withWindow);
  ~SessionClient();
  SessionClient(const SessionClient&) = delete;
  SessionClient& operator=(const SessionClient&) = delete;

  // Waits until the session manager says where to open (or until stop() holds); false when it
  // did not. Throws cli::UsageError when it refused the announcement.
  bool WaitForOpen(const std::function<bool()>& stop);
  // Where the state lives and the JACK client name to take, once open was asked for.
  const std::string& StatePath() const { return mStatePath; }
  const std::string& ClientName() const { return mClientId; }
  // Tells the session manager how opening went.
  void ReplyOpen(bool ok, const std::string& message);

  // Handles what arrived, waiting up to timeoutMs for the first message.
  void Poll(int timeoutMs);
  // A save asked for since the last call; the answer goes back with ReplySave.
  bool TakeSaveRequest();
  void ReplySave(bool ok, const std::string& message);
  // Shown (1) or hidden (0) asked for since the last call, or -1; the window's new state goes
  // back with TellWindowShown.
  int TakeShowRequest();
  void TellWindowShown(bool shown);

private:
  SessionClient(lo_server server, lo_address manager, bool withWindow);
  static int OnMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);

  lo_server mServer;
  lo_address mManager;
  bool mWithWindow;
  bool mOpenRequested = false;
  bool mSaveRequested = false;
  int mShowRequested = -1;
  std::string mRefusal;
  std::string mStatePath;
  std::string mClientId;
};

} // namespace umbra::live
