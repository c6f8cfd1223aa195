#pragma once

// What umbravox-live remembers between runs: the thirteen values, the preset's name, the MIDI
// map and the window's size, in a small text file under the user's configuration folder (or in
// a session's folder).

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace umbra {
class IEffectBase;
class IEffectJack;
} // namespace umbra

namespace umbra::live {

// The window's size in device pixels when it last closed; none (0) before it ever opened.
struct WindowSize {
  int width = 0;
  int height = 0;
};

struct RememberedState {
  std::string presetName;
  std::vector<double> values; // one per parameter, in index order, in the parameter's units
  // The MIDI map as "ccNUMBER=PARAMETER" lines gave it: the whole map when there is any line,
  // else none (the defaults stand).
  std::vector<std::pair<int, int>> controllers;
  WindowSize window;
};

// live.state for the default client name, live-NAME.state for any other.
std::string StateFileName(const std::string& clientName);
// $XDG_CONFIG_HOME/umbravox/ with that name, or ~/.config/umbravox/ when XDG_CONFIG_HOME is
// unset, empty or relative, where ~ is HOME or, without one, the home in the password database;
// empty when there is no home at all.
std::string StateFilePath(const std::string& clientName);
// Removes the temporary files a save of path left when it was killed half-way.
void RemoveStaleTemporaries(const std::string& path);

// The state held by plug, as the file holds it.
std::string FormatState(IEffectJack& plug, const WindowSize& window);
// The state in text, checked whole against plug's parameters: none when anything is amiss (a
// line it cannot read, a parameter or controller missing or twice, a value --set would not
// take, out of range).
std::optional<RememberedState> ParseState(const IEffectBase& plug, const std::string& text);

enum class LoadResult { kNoFile, kLoaded, kDamaged };
// Reads path and, only when it is whole, gives plug its preset and values as a host restores a
// state. A damaged file changes nothing.
// The window's size comes back in window.
LoadResult LoadState(IEffectJack& plug, const std::string& path, WindowSize& window);
// Writes plug's state through a temporary file renamed into place, making the folder first.
// Throws cli::UsageError when it cannot.
void SaveState(IEffectJack& plug, const std::string& path, const WindowSize& window);

} // namespace umbra::live
