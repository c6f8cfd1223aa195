// A small host of ours on lilv, as most LV2 hosts are built: it finds the installed bundle,
// applies a factory preset, saves the state of that instance, restores it into a second one, and
// both render the same audio; and a state saved after ports moved while nothing ran, restored
// into an instance that has already run, plays what the ports show.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "HostTestHelpers.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kURI = "urn:marrowfield:umbravox";
constexpr uint32_t kNumPorts = 23, kAudioInL = 13, kAudioOutL = 15, kEnabled = 17, kTime = 22;
constexpr uint32_t kBlock = 512;

// URIs mapped to numbers, as every host does.
struct URIMap {
  std::vector<std::string> uris;
  LV2_URID_Map map{this, Map};
  LV2_Feature feature{LV2_URID__map, &map};

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
  {
    auto* self = static_cast<URIMap*>(handle);
    for (size_t i = 0; i < self->uris.size(); ++i)
      if (self->uris[i] == uri)
        return static_cast<LV2_URID>(i + 1);
    self->uris.emplace_back(uri);
    return static_cast<LV2_URID>(self->uris.size());
  }
};

// One running instance with its port buffers.
struct Instance {
  LilvInstance* instance = nullptr;
  const LilvPlugin* plugin = nullptr;
  std::vector<float> controls = std::vector<float>(kNumPorts, 0.f);
  std::vector<float> audio[4];

  Instance(const LilvPlugin* p, URIMap& uris) : plugin(p)
  {
    const LV2_Feature* features[] = {&uris.feature, nullptr};
    instance = lilv_plugin_instantiate(plugin, 48000.0, features);
    if (!instance)
      return;
    // Every control input starts at its default, as a host sets it.
    std::vector<float> defaults(kNumPorts, NAN);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (uint32_t p = 0; p < kNumPorts; ++p)
      controls[p] = std::isnan(defaults[p]) ? 0.f : defaults[p];
    controls[kEnabled] = 1.f;
    for (auto& buffer : audio)
      buffer.assign(kBlock, 0.f);
    for (uint32_t p = 0; p < kNumPorts; ++p)
    {
      if (p >= kAudioInL && p < kAudioInL + 4)
        lilv_instance_connect_port(instance, p, audio[p - kAudioInL].data());
      else if (p != kTime)
        lilv_instance_connect_port(instance, p, &controls[p]);
    }
  }
  ~Instance()
  {
    if (instance)
      lilv_instance_free(instance);
  }

  // The port's index by symbol.
  uint32_t PortIndex(const char* symbol, LilvWorld* world) const
  {
    LilvNode* sym = lilv_new_string(world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, sym);
    lilv_node_free(sym);
    return port ? lilv_port_get_index(plugin, port) : UINT32_MAX;
  }

  // Blocks of a test signal through the instance; both output channels one after the other.
  std::vector<float> Render(int blocks)
  {
    std::vector<float> out;
    for (int b = 0; b < blocks; ++b)
    {
      for (uint32_t s = 0; s < kBlock; ++s)
      {
        const double t = static_cast<double>(b * kBlock + s) / 48000.0;
        audio[0][s] = static_cast<float>(0.4 * std::sin(2.0 * M_PI * 196.0 * t) * std::exp(-2.0 * std::fmod(t, 0.7)));
        audio[1][s] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * 294.0 * t));
      }
      lilv_instance_run(instance, kBlock);
      out.insert(out.end(), audio[2].begin(), audio[2].end());
      out.insert(out.end(), audio[3].begin(), audio[3].end());
    }
    return out;
  }
};

struct PortContext {
  Instance* instance;
  LilvWorld* world;
  URIMap* uris;
};

void SetPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type)
{
  auto* ctx = static_cast<PortContext*>(user);
  const uint32_t index = ctx->instance->PortIndex(symbol, ctx->world);
  if (index >= kNumPorts)
    return;
  float v = 0.f;
  if (type == URIMap::Map(ctx->uris, LV2_ATOM__Float) && size == sizeof(float))
    std::memcpy(&v, value, sizeof(float));
  else if (type == URIMap::Map(ctx->uris, LV2_ATOM__Double) && size == sizeof(double))
  {
    double d = 0.0;
    std::memcpy(&d, value, sizeof(double));
    v = static_cast<float>(d);
  }
  else if (type == URIMap::Map(ctx->uris, LV2_ATOM__Int) && size == sizeof(int32_t))
  {
    int32_t i = 0;
    std::memcpy(&i, value, sizeof(int32_t));
    v = static_cast<float>(i);
  }
  else
    return;
  ctx->instance->controls[index] = v;
}

const void* GetPortValue(const char* symbol, void* user, uint32_t* size, uint32_t* type)
{
  auto* ctx = static_cast<PortContext*>(user);
  const uint32_t index = ctx->instance->PortIndex(symbol, ctx->world);
  if (index >= kNumPorts || index >= kAudioInL)
  {
    *size = *type = 0;
    return nullptr;
  }
  *size = sizeof(float);
  *type = URIMap::Map(ctx->uris, LV2_ATOM__Float);
  return &ctx->instance->controls[index];
}

class LilvHost : public ::testing::Test {
protected:
  void SetUp() override
  {
    mDir = fs::temp_directory_path() / ("umbravox-lilv-" + std::to_string(::getpid()));
    fs::remove_all(mDir);
    const fs::path lv2 = umbra::test::InstallBundle(mDir / "prefix");
    ASSERT_FALSE(lv2.empty());
    setenv("LV2_PATH", lv2.c_str(), 1);
    mWorld = lilv_world_new();
    lilv_world_load_all(mWorld);
    LilvNode* uri = lilv_new_uri(mWorld, kURI);
    mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), uri);
    lilv_node_free(uri);
    ASSERT_NE(mPlugin, nullptr) << "the installed bundle was not found";
  }
  void TearDown() override
  {
    if (mWorld)
      lilv_world_free(mWorld);
    fs::remove_all(mDir);
  }

  fs::path mDir;
  LilvWorld* mWorld = nullptr;
  const LilvPlugin* mPlugin = nullptr;
  URIMap mURIs;
};

TEST_F(LilvHost, APresetSavedFromOneInstanceSoundsTheSameInAnother)
{
  Instance first(mPlugin, mURIs);
  ASSERT_NE(first.instance, nullptr);
  const LV2_Feature* features[] = {&mURIs.feature, nullptr};

  // The factory preset "Poltergeist", as the host's preset menu applies it.
  LilvNode* preset = lilv_new_uri(mWorld, (std::string(kURI) + "#preset7").c_str());
  lilv_world_load_resource(mWorld, preset);
  LilvState* poltergeist = lilv_state_new_from_world(mWorld, &mURIs.map, preset);
  lilv_node_free(preset);
  ASSERT_NE(poltergeist, nullptr);
  EXPECT_STREQ(lilv_state_get_label(poltergeist), "Poltergeist");
  PortContext firstPorts{&first, mWorld, &mURIs};
  lilv_state_restore(poltergeist, first.instance, SetPortValue, &firstPorts, 0, features);
  lilv_state_free(poltergeist);
  EXPECT_EQ(first.controls[first.PortIndex("whisper_mode", mWorld)], 1.f);

  // Saved as a host saves a session, restored into a fresh instance.
  LilvState* saved = lilv_state_new_from_instance(mPlugin, first.instance, &mURIs.map, nullptr, nullptr,
                                                  nullptr, nullptr, GetPortValue, &firstPorts, 0, features);
  ASSERT_NE(saved, nullptr);
  Instance second(mPlugin, mURIs);
  ASSERT_NE(second.instance, nullptr);
  PortContext secondPorts{&second, mWorld, &mURIs};
  lilv_state_restore(saved, second.instance, SetPortValue, &secondPorts, 0, features);
  lilv_state_free(saved);
  for (uint32_t p = 0; p < 13; ++p)
    EXPECT_EQ(second.controls[p], first.controls[p]) << "port " << p;

  lilv_instance_activate(first.instance);
  lilv_instance_activate(second.instance);
  const std::vector<float> a = first.Render(200);
  const std::vector<float> b = second.Render(200);
  lilv_instance_deactivate(first.instance);
  lilv_instance_deactivate(second.instance);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
  double energy = 0.0;
  for (float s : a)
    energy += static_cast<double>(s) * s;
  EXPECT_GT(energy, 1.0); // not two silences alike
}

