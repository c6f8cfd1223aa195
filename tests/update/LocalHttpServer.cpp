#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace umbra::test {

LocalHttpServer::LocalHttpServer()
{
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0; // any free port
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return;
  }
  mListenFd = fd;
  mPort = ntohs(addr.sin_port);
  mThread = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
  mStopping = true;
  if (mThread.joinable())
    mThread.join();
  if (mListenFd >= 0)
    close(mListenFd);
}

std::string LocalHttpServer::VersionFileAddress() const
{
  return "http://127.0.0.1:" + std::to_string(mPort) + "/api/version.json";
}

void LocalHttpServer::SetAnswer(std::string body, int status)
{
  std::lock_guard<std::mutex> lock(mMutex);
  mBody = std::move(body);
  mStatus = status;
}

void LocalHttpServer::SetDelay(std::chrono::milliseconds delay)
{
  std::lock_guard<std::mutex> lock(mMutex);
  mDelay = delay;
}

std::string LocalHttpServer::LastRequestLine() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mLastRequestLine;
}

void LocalHttpServer::Serve()
{
  while (!mStopping) {
    pollfd p{mListenFd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0)
      continue;
    const int fd = accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    Answer(fd);
    close(fd);
  }
}

void LocalHttpServer::Answer(int fd)
{
  // The request's head, up to the blank line.
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0)
      return;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
      return;
    request.append(buffer, static_cast<size_t>(n));
  }

  std::string body;
  int status;
  std::chrono::milliseconds delay;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mLastRequestLine = request.substr(0, request.find("\r\n"));
    body = mBody;
    status = mStatus;
    delay = mDelay;
  }
  if (delay.count() > 0)
    std::this_thread::sleep_for(delay);

  const std::string reason = status == 200 ? "OK" : "Not Found";
  const std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                               "\r\nContent-Type: application/json\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                               body;
  // Counted before the answer leaves, so that a check that has its answer sees the count.
  ++mRequests;
  size_t sent = 0;
  while (sent < response.size()) {
    const ssize_t n = send(fd, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      break;
    sent += static_cast<size_t>(n);
  }
}

} // namespace umbra::test
