#pragma once

// A small LV2 host for the tests: it drives a plug-in through its descriptor exactly as a host
// does (instantiate, connect every port, activate, run, deactivate, cleanup, state interface)
// and owns every port buffer. The descriptor comes from wherever the test got it: the plug-in
// linked into the test, or the bundle's shared object loaded by lilv.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include "UmbravoxLV2Ports.h"

namespace umbra::test {

// urid:map and urid:unmap over a list of URIs.
class TestURIDMap {
public:
  TestURIDMap()
  {
    mMap.handle = this;
    mMap.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<TestURIDMap*>(h)->Map(uri); };
    mUnmap.handle = this;
    mUnmap.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID urid) { return static_cast<TestURIDMap*>(h)->Unmap(urid); };
  }
  LV2_URID Map(const char* uri)
  {
    for (size_t i = 0; i < mURIs.size(); ++i)
      if (mURIs[i] == uri)
        return static_cast<LV2_URID>(i + 1);
    mURIs.emplace_back(uri);
    return static_cast<LV2_URID>(mURIs.size());
  }
  const char* Unmap(LV2_URID urid) const
  {
    return urid >= 1 && urid <= mURIs.size() ? mURIs[urid - 1].c_str() : nullptr;
  }
  LV2_URID_Map* MapFeature() { return &mMap; }
  LV2_URID_Unmap* UnmapFeature() { return &mUnmap; }

private:
  std::vector<std::string> mURIs;
  LV2_URID_Map mMap{};
  LV2_URID_Unmap mUnmap{};
};

struct LV2TestOptions {
  bool withMap = true;       // offer urid:map
  int maxBlockLength = 0;    // offer options with bufsz:maxBlockLength when above 0
  bool connectTime = true;   // connect the optional time port
  double sampleRate = 48000.0;
};

class LV2TestInstance {
public:
  static constexpr int kMaxFrames = 1 << 16;

