#include "LiveSession.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "CliSupport.h"

namespace umbra::live {

namespace {

// An OSC string argument. liblo's arguments sit on 4-byte boundaries in the message, where its
// union (which holds 8-byte numbers too) may not be read through: the string starts at the
// argument's address.
const char* StringArgument(const lo_arg* argument)
{
  return reinterpret_cast<const char*>(argument);
}

constexpr int kApiMajor = 1;
constexpr int kApiMinor = 2;

// liblo reports a failed receive or send here; the caller sees the failure in its result.
void QuietErrors(int, const char*, const char*) {}

} // namespace

std::unique_ptr<SessionClient> SessionClient::FromEnvironment(bool withWindow)
{
  const char* url = std::getenv("NSM_URL");
  if (!url || !*url)
    return nullptr;
  lo_address manager = lo_address_new_from_url(url);
  if (!manager)
    throw cli::UsageError(std::string("NSM_URL '") + url + "' is no OSC address");
  // Replies come back to where the announcement came from, on a port of our own.
  lo_server server = lo_server_new_with_proto(nullptr, lo_address_get_protocol(manager), QuietErrors);
  if (!server)
  {
    lo_address_free(manager);
    throw cli::UsageError("cannot open a port to talk to the session manager");
  }
  std::unique_ptr<SessionClient> client(new SessionClient(server, manager, withWindow));
  // The optional window is shown and hidden on request; a headless one has none to offer.
  const char* capabilities = withWindow ? ":optional-gui:" : ":";
  if (lo_send_from(manager, server, LO_TT_IMMEDIATE, "/nsm/server/announce", "sssiii", "Umbra Vox", capabilities,
                   "umbravox-live", kApiMajor, kApiMinor, static_cast<int>(getpid())) < 0)
    throw cli::UsageError(std::string("cannot reach the session manager at '") + url + "'");
  return client;
}

SessionClient::SessionClient(lo_server server, lo_address manager, bool withWindow)
  : mServer(server), mManager(manager), mWithWindow(withWindow)
{
  lo_server_add_method(mServer, nullptr, nullptr, OnMessage, this);
}

SessionClient::~SessionClient()
{
  lo_server_free(mServer);
  lo_address_free(mManager);
}

int SessionClient::OnMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message, void* self)
{
  auto& client = *static_cast<SessionClient*>(self);
  const std::string kind = path;
  if (kind == "/nsm/client/open" && argc >= 3 && std::strncmp(types, "sss", 3) == 0)
  {
    client.mStatePath = std::string(StringArgument(argv[0])) + ".state";
    client.mClientId = StringArgument(argv[2]);
    client.mOpenRequested = true;
  }
  else if (kind == "/nsm/client/save")
    client.mSaveRequested = true;
  else if (kind == "/nsm/client/show_optional_gui")
    client.mShowRequested = 1;
  else if (kind == "/nsm/client/hide_optional_gui")
    client.mShowRequested = 0;
  else if (kind == "/error" && argc >= 3 && std::strncmp(types, "sis", 3) == 0 &&
           std::string(StringArgument(argv[0])) == "/nsm/server/announce")
    client.mRefusal = StringArgument(argv[2]);
  // Replies to the announcement and anything else need nothing from us.
  return 0;
}

bool SessionClient::WaitForOpen(const std::function<bool()>& stop)
{
  while (!mOpenRequested && mRefusal.empty() && !stop())
    Poll(100);
  if (!mRefusal.empty())
    throw cli::UsageError("the session manager refused it: " + mRefusal);
  return mOpenRequested;
}

void SessionClient::Poll(int timeoutMs)
{
  for (int wait = timeoutMs; lo_server_recv_noblock(mServer, wait) > 0; wait = 0)
  {
  }
}

void SessionClient::ReplyOpen(bool ok, const std::string& message)
{
  if (ok)
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/reply", "ss", "/nsm/client/open", message.c_str());
  else
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/error", "sis", "/nsm/client/open", -1, message.c_str());
}

bool SessionClient::TakeSaveRequest()
{
  const bool requested = mSaveRequested;
  mSaveRequested = false;
  return requested;
}

void SessionClient::ReplySave(bool ok, const std::string& message)
{
  if (ok)
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/reply", "ss", "/nsm/client/save", message.c_str());
  else
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/error", "sis", "/nsm/client/save", -1, message.c_str());
}

int SessionClient::TakeShowRequest()
{
  const int requested = mShowRequested;
  mShowRequested = -1;
  return requested;
}

void SessionClient::TellWindowShown(bool shown)
{
  if (mWithWindow)
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", "");
}

} // namespace umbra::live
