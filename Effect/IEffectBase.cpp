#include "IEffectBase.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace umbra {

std::string VersionString(int version)
{
  char text[32];
  std::snprintf(text, sizeof(text), "v%d.%d.%d", VersionMajor(version), VersionMinor(version),
                VersionPatch(version));
  return text;
}

namespace {

int DecimalVersion(int version)
{
  return VersionMajor(version) * 10000 + VersionMinor(version) * 100 + VersionPatch(version);
}

} // namespace

IEffectBase::IEffectBase(int nParams, int nPresets, const char* pluginName,
                         const char* productName, const char* mfrName, int vendorVersion,
                         int uniqueID, int mfrID, bool doesChunks, const char* bundleID,
                         const char* appGroupID)
  : ICanvasEditorDelegate(nParams)
  , mPluginName(pluginName ? pluginName : "")
  , mProductName(productName ? productName : "")
  , mMfrName(mfrName ? mfrName : "")
  , mVersion(vendorVersion)
  , mUniqueID(uniqueID)
  , mMfrID(mfrID)
  , mStateChunks(doesChunks)
  , mBundleID(bundleID ? bundleID : "")
  , mAppGroupID(appGroupID ? appGroupID : "")
{
  for (int i = 0; i < nPresets; ++i)
    mPresets.push_back(std::make_unique<IPreset>());
}

IEffectBase::~IEffectBase() = default;

int IEffectBase::GetPluginVersion(bool decimal) const
{
  return decimal ? DecimalVersion(mVersion) : mVersion;
}

int IEffectBase::GetHostVersion(bool decimal) const
{
  return decimal ? DecimalVersion(mHostVersion) : mHostVersion;
}

// ---------------------------------------------------------------------------------------------
// State chunk

bool IEffectBase::SerializeParams(IByteChunk& chunk) const
{
  for (int i = 0; i < NParams(); ++i)
  {
    const double value = GetParam(i)->Value();
    chunk.Put(&value);
  }
  return chunk.Size() > 0;
}

int IEffectBase::UnserializeParams(const IByteChunk& chunk, int startPos)
{
  int pos = startPos;
  for (int i = 0; i < NParams(); ++i)
  {
    double value = 0.0;
    pos = chunk.Get(&value, pos);
    if (pos < 0)
      return -1;
    GetParam(i)->StoreValue(value); // steps, clamps, and passes over a non-finite value
  }
  return pos;
}

bool IEffectBase::CompareState(const uint8_t* incomingState, int startPos) const
{
  IByteChunk current;
  SerializeState(current);
  return incomingState &&
         std::memcmp(incomingState + startPos, current.GetData(), static_cast<size_t>(current.Size())) == 0;
}

// ---------------------------------------------------------------------------------------------
// Presets

const IPreset* IEffectBase::GetPreset(int idx) const
{
  return idx >= 0 && idx < PresetCount() ? mPresets[idx].get() : nullptr;
}

const char* IEffectBase::GetPresetName(int idx) const
{
  const IPreset* preset = GetPreset(idx);
  return preset ? preset->mName.c_str() : "";
}

void IEffectBase::MakePresetFromValues(const char* name, const double* values, int nValues)
{
  // A preset with a value missing or extra would shift every later parameter: refuse it.
  if (nValues != NParams())
    return;

  for (auto& preset : mPresets)
  {
    if (preset->mInitialized)
      continue;
    preset->mInitialized = true;
    preset->mName = CopyTextField(name, kMaxPresetNameLen);
    preset->mChunk.Clear();
    for (int i = 0; i < nValues; ++i)
      preset->mChunk.Put(&values[i]);
    return;
  }
}

void IEffectBase::PruneUninitializedPresets()
{
  // The current preset keeps being current wherever it moves to.
  const IPreset* current = GetPreset(mCurrentPresetIdx);
  std::erase_if(mPresets, [](const auto& preset) { return !preset->mInitialized; });
  mCurrentPresetIdx = 0;
  for (int i = 0; i < PresetCount(); ++i)
    if (mPresets[i].get() == current)
      mCurrentPresetIdx = i;
}

