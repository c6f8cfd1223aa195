// Feeds arbitrary bytes to the preset-file reader and to the state-chunk reader. Neither may
// crash; a refused preset file changes nothing; whatever a chunk holds, every parameter ends up
// finite and within its range.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "Umbravox.h"

using namespace umbra;

namespace {

struct Snapshot {
  IByteChunk state;
  std::vector<std::string> presetNames;
  std::vector<IByteChunk> presetChunks;
  int currentPreset = 0;

  explicit Snapshot(const IEffectBase& plug) : currentPreset(plug.CurrentPresetIndex())
  {
    plug.SerializeState(state);
    for (int i = 0; i < plug.PresetCount(); ++i)
    {
      presetNames.emplace_back(plug.GetPresetName(i));
      presetChunks.push_back(plug.GetPreset(i)->mChunk);
    }
  }

  bool operator==(const Snapshot& other) const
  {
    if (!state.IsEqual(other.state) || presetNames != other.presetNames ||
        currentPreset != other.currentPreset)
      return false;
    for (size_t i = 0; i < presetChunks.size(); ++i)
      if (!presetChunks[i].IsEqual(other.presetChunks[i]))
        return false;
    return true;
  }
};

void Require(bool condition, const char* what)
{
  if (!condition)
  {
    fprintf(stderr, "fuzz_state: %s\n", what);
    abort();
  }
}

void RequireSaneParameters(const IEffectBase& plug)
{
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam& param = *plug.GetParam(i);
    const double value = param.Value();
    Require(std::isfinite(value), "a parameter became non-finite");
    Require(value >= param.GetMin() && value <= param.GetMax(), "a parameter left its range");
  }
}

const std::string& ScratchFile()
{
  static const std::string path = [] {
    std::string pattern = "/tmp/umbravox-fuzz-XXXXXX";
    const int fd = mkstemp(pattern.data());
    Require(fd >= 0, "cannot make a scratch file");
    close(fd);
    return pattern;
  }();
  return path;
}

void FuzzPresetFile(const uint8_t* data, size_t size)
{
  FILE* file = fopen(ScratchFile().c_str(), "wb");
  Require(file != nullptr, "cannot write the scratch file");
  if (size)
    fwrite(data, 1, size, file);
  fclose(file);

  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->RestorePreset(static_cast<int>(size % 10));
  const Snapshot before(*plug);
  const bool loaded = plug->LoadPresetFromFXP(ScratchFile().c_str());
  if (!loaded)
    Require(Snapshot(*plug) == before, "a refused preset file changed the plug-in");
  else
    Require(plug->CurrentPresetIndex() == before.currentPreset, "loading moved the current preset");
  RequireSaneParameters(*plug);
}

void FuzzStateChunk(const uint8_t* data, size_t size)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  std::vector<double> previous;
  for (int i = 0; i < plug->NParams(); ++i)
    previous.push_back(plug->GetParam(i)->Value());

  const IByteChunk chunk(data, static_cast<int>(size));
  const int pos = plug->UnserializeState(chunk, 0);
  const int nPresent = static_cast<int>(size / sizeof(double));
  Require((nPresent >= plug->NParams()) == (pos > 0), "the read position disagrees with the size");

  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam& param = *plug->GetParam(i);
    if (i >= nPresent)
    {
      Require(param.Value() == previous[i], "a value missing from the chunk changed");
      continue;
    }
    double stored;
    std::memcpy(&stored, data + 8 * i, sizeof(stored));
    const double expected = std::isfinite(stored) ? param.ConstrainValue(stored) : previous[i];
    Require(param.Value() == expected, "a chunk value was not applied as stepped and clamped");
  }
  RequireSaneParameters(*plug);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzPresetFile(data, size);
  FuzzStateChunk(data, size);
  return 0;
}
