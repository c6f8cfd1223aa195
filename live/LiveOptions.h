#pragma once

// umbravox-live's command line.

#include <optional>
#include <string>
#include <vector>

namespace umbra::live {

struct LiveOptions {
  std::string clientName = "Umbra Vox";
  std::optional<std::string> preset;
  std::vector<std::string> settings; // "NAME=VALUE", applied in order after the preset
  std::vector<std::string> controllers; // "NUMBER=PARAMETER", over the remembered MIDI map
  bool connect = false;
  bool aligned = false; // the dry path as late as the wet one, for a compensated graph
  bool noUI = false;
  bool fresh = false;
  bool verbose = false;
  bool help = false;
  bool version = false;
};

// Throws cli::UsageError for anything it does not understand.
LiveOptions ParseLiveOptions(const std::vector<std::string>& args);

extern const char* const kLiveHelp;

} // namespace umbra::live
