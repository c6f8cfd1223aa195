#pragma once

// A small HTTP server on 127.0.0.1 at a free port, for the update checker's tests: it answers
// every request with the status and body the test set, optionally after a delay, and counts the
// requests it has answered. Nothing here listens beyond the loopback address.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace umbra::test {

class LocalHttpServer {
public:
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool Running() const { return mListenFd >= 0; }
  int Port() const { return mPort; }
  // http://127.0.0.1:PORT/api/version.json
  std::string VersionFileAddress() const;

  void SetAnswer(std::string body, int status = 200);
  void SetDelay(std::chrono::milliseconds delay);
  int Requests() const { return mRequests.load(); }
  // The request line of the last request ("GET /api/version.json HTTP/1.1").
  std::string LastRequestLine() const;

private:
  void Serve();
  void Answer(int fd);

  int mListenFd = -1;
  int mPort = 0;
  std::atomic<bool> mStopping{false};
  std::atomic<int> mRequests{0};
  mutable std::mutex mMutex;
  std::string mBody;
  int mStatus = 200;
  std::chrono::milliseconds mDelay{0};
  std::string mLastRequestLine;
  std::thread mThread;
};

} // namespace umbra::test