  LV2TestInstance(const LV2_Descriptor* descriptor, const std::string& bundlePath,
                  const LV2TestOptions& options = {})
    : mDescriptor(descriptor)
  {
    if (options.withMap)
    {
      mFeatureMap = {LV2_URID__map, mURIDs.MapFeature()};
      mFeatureUnmap = {LV2_URID__unmap, mURIDs.UnmapFeature()};
      mFeatures.push_back(&mFeatureMap);
      mFeatures.push_back(&mFeatureUnmap);
      if (options.maxBlockLength > 0)
      {
        mMaxBlock = options.maxBlockLength;
        mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, mURIDs.Map(LV2_BUF_SIZE__maxBlockLength),
                            sizeof(int32_t), mURIDs.Map(LV2_ATOM__Int), &mMaxBlock});
        mOptions.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
        mFeatureOptions = {LV2_OPTIONS__options, mOptions.data()};
        mFeatures.push_back(&mFeatureOptions);
      }
    }
    mFeatures.push_back(nullptr);
    mHandle = descriptor->instantiate(descriptor, options.sampleRate, bundlePath.c_str(), mFeatures.data());
    if (!mHandle)
      return;

    for (auto& buffer : mAudio)
      buffer.assign(kMaxFrames, 0.f);
    mControls.assign(lv2::kNumPorts, 0.f);
    mTimeBuffer.assign(4096, 0);
    ClearTime();

    for (uint32_t p = 0; p < lv2::kNumPorts; ++p)
    {
      if (p >= lv2::kPortAudioInL && p <= lv2::kPortAudioOutR)
        descriptor->connect_port(mHandle, p, mAudio[p - lv2::kPortAudioInL].data());
      else if (p == lv2::kPortTime)
        descriptor->connect_port(mHandle, p, options.connectTime ? mTimeBuffer.data() : nullptr);
      else
        descriptor->connect_port(mHandle, p, &mControls[p]);
    }
    mControls[lv2::kPortEnabled] = 1.f;
  }

  ~LV2TestInstance()
  {
    if (!mHandle)
      return;
    if (mActive)
      mDescriptor->deactivate(mHandle);
    mDescriptor->cleanup(mHandle);
  }

  LV2TestInstance(const LV2TestInstance&) = delete;
  LV2TestInstance& operator=(const LV2TestInstance&) = delete;

  bool Valid() const { return mHandle != nullptr; }
  LV2_Handle Handle() const { return mHandle; }
  const LV2_Descriptor* Descriptor() const { return mDescriptor; }
  TestURIDMap& URIDs() { return mURIDs; }

  void Activate()
  {
    mDescriptor->activate(mHandle);
    mActive = true;
  }

  float& Control(uint32_t port) { return mControls[port]; }
  float* In(int c) { return mAudio[c].data(); }
  float* Out(int c) { return mAudio[2 + c].data(); }

  // Sets a port to the plug-in's default for it, as a host does before the first run.
  void SetParamPorts(const float (&values)[lv2::kPortNumParams])
  {
    for (uint32_t p = 0; p < lv2::kPortNumParams; ++p)
      mControls[p] = values[p];
  }

  // Runs frames [offset, offset + n) of the port buffers: the audio ports are moved to that
  // stretch first, as a host with one big buffer would.
  void Run(int offset, int n)
  {
    for (int c = 0; c < 4; ++c)
      mDescriptor->connect_port(mHandle, lv2::kPortAudioInL + c, mAudio[c].data() + offset);
    mDescriptor->run(mHandle, static_cast<uint32_t>(n));
    ClearTime();
  }

  // Renders `input` (two channels, equal length) in runs of `block` frames; returns the output.
  std::vector<std::vector<float>> Render(const std::vector<std::vector<float>>& input, int block)
  {
    const int total = static_cast<int>(input[0].size());
    std::vector<std::vector<float>> output(2, std::vector<float>(total));
    for (int done = 0; done < total;)
    {
      const int n = std::min(block, total - done);
      for (int c = 0; c < 2; ++c)
        std::copy(input[c].begin() + done, input[c].begin() + done + n, mAudio[c].begin());
      Run(0, n);
      for (int c = 0; c < 2; ++c)
        std::copy(mAudio[2 + c].begin(), mAudio[2 + c].begin() + n, output[c].begin() + done);
      done += n;
    }
    return output;
  }

  // Puts one time:Position object into the time port for the next run.
  void SendTempo(double bpm, bool rolling)
  {
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, mURIDs.MapFeature());
    lv2_atom_forge_set_buffer(&forge, mTimeBuffer.data(), mTimeBuffer.size());
    LV2_Atom_Forge_Frame seqFrame, objFrame;
    lv2_atom_forge_sequence_head(&forge, &seqFrame, 0);
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &objFrame, 0, mURIDs.Map(LV2_TIME__Position));
    lv2_atom_forge_key(&forge, mURIDs.Map(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&forge, static_cast<float>(bpm));
    lv2_atom_forge_key(&forge, mURIDs.Map(LV2_TIME__speed));
    lv2_atom_forge_float(&forge, rolling ? 1.f : 0.f);
    lv2_atom_forge_key(&forge, mURIDs.Map(LV2_TIME__frame));
    lv2_atom_forge_long(&forge, 0);
    lv2_atom_forge_pop(&forge, &objFrame);
    lv2_atom_forge_pop(&forge, &seqFrame);
  }

  // The state interface: saves into a property list, restores from one.
  struct Property {
    uint32_t key, type, flags;
    std::vector<uint8_t> value;
  };
  const LV2_State_Interface* StateInterface() const
  {
    return static_cast<const LV2_State_Interface*>(mDescriptor->extension_data(LV2_STATE__interface));
  }
  LV2_State_Status Save(std::vector<Property>& properties)
  {
    properties.clear();
    return StateInterface()->save(mHandle, StoreProperty, &properties, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
  }
  LV2_State_Status Restore(const std::vector<Property>& properties)
  {
    return StateInterface()->restore(mHandle, RetrieveProperty, const_cast<std::vector<Property>*>(&properties), 0, nullptr);
  }
  // The saved chunk's parameter values (empty when the state has none).
  std::vector<double> SavedValues()
  {
    std::vector<Property> properties;
    std::vector<double> values;
    if (Save(properties) != LV2_STATE_SUCCESS || properties.empty())
      return values;
    const auto& bytes = properties.front().value;
    values.resize(bytes.size() / sizeof(double));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(double));
    return values;
  }

private:
  static LV2_State_Status StoreProperty(LV2_State_Handle handle, uint32_t key, const void* value,
                                        size_t size, uint32_t type, uint32_t flags)
  {
    auto* properties = static_cast<std::vector<Property>*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(value);
    properties->push_back({key, type, flags, std::vector<uint8_t>(bytes, bytes + size)});
    return LV2_STATE_SUCCESS;
  }
  static const void* RetrieveProperty(LV2_State_Handle handle, uint32_t key, size_t* size,
                                      uint32_t* type, uint32_t* flags)
  {
    auto* properties = static_cast<std::vector<Property>*>(handle);
    for (const auto& p : *properties)
      if (p.key == key)
      {
        *size = p.value.size();
        *type = p.type;
        *flags = p.flags;
        return p.value.data();
      }
    return nullptr;
  }
  void ClearTime()
  {
    // An empty sequence, as a host leaves an input atom port with no events.
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(mTimeBuffer.data());
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->atom.type = mURIDs.Map(LV2_ATOM__Sequence);
    sequence->body.unit = 0;
    sequence->body.pad = 0;
  }

  const LV2_Descriptor* mDescriptor;
  LV2_Handle mHandle = nullptr;
  bool mActive = false;
  TestURIDMap mURIDs;
  LV2_Feature mFeatureMap{}, mFeatureUnmap{}, mFeatureOptions{};
  std::vector<LV2_Options_Option> mOptions;
  int32_t mMaxBlock = 0;
  std::vector<const LV2_Feature*> mFeatures;
  std::vector<float> mAudio[4];
  std::vector<float> mControls;
  std::vector<uint8_t> mTimeBuffer;
};

} // namespace umbra::test
