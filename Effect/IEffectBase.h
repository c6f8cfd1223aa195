#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "ICanvasEditorDelegate.h"
#include "IEffectStructs.h"

namespace umbra {

// The plug-in base: identity, parameters and presets, the state chunk, FXP preset files and the
// host's identification.
class IEffectBase : public ICanvasEditorDelegate {
public:
  IEffectBase(int nParams, int nPresets, const char* pluginName, const char* productName,
              const char* mfrName, int vendorVersion, int uniqueID, int mfrID, bool doesChunks,
              const char* bundleID, const char* appGroupID);
  ~IEffectBase() override;

  // Identity.
  const char* GetPluginName() const { return mPluginName.c_str(); }
  const char* GetProductName() const { return mProductName.c_str(); }
  const char* GetMfrName() const { return mMfrName.c_str(); }
  int GetPluginVersion(bool decimal) const;
  std::string GetPluginVersionStr() const { return VersionString(mVersion); }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  bool DoesStateChunks() const { return mStateChunks; }
  const char* GetBundleID() const { return mBundleID.c_str(); }
  const char* GetAppGroupID() const { return mAppGroupID.c_str(); }

  // Host identification.
  void SetHost(const char* host, int version);
  int GetHost() const { return mHost; }
  const char* GetHostName() const { return mHostName.c_str(); }
  int GetHostVersion(bool decimal) const;
  std::string GetHostVersionStr() const { return VersionString(mHostVersion); }
  static int LookUpHost(const char* name);

  // State chunk: every parameter's real value as a little-endian double, in index order.
  bool SerializeParams(IByteChunk& chunk) const;
  int UnserializeParams(const IByteChunk& chunk, int startPos);
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  virtual int UnserializeState(const IByteChunk& chunk, int startPos)
  {
    return UnserializeParams(chunk, startPos);
  }
  virtual bool CompareState(const uint8_t* incomingState, int startPos) const;

  // Presets.
  int PresetCount() const { return static_cast<int>(mPresets.size()); }
  int CurrentPresetIndex() const { return mCurrentPresetIdx; }
  const char* GetPresetName(int idx) const;
  const IPreset* GetPreset(int idx) const;
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  // Makes preset idx the current one without recalling it, for a caller that has applied its
  // values already (umbravox-live's MIDI does so on the audio thread, at the event's frame).
  void SetCurrentPresetIndex(int idx)
  {
    if (idx >= 0 && idx < PresetCount())
      mCurrentPresetIdx = idx;
  }
  void ModifyCurrentPreset(const char* name = nullptr);
  void PruneUninitializedPresets();

  // Fills the first empty preset slot: one value per parameter, in index order, in the
  // parameter's own units. Values are stored as given; stepping and clamping happen on recall.
  template <typename... Values>
  void MakePreset(const char* name, Values... values)
  {
    static_assert((std::is_arithmetic_v<Values> && ...), "preset values are numbers");
    const double list[] = {static_cast<double>(values)...};
    MakePresetFromValues(name, list, static_cast<int>(sizeof...(Values)));
  }
  void MakePresetFromValues(const char* name, const double* values, int nValues);

  // FXP program files. A file is loaded whole or not at all: one cut short, made for another
  // number of parameters or whose byte-size field disagrees with its contents is refused, and
  // whyRefused (if given) says why in a few words.
  bool SavePresetAsFXP(const char* path) const;
  bool LoadPresetFromFXP(const char* path, std::string* whyRefused = nullptr);

  // Host-facing virtuals; the defaults do nothing.
  virtual void InformHostOfParameterDetailsChange() {}
  virtual void InformHostOfPresetChange() {}
  virtual void OnPresetsModified() {}
  virtual bool OnHostRequestingAboutBox() { return false; }
  virtual bool OnHostRequestingProductHelp() { return false; }
  virtual void OnHostIdentified() {}
  virtual void HostSpecificInit() {}
  virtual void OnHostRequestingImportantParameters(int count, std::vector<int>& results)
  { (void)count; (void)results; }
  virtual bool OnHostRequestingSupportedViewConfiguration(int width, int height)
  { (void)width; (void)height; return true; }
  virtual void OnHostSelectedViewConfiguration(int width, int height) { (void)width; (void)height; }
  virtual bool GetMidiNoteText(int noteNumber, char* text) const { (void)noteNumber; (void)text; return false; }
  virtual void OnIdle() {}
  virtual bool GetTrackColor(int& r, int& g, int& b) { (void)r; (void)g; (void)b; return false; }
  virtual bool GetTrackName(std::string& name) { name.clear(); return false; }
  virtual int GetTrackIndex() { return 0; }
  virtual bool GetTrackNamespace(std::string& name) { name.clear(); return false; }
  virtual int GetTrackNamespaceIndex() { return 0; }

private:
  std::string mPluginName;
  std::string mProductName;
  std::string mMfrName;
  int mVersion;
  int mUniqueID;
  int mMfrID;
  bool mStateChunks;
  std::string mBundleID;
  std::string mAppGroupID;

  int mHost = kHostUninit;
  std::string mHostName;
  int mHostVersion = 0;

  std::vector<std::unique_ptr<IPreset>> mPresets;
  int mCurrentPresetIdx = 0;
};

} // namespace umbra
