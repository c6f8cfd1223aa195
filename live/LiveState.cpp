#include "LiveState.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#include "CliSupport.h"
#include "IByteChunk.h"
#include "LiveMidi.h"
#include "LiveOptions.h"
#include "JACK/IEffectJack.h"

namespace umbra::live {

namespace {

constexpr const char* kHeader = "# Umbra Vox live: the state at the last exit, rewritten at every exit";
constexpr const char* kFormat = "format=1";
// Far more than the file ever holds; anything longer is not ours.
constexpr std::streamsize kMaxFileSize = 64 * 1024;

// A window side in device pixels, as plain digits.
bool ParseSize(const std::string& text, int& value)
{
  constexpr int kLargest = 1 << 15;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() && value > 0 && value <= kLargest;
}

std::string ConfigFolder()
{
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/')
    return config;
  const char* home = std::getenv("HOME");
  if (home && *home == '/')
    return (std::filesystem::path(home) / ".config").string();
  // A service started without HOME still has a home in the password database.
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir == '/')
    return (std::filesystem::path(entry->pw_dir) / ".config").string();
  return {};
}

} // namespace

std::string StateFileName(const std::string& clientName)
{
  if (clientName == LiveOptions{}.clientName)
    return "live.state";
  // Each named client keeps its own state, so two running side by side never overwrite each
  // other's at exit; characters a file name should not carry become underscores.
  std::string name = "live-";
  for (const char c : clientName)
    name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
  return name + ".state";
}

std::string StateFilePath(const std::string& clientName)
{
  const std::string folder = ConfigFolder();
  if (folder.empty())
    return {};
  return (std::filesystem::path(folder) / "umbravox" / StateFileName(clientName)).string();
}

void RemoveStaleTemporaries(const std::string& path)
{
  // Only this client's: a save of another client's state may be under way beside it.
  const std::filesystem::path file(path);
  const std::string prefix = file.filename().string() + ".tmp.";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), error))
    if (entry.path().filename().string().rfind(prefix, 0) == 0)
      std::filesystem::remove(entry.path(), error);
}

std::string FormatState(IEffectJack& plug, const WindowSize& window)
{
  IByteChunk chunk;
  plug.SerializeState(chunk);
  std::string text = std::string(kHeader) + "\n" + kFormat + "\n";
  text += "preset=" + std::string(plug.GetPresetName(plug.CurrentPresetIndex())) + "\n";
  int pos = 0;
  for (int i = 0; i < plug.NParams(); ++i)
  {
    double value = 0.0;
    pos = chunk.Get(&value, pos);
    if (pos < 0)
      break;
    // The shortest plain decimal that brings the double back exactly, as --set reads it.
    char number[400];
    const auto written = std::to_chars(number, number + sizeof(number), value, std::chars_format::fixed);
    text += std::string(plug.GetParam(i)->GetName()) + "=" + std::string(number, written.ptr) + "\n";
  }
  for (int cc = 0; cc < JackMidiMap::kControllers; ++cc)
    if (const int target = plug.Midi().ControllerTarget(cc); target != JackMidiMap::kUnmapped)
      text += "cc" + std::to_string(cc) + "=" + ControllerTargetName(plug, target) + "\n";
  if (window.width > 0 && window.height > 0)
    text += "window=" + std::to_string(window.width) + "x" + std::to_string(window.height) + "\n";
  return text;
}