TEST_F(LilvHost, AStateRestoredIntoAnInstanceThatRanPlaysWhatThePortsShow)
{
  const LV2_Feature* features[] = {&mURIs.feature, nullptr};
  auto applyPreset = [&](Instance& instance, const char* uri) {
    LilvNode* node = lilv_new_uri(mWorld, uri);
    lilv_world_load_resource(mWorld, node);
    LilvState* state = lilv_state_new_from_world(mWorld, &mURIs.map, node);
    lilv_node_free(node);
    ASSERT_NE(state, nullptr);
    PortContext ports{&instance, mWorld, &mURIs};
    lilv_state_restore(state, instance.instance, SetPortValue, &ports, 0, features);
    lilv_state_free(state);
  };

  // "Banshee Scream" plays (Haunt 94, Octave +2); then, with nothing running, the host moves
  // both back to their defaults and saves.
  Instance first(mPlugin, mURIs);
  ASSERT_NE(first.instance, nullptr);
  applyPreset(first, (std::string(kURI) + "#preset2").c_str());
  const uint32_t haunt = first.PortIndex("haunt", mWorld), octave = first.PortIndex("octave", mWorld);
  ASSERT_EQ(first.controls[haunt], 94.f);
  lilv_instance_activate(first.instance);
  first.Render(4);
  Instance defaults(mPlugin, mURIs);
  first.controls[haunt] = defaults.controls[haunt];
  first.controls[octave] = defaults.controls[octave];
  PortContext firstPorts{&first, mWorld, &mURIs};
  LilvState* saved = lilv_state_new_from_instance(mPlugin, first.instance, &mURIs.map, nullptr, nullptr,
                                                  nullptr, nullptr, GetPortValue, &firstPorts, 0, features);
  ASSERT_NE(saved, nullptr);
  lilv_instance_deactivate(first.instance);

  // The state restored into an instance that has run with its ports at their defaults, and the
  // same port values given to another with the same past, without any state: alike.
  Instance restored(mPlugin, mURIs), plain(mPlugin, mURIs);
  ASSERT_NE(restored.instance, nullptr);
  ASSERT_NE(plain.instance, nullptr);
  for (Instance* instance : {&restored, &plain})
  {
    lilv_instance_activate(instance->instance);
    instance->Render(4);
  }
  PortContext restoredPorts{&restored, mWorld, &mURIs};
  lilv_state_restore(saved, restored.instance, SetPortValue, &restoredPorts, 0, features);
  lilv_state_free(saved);
  EXPECT_EQ(restored.controls[haunt], defaults.controls[haunt]);
  EXPECT_EQ(restored.controls[octave], defaults.controls[octave]);
  for (uint32_t p = 0; p < 13; ++p)
    plain.controls[p] = restored.controls[p];
  // A restored state takes its gains at once where moved ports ramp to theirs; after a reset
  // both start at what the ports show, with the engine's settings and random sequence intact.
  for (Instance* instance : {&restored, &plain})
  {
    lilv_instance_deactivate(instance->instance);
    lilv_instance_activate(instance->instance);
  }

  const std::vector<float> a = restored.Render(100);
  const std::vector<float> b = plain.Render(100);
  lilv_instance_deactivate(restored.instance);
  lilv_instance_deactivate(plain.instance);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
}

} // namespace
