#pragma once

// A session manager of our own speaking NSM over liblo, on the loopback address: it takes one
// client's announcement and sends it what RaySession or Agordejo would.

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <lo/lo.h>

#include "JackTestServer.h"

namespace umbra::test {

class TestSessionManager {
public:
  TestSessionManager() : mServer(lo_server_new_with_proto(nullptr, LO_UDP, nullptr))
  {
    if (mServer)
      lo_server_add_method(mServer, nullptr, nullptr, OnMessage, this);
  }
  TestSessionManager(const TestSessionManager&) = delete;
  TestSessionManager& operator=(const TestSessionManager&) = delete;
  ~TestSessionManager()
  {
    if (mClient)
      lo_address_free(mClient);
    if (mServer)
      lo_server_free(mServer);
  }
  std::string Url() const
  {
    return mServer ? "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(mServer)) + "/" : "";
  }

  // The announcement's application name and capabilities, once it came.
  bool WaitForAnnouncement(std::string& name, std::string& capabilities)
  {
    const bool came = WaitUntil([&] { return mClient != nullptr; });
    name = mAnnouncedName;
    capabilities = mCapabilities;
    return came;
  }
  void Send(const char* path, const std::vector<std::string>& args = {})
  {
    lo_message message = lo_message_new();
    for (const std::string& arg : args)
      lo_message_add_string(message, arg.c_str());
    lo_send_message_from(mClient, mServer, path, message);
    lo_message_free(message);
  }
  // Waits for the client's "/reply" to path.
  bool WaitForReply(const std::string& path)
  {
    return WaitUntil([&] { return std::count(mReplies.begin(), mReplies.end(), path) > 0; });
  }
  bool WaitForMessage(const std::string& path)
  {
    return WaitUntil([&] { return std::count(mMessages.begin(), mMessages.end(), path) > 0; });
  }
  void Forget()
  {
    mReplies.clear();
    mMessages.clear();
  }

private:
  bool WaitUntil(const std::function<bool()>& done)
  {
    return WaitFor(
      [&] {
        while (lo_server_recv_noblock(mServer, 0) > 0)
        {
        }
        return done();
      },
      std::chrono::seconds(20));
  }

  static int OnMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* self)
  {
    auto& manager = *static_cast<TestSessionManager*>(self);
    const std::string kind = path;
    manager.mMessages.push_back(kind);
    if (kind == "/nsm/server/announce" && argc >= 2 && types[0] == 's' && types[1] == 's')
    {
      // Strings start at the argument's address; liblo's union may not be read there (it is
      // only 4-byte aligned in the message).
      manager.mAnnouncedName = reinterpret_cast<const char*>(argv[0]);
      manager.mCapabilities = reinterpret_cast<const char*>(argv[1]);
      if (manager.mClient)
        lo_address_free(manager.mClient);
      char* url = lo_address_get_url(lo_message_get_source(message));
      manager.mClient = lo_address_new_from_url(url);
      std::free(url);
      lo_send_from(manager.mClient, manager.mServer, LO_TT_IMMEDIATE, "/reply", "ssss", "/nsm/server/announce",
                   "welcome", "test session", ":server-control:");
    }
    else if (kind == "/reply" && argc >= 1 && types[0] == 's')
      manager.mReplies.push_back(reinterpret_cast<const char*>(argv[0]));
    return 0;
  }

  lo_server mServer;
  lo_address mClient = nullptr;
  std::string mAnnouncedName, mCapabilities;
  std::vector<std::string> mReplies, mMessages;
};

} // namespace umbra::test