std::optional<RememberedState> ParseState(const IEffectBase& plug, const std::string& text)
{
  RememberedState state;
  state.values.assign(static_cast<size_t>(plug.NParams()), NAN);
  std::vector<bool> seen(static_cast<size_t>(plug.NParams()), false);
  std::vector<bool> controllerSeen(JackMidiMap::kControllers, false);
  bool formatSeen = false, presetSeen = false, windowSeen = false;

  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
  {
    if (line.empty() || line[0] == '#')
      continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      return std::nullopt;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "format")
    {
      if (formatSeen || value != "1")
        return std::nullopt;
      formatSeen = true;
    }
    else if (key == "preset")
    {
      if (presetSeen || value.size() >= static_cast<size_t>(kMaxPresetNameLen))
        return std::nullopt;
      presetSeen = true;
      state.presetName = value;
    }
    else if (key == "window")
    {
      const size_t x = value.find('x');
      if (windowSeen || x == std::string::npos || !ParseSize(value.substr(0, x), state.window.width) ||
          !ParseSize(value.substr(x + 1), state.window.height))
        return std::nullopt;
      windowSeen = true;
    }
    else if (key.rfind("cc", 0) == 0 && ParseControllerNumber(key.substr(2)) >= 0)
    {
      const int cc = ParseControllerNumber(key.substr(2));
      const int target = ParseControllerTarget(plug, value);
      if (controllerSeen[static_cast<size_t>(cc)] || target < JackMidiMap::kHold)
        return std::nullopt;
      controllerSeen[static_cast<size_t>(cc)] = true;
      state.controllers.emplace_back(cc, target);
    }
    else
    {
      const int idx = cli::FindParamByName(plug, key);
      double number = 0.0;
      if (idx < 0 || seen[static_cast<size_t>(idx)] || !cli::ParseDecimal(value, number))
        return std::nullopt;
      const IParam& param = *plug.GetParam(idx);
      if (number < param.GetMin() || number > param.GetMax())
        return std::nullopt;
      seen[static_cast<size_t>(idx)] = true;
      state.values[static_cast<size_t>(idx)] = number;
    }
  }
  if (!formatSeen || !presetSeen)
    return std::nullopt;
  for (bool present : seen)
    if (!present)
      return std::nullopt;
  return state;
}

LoadResult LoadState(IEffectJack& plug, const std::string& path, WindowSize& window)
{
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return std::filesystem::exists(path) ? LoadResult::kDamaged : LoadResult::kNoFile;
  std::string text(static_cast<size_t>(kMaxFileSize) + 1, '\0');
  file.read(text.data(), kMaxFileSize + 1);
  if (file.bad() || file.gcount() > kMaxFileSize)
    return LoadResult::kDamaged;
  text.resize(static_cast<size_t>(file.gcount()));

  const std::optional<RememberedState> state = ParseState(plug, text);
  if (!state)
    return LoadResult::kDamaged;

  // The named factory preset is recalled first, so the editor's header and browser show it;
  // then the values, as a host restores a state.
  int presetIdx = -1;
  for (int i = 0; i < plug.PresetCount() && presetIdx < 0; ++i)
    if (state->presetName == plug.GetPresetName(i))
      presetIdx = i;
  if (presetIdx >= 0)
    plug.RestorePreset(presetIdx);
  IByteChunk chunk;
  for (double value : state->values)
    chunk.Put(&value);
  plug.HostSetState(chunk);
  window = state->window;
  if (!state->controllers.empty())
  {
    for (int cc = 0; cc < JackMidiMap::kControllers; ++cc)
      plug.Midi().MapController(cc, JackMidiMap::kUnmapped);
    for (const auto& [cc, target] : state->controllers)
      plug.Midi().MapController(cc, target);
  }
  // A name no factory preset has came from a preset file: it names the current slot, as loading
  // that file did.
  if (presetIdx < 0 && !state->presetName.empty())
    plug.ModifyCurrentPreset(state->presetName.c_str());
  return LoadResult::kLoaded;
}

void SaveState(IEffectJack& plug, const std::string& path, const WindowSize& window)
{
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error)
    throw cli::UsageError("cannot make the folder of '" + path + "': " + error.message());
  const std::string text = FormatState(plug, window);

  // Written whole under a temporary name beside the file, flushed to disk, then renamed over
  // it: a crash or a full disk leaves the last good state, never half of one.
  std::string temporary = path + ".tmp.XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0)
    throw cli::UsageError("cannot write '" + path + "': " + std::strerror(errno));
  bool written = true;
  for (size_t done = 0; written && done < text.size();)
  {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    written = n > 0;
    done += written ? static_cast<size_t>(n) : 0;
  }
  const int savedErrno = errno;
  written = written && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0)
  {
    const int reason = written ? errno : savedErrno;
    unlink(temporary.c_str());
    throw cli::UsageError("cannot write '" + path + "': " + std::strerror(reason));
  }
}

} // namespace umbra::live