bool IEffectBase::RestorePreset(int idx)
{
  if (idx < 0 || idx >= PresetCount())
    return false;

  IPreset& preset = *mPresets[idx];
  if (!preset.mInitialized)
  {
    int nUserPresets = 0;
    for (const auto& other : mPresets)
      if (other->mName.find("user preset") != std::string::npos)
        ++nUserPresets;

    char name[kMaxPresetNameLen];
    std::snprintf(name, sizeof(name), "%s %d", "user preset", nUserPresets + 1);
    preset.mInitialized = true;
    preset.mName = name;
    preset.mChunk.Clear();
    if (!SerializeState(preset.mChunk))
      return false;
  }
  else if (UnserializeState(preset.mChunk, 0) < 1)
  {
    return false;
  }

  mCurrentPresetIdx = idx;
  OnPresetsModified();
  OnRestoreState();
  return true;
}

bool IEffectBase::RestorePreset(const char* name)
{
  if (!name || !*name)
    return false;
  for (int i = 0; i < PresetCount(); ++i)
    if (mPresets[i]->mName == name)
      return RestorePreset(i);
  return false;
}

void IEffectBase::ModifyCurrentPreset(const char* name)
{
  if (mCurrentPresetIdx < 0 || mCurrentPresetIdx >= PresetCount())
    return;
  IPreset& preset = *mPresets[mCurrentPresetIdx];
  preset.mChunk.Clear();
  // Once it holds a state the slot is a preset, so a recall applies it instead of replacing it.
  if (SerializeState(preset.mChunk))
    preset.mInitialized = true;
  if (name && *name)
    preset.mName = CopyTextField(name, kMaxPresetNameLen);
}

// ---------------------------------------------------------------------------------------------
// Host identification

int IEffectBase::LookUpHost(const char* name)
{
  static const struct {
    const char* word;
    int code;
  } kHosts[] = {
    {"reaper", kHostReaper}, {"protools", kHostProTools}, {"cubase", kHostCubase},
    {"nuendo", kHostNuendo}, {"cakewalk", kHostSonar}, {"vegas", kHostVegas},
    {"fruity", kHostFL}, {"samplitude", kHostSamplitude}, {"live", kHostAbletonLive},
    {"tracktion", kHostTracktion}, {"ntracks", kHostNTracks}, {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner}, {"aulab", kHostAULab}, {"forte", kHostForte},
    {"chainer", kHostChainer}, {"audition", kHostAudition}, {"orion", kHostOrion},
    {"bias", kHostBias}, {"sawstudio", kHostSAWStudio}, {"logic", kHostLogic},
    {"garageband", kHostGarageBand}, {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch}, {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost}, {"ardour", kHostArdour},
    {"renoise", kHostRenoise}, {"openmpt", kHostOpenMPT},
    {"wavelab elements", kHostWaveLabElements}, {"wavelab", kHostWaveLab},
    {"twistedwave", kHostTwistedWave}, {"bitwig studio", kHostBitwig}, {"reason", kHostReason},
    {"gwvst", kHostGoldWave5x}, {"waveform", kHostWaveform}, {"audacity", kHostAudacity},
    {"acoustica", kHostAcoustica}, {"plugindoctor", kHostPluginDoctor},
    {"izotope rx", kHostiZotopeRX}, {"savihost", kHostSAVIHost},
    {"blue cat's vst host", kHostBlueCat}, {"mixbus", kHostMixbus},
    {"standalone", kHostStandalone},
  };

  std::string lower = name ? name : "";
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  for (const auto& host : kHosts)
    if (lower.find(host.word) != std::string::npos)
      return host.code;
  return lower.find("www") != std::string::npos ? kHostWWW : kHostUnknown;
}

void IEffectBase::SetHost(const char* host, int version)
{
  mHostName = host ? host : "";
  for (char& c : mHostName)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  mHost = LookUpHost(mHostName.c_str());
  mHostVersion = version;
  HostSpecificInit();
  OnHostIdentified();
}

} // namespace umbra
