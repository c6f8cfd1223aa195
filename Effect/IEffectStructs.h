#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IByteChunk.h"
#include "IEffectConstants.h"

namespace umbra {

// Packs four characters into a 32-bit code, first character in the top byte.
constexpr int32_t MakeFourCC(const char (&code)[5])
{
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(code[3])));
}

// Versions pack major in the upper 16 bits, minor in bits 8..15 and patch in bits 0..7.
constexpr int VersionMajor(int version) { return (version >> 16) & 0xFFFF; }
constexpr int VersionMinor(int version) { return (version >> 8) & 0xFF; }
constexpr int VersionPatch(int version) { return version & 0xFF; }
std::string VersionString(int version); // "v0.9.2"

struct IMidiMsg {
  int mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;
};

struct ISysEx {
  static constexpr int kMaxSize = 512;
  int mOffset = 0;
  int mSize = 0;
  uint8_t mData[kMaxSize] = {};
};

// One parameter change queued from the host for the editor.
struct ParamTuple {
  int idx = kNoParameter;
  double value = 0.0;
};

// The host's transport, filled by the wrapper before each processed block.
struct ITransportInfo {
  double mTempo = 120.0;
  double mSamplePos = -1.0;
  double mPPQPos = -1.0;
  double mLastBar = -1.0;
  double mCycleStart = -1.0;
  double mCycleEnd = -1.0;
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

struct IPreset {
  bool mInitialized = false;
  std::string mName = "empty";
  IByteChunk mChunk;
};

struct IBusDesc {
  ERoute mDirection;
  int mNChans;
};

struct IOConfig {
  std::vector<std::unique_ptr<IBusDesc>> mBusInfo[2];

  void AddBusInfo(ERoute direction, int nChans)
  {
    mBusInfo[direction].push_back(std::make_unique<IBusDesc>(IBusDesc{direction, nChans}));
  }
  int NBuses(ERoute direction) const { return static_cast<int>(mBusInfo[direction].size()); }
  const IBusDesc* GetBusInfo(ERoute direction, int index) const
  {
    return index >= 0 && index < NBuses(direction) ? mBusInfo[direction][index].get() : nullptr;
  }
  // The plain sum of the buses' counts (a wildcard bus counts as its negative marker).
  int GetTotalNChannels(ERoute direction) const
  {
    int total = 0;
    for (const auto& bus : mBusInfo[direction])
      total += bus->mNChans;
    return total;
  }
  bool ContainsWildcard(ERoute direction) const
  {
    for (const auto& bus : mBusInfo[direction])
      if (bus->mNChans < 0)
        return true;
    return false;
  }
};

// The compiled configuration of a plug-in, handed from its constructor to the framework.
struct Config {
  int nParams = 0;
  int nPresets = 0;
  const char* channelIOStr = "";
  const char* pluginName = "";
  const char* productName = "";
  const char* mfrName = "";
  int vendorVersion = 0;
  int uniqueID = 0;
  int mfrID = 0;
  int latency = 0;
  bool plugDoesMidiIn = false;
  bool plugDoesMidiOut = false;
  bool plugDoesMPE = false;
  bool plugDoesChunks = false;
  int plugType = kEffect;
  bool plugHasUI = false;
  int plugWidth = 0;
  int plugHeight = 0;
  int plugMinWidth = 0;
  int plugMaxWidth = 0;
  int plugMinHeight = 0;
  int plugMaxHeight = 0;
  bool plugHostResize = false;
  const char* bundleID = "";
  const char* appGroupID = "";
};

// What the host's factory knows of the instance it is building.
struct InstanceInfo {
  std::string mCocoaViewFactoryClassName;
};

} // namespace umbra
