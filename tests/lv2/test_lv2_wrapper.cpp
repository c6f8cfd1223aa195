// The LV2 wrapper driven through its descriptor, with the plug-in linked into the test so that
// its inside can be looked at: ports as the host's truth, state, bypass, latency, transport,
// block lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "LV2TestHost.h"
#include "Umbravox.h"

using namespace umbra;
using namespace umbra::lv2;
using umbra::test::LV2TestInstance;
using umbra::test::LV2TestOptions;

namespace {

// The plug-in's values right after construction: what the ports start at in every host.
struct InitValues {
  InitValues()
  {
    std::unique_ptr<IEffectLV2> plugin(MakeLV2Instance());
    for (int i = 0; i < kNumParams; ++i)
      values[i] = static_cast<float>(plugin->GetParam(i)->Value());
  }
  float values[kPortNumParams];
};

Umbravox& PluginOf(LV2TestInstance& instance)
{
  return *static_cast<Umbravox*>(static_cast<IEffectLV2*>(instance.Handle()));
}

std::unique_ptr<LV2TestInstance> Started(const LV2TestOptions& options = {})
{
  auto instance = std::make_unique<LV2TestInstance>(IEffectLV2::Descriptor(), "/nonexistent/", options);
  EXPECT_TRUE(instance->Valid());
  instance->SetParamPorts(InitValues().values);
  instance->Activate();
  return instance;
}

// Two channels of a phrase-like test signal: a gliding tone with a pulse, different per side.
std::vector<std::vector<float>> TestSignal(int frames, double amplitude = 0.4)
{
  std::vector<std::vector<float>> signal(2, std::vector<float>(frames));
  double phase = 0.0;
  for (int s = 0; s < frames; ++s)
  {
    phase += 2.0 * std::numbers::pi * (220.0 + 110.0 * std::sin(s / 9000.0)) / 48000.0;
    const double pulse = (s % 6000) < 300 ? 0.3 : 0.0;
    signal[0][s] = static_cast<float>(amplitude * std::sin(phase) + pulse);
    signal[1][s] = static_cast<float>(amplitude * std::sin(1.5 * phase) - pulse);
  }
  return signal;
}

std::vector<std::vector<float>> Sine(int frames, double frequency, double amplitude)
{
  std::vector<std::vector<float>> signal(2, std::vector<float>(frames));
  for (int s = 0; s < frames; ++s)
  {
    const float x = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * s / 48000.0));
    signal[0][s] = x;
    signal[1][s] = -x;
  }
  return signal;
}

} // namespace

TEST(LV2Wrapper, DescriptorNamesThePluginAndOffersStateAndInstanceAccess)
{
  const LV2_Descriptor* descriptor = IEffectLV2::Descriptor();
  EXPECT_STREQ(descriptor->URI, kPluginURI);
  EXPECT_NE(descriptor->extension_data(LV2_STATE__interface), nullptr);
  EXPECT_EQ(descriptor->extension_data("http://example.org/nothing"), nullptr);

  auto instance = Started();
  const auto* access = static_cast<const InstanceAccess*>(descriptor->extension_data(kInstanceURI));
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->plugin(instance->Handle()), static_cast<IEffectLV2*>(instance->Handle()));
}

TEST(LV2Wrapper, StartsAsInitAndReportsItsLatency)
{
  auto instance = Started();
  instance->Run(0, 0);
  EXPECT_EQ(instance->Control(kPortLatency), 4608.f);
  Umbravox& plugin = PluginOf(*instance);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 75.0);
  EXPECT_EQ(plugin.GetParam(kFreeze)->Value(), 80.0);
  EXPECT_EQ(plugin.GetParam(kInput)->Value(), 50.0);
  EXPECT_EQ(plugin.GetSampleRate(), 48000.0);
  EXPECT_EQ(plugin.GetBlockSize(), kMaxBlockFrames); // no maximum given by the host
  EXPECT_EQ(instance->Control(kPortTempo), 120.f);
}

TEST(LV2Wrapper, TakesTheHostsMaximumBlockLengthAndSampleRate)
{
  LV2TestOptions options;
  options.maxBlockLength = 256;
  options.sampleRate = 44100.0;
  auto instance = Started(options);
  EXPECT_EQ(PluginOf(*instance).GetBlockSize(), 256);
  EXPECT_EQ(PluginOf(*instance).GetSampleRate(), 44100.0);
}

TEST(LV2Wrapper, PortsAreTheHostsTruthOnlyWhenTheyMove)
{
  auto instance = Started();
  Umbravox& plugin = PluginOf(*instance);
  instance->Run(0, 64);
  EXPECT_EQ(plugin.LastSeenPortValue(kHaunt), 75.f);

  // A change inside the plug-in (the editor's preset browser) is not undone by unchanged ports.
  ASSERT_TRUE(plugin.RestorePreset("Poltergeist"));
  instance->Run(0, 64);
  EXPECT_EQ(plugin.GetParam(kFine)->Value(), 25.0);
  EXPECT_EQ(plugin.GetParam(kWhisperMode)->Value(), 1.0);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 45.0);

  // The host moves one port: that one is applied, the rest stay as the preset left them.
  instance->Control(kHaunt) = 94.f;
  instance->Run(0, 64);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 94.0);
  EXPECT_EQ(plugin.GetParam(kFine)->Value(), 25.0);
  EXPECT_EQ(plugin.LastSeenPortValue(kHaunt), 94.f);

  // Values are constrained as any host value is: steps for enumerations, the range for all.
  instance->Control(kOctave) = 2.6f;
  instance->Control(kInput) = 150.f;
  instance->Run(0, 64);
  EXPECT_EQ(plugin.GetParam(kOctave)->Value(), 3.0);
  EXPECT_EQ(plugin.GetParam(kInput)->Value(), 100.0);

  // A port value that is not a number is ignored.
  instance->Control(kMix) = std::nanf("");
  instance->Run(0, 64);
  EXPECT_EQ(plugin.GetParam(kMix)->Value(), 70.0);
}

TEST(LV2Wrapper, HostChangesAreQueuedForTheEditor)
{
  auto instance = Started();
  Umbravox& plugin = PluginOf(*instance);
  struct Watcher : IEditorHostLink {
    void BeginParamGesture(int) override {}
    void ParamChangedFromEditor(int, double) override {}
    void EndParamGesture(int) override {}
    bool ResizeEditor(int, int) override { return false; }
    void StateRestored() override { ++restored; }
    int restored = 0;
  } watcher;
  plugin.SetEditorHostLink(&watcher);

  instance->Run(0, 16);
  instance->Control(kSmear) = 12.f;
  instance->Run(0, 16);
  EXPECT_EQ(plugin.GetParam(kSmear)->Value(), 12.0);

  // A preset recalled inside is written back to the ports by the editor; a state the host
  // restores is not, since the host restores its ports with it.
  ASSERT_TRUE(plugin.RestorePreset("Poltergeist"));
  EXPECT_EQ(watcher.restored, 1);
  std::vector<LV2TestInstance::Property> saved;
  ASSERT_EQ(instance->Save(saved), LV2_STATE_SUCCESS);
  ASSERT_EQ(instance->Restore(saved), LV2_STATE_SUCCESS);
  EXPECT_EQ(watcher.restored, 1);
  plugin.SetEditorHostLink(nullptr);
}

TEST(LV2Wrapper, StateSavesTheChunkAndRestoresOnlyAComplete)
{
  auto instance = Started();
  Umbravox& plugin = PluginOf(*instance);
  instance->Control(kHaunt) = 33.f;
  instance->Run(0, 32);

  std::vector<LV2TestInstance::Property> saved;
  ASSERT_EQ(instance->Save(saved), LV2_STATE_SUCCESS);
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].key, instance->URIDs().Map(kStateURI));
  EXPECT_EQ(saved[0].type, instance->URIDs().Map(LV2_ATOM__Chunk));
  EXPECT_EQ(saved[0].flags, static_cast<uint32_t>(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
  ASSERT_EQ(saved[0].value.size(), 104u);
  double haunt = 0.0;
  std::memcpy(&haunt, saved[0].value.data() + 8 * kHaunt, sizeof(double));
  EXPECT_EQ(haunt, 33.0);

  // A short chunk changes nothing.
  ASSERT_TRUE(plugin.RestorePreset("Ghost Choir"));
  auto shortState = saved;
  shortState[0].value.resize(96);
  EXPECT_NE(instance->Restore(shortState), LV2_STATE_SUCCESS);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 78.0);

  // Neither does a property of another type, or none.
  auto wrongType = saved;
  wrongType[0].type = instance->URIDs().Map(LV2_ATOM__String);
  EXPECT_EQ(instance->Restore(wrongType), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(instance->Restore({}), LV2_STATE_ERR_NO_PROPERTY);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 78.0);

  // The complete chunk is taken.
  EXPECT_EQ(instance->Restore(saved), LV2_STATE_SUCCESS);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 33.0);
  EXPECT_EQ(plugin.GetParam(kPossess)->Value(), 50.0);
}

TEST(LV2Wrapper, TheStateIsWhatThePortsShow)
{
  // "Banshee Scream" plays (Haunt 94, Octave +2); with the engine stopped the host moves both
  // back to their defaults, and saves: the state holds what the host shows.
  auto instance = Started();
  instance->Control(kHaunt) = 94.f;
  instance->Control(kOctave) = 4.f;
  instance->Run(0, 64);
  instance->Control(kHaunt) = 75.f;
  instance->Control(kOctave) = 2.f;
  EXPECT_EQ(instance->SavedValues()[kHaunt], 75.0);
  EXPECT_EQ(instance->SavedValues()[kOctave], 2.0);

  // Reopened: an instance that has run with every port at its default gets a state saved before
  // the host moved those ports (94, +2), then the ports that differ from their defaults. What
  // plays is what the ports show, from the restore on and after the next run.
  std::vector<LV2TestInstance::Property> stale;
  ASSERT_EQ(instance->Save(stale), LV2_STATE_SUCCESS);
  const double oldHaunt = 94.0, oldOctave = 4.0;
  std::memcpy(stale[0].value.data() + 8 * kHaunt, &oldHaunt, sizeof(double));
  std::memcpy(stale[0].value.data() + 8 * kOctave, &oldOctave, sizeof(double));
  auto reopened = Started();
  Umbravox& plugin = PluginOf(*reopened);
  reopened->Run(0, 64);
  ASSERT_EQ(reopened->Restore(stale), LV2_STATE_SUCCESS);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 75.0);
  EXPECT_EQ(plugin.GetParam(kOctave)->Value(), 2.0);
  reopened->Control(kFine) = 12.f;
  reopened->Run(0, 64);
  EXPECT_EQ(plugin.GetParam(kHaunt)->Value(), 75.0);
  EXPECT_EQ(plugin.GetParam(kOctave)->Value(), 2.0);
  EXPECT_EQ(plugin.GetParam(kFine)->Value(), 12.0);
}

TEST(LV2Wrapper, RunsWithoutAnyFeature)
{
  LV2TestOptions options;
  options.withMap = false;
  auto instance = Started(options);
  std::vector<LV2TestInstance::Property> saved;
  EXPECT_EQ(instance->Save(saved), LV2_STATE_ERR_NO_FEATURE);

  const auto input = TestSignal(12000);
  const auto output = instance->Render(input, 10000); // split into 4096-frame blocks inside
  double energy = 0.0;
  for (int c = 0; c < 2; ++c)
    for (float x : output[c])
    {
      ASSERT_TRUE(std::isfinite(x));
      energy += static_cast<double>(x) * x;
    }
  EXPECT_GT(energy, 1.0);
  EXPECT_EQ(instance->Control(kPortTempo), 120.f);
  EXPECT_EQ(instance->Control(kPortLatency), 4608.f);
}

TEST(LV2Wrapper, AnyBlockLengthGivesTheSameSamples)
{
  const auto input = TestSignal(24000);
  auto reference = Started();
  reference->Control(kWhisper) = 60.f; // the whisper's random draws must line up too
  const auto expected = reference->Render(input, 512);

  LV2TestOptions bounded;
  bounded.maxBlockLength = 300;
  for (int block : {1, 7, 300, 511, 4096, 9000})
  {
    auto instance = Started(block == 9000 ? bounded : LV2TestOptions{});
    instance->Control(kWhisper) = 60.f;
    const auto output = instance->Render(input, block);
    for (int c = 0; c < 2; ++c)
      ASSERT_EQ(output[c], expected[c]) << "block " << block << " channel " << c;
  }
}

TEST(LV2Wrapper, TransportTempoReachesThePluginAndItsPort)
{
  auto instance = Started();
  instance->SendTempo(90.0, true);
  instance->Run(0, 128);
  EXPECT_EQ(instance->Control(kPortTempo), 90.f);
  EXPECT_EQ(PluginOf(*instance).GetTransportInfo().mTempo, 90.0);
  EXPECT_TRUE(PluginOf(*instance).GetTransportInfo().mTransportIsRunning);
  instance->Run(0, 128); // no new position: the tempo holds
  EXPECT_EQ(instance->Control(kPortTempo), 90.f);

  // Without urid:map the time port is not understood and the tempo stays at its default.
  LV2TestOptions noMap;
  noMap.withMap = false;
  auto plain = Started(noMap);
  plain->SendTempo(90.0, true);
  plain->Run(0, 128);
  EXPECT_EQ(plain->Control(kPortTempo), 120.f);

  // Nor does a host that leaves the optional port unconnected disturb anything.
  LV2TestOptions unconnected;
  unconnected.connectTime = false;
  auto bare = Started(unconnected);
  bare->Run(0, 128);
  EXPECT_EQ(bare->Control(kPortTempo), 120.f);
}

TEST(LV2Wrapper, LevelPortsFollowTheAudio)
{
  auto instance = Started();
  instance->Run(0, 0);
  EXPECT_EQ(instance->Control(kPortInputLevel), kLevelFloorDb);
  const auto input = Sine(4800, 1000.0, 0.5);
  instance->Render(input, 480);
  // "Init" has Input at 50 %: the engine sees a peak of 0.25, -12 dB.
  EXPECT_NEAR(instance->Control(kPortInputLevel), -12.04f, 0.1f);
  EXPECT_GT(instance->Control(kPortOutputLevel), kLevelFloorDb);
  EXPECT_LE(instance->Control(kPortOutputLevel), kLevelCeilingDb);
}

TEST(LV2Wrapper, BypassCrossfadesWithoutAClickAndReturnsTheDelayedInput)
{
  constexpr int kFrames = 48000;
  const auto input = Sine(kFrames, 440.0, 0.5);
  auto instance = Started();
  Umbravox& plugin = PluginOf(*instance);
  instance->Control(kOutput) = 0.f; // the processed path is silent: the switch is the largest
  instance->Control(kInput) = 100.f; // step there can be

  std::vector<std::vector<float>> output(2, std::vector<float>(kFrames));
  const int toggleOff = 20000, toggleOn = 36000;
  int writePosBeforeBypass = -1;
  for (int done = 0; done < kFrames; done += 100)
  {
    if (done == toggleOff)
    {
      instance->Control(kPortEnabled) = 0.f;
      writePosBeforeBypass = plugin.GetWritePosition();
    }
    if (done == toggleOn)
      instance->Control(kPortEnabled) = 1.f;
    for (int c = 0; c < 2; ++c)
      std::copy(input[c].begin() + done, input[c].begin() + done + 100, instance->In(c));
    instance->Run(0, 100);
    for (int c = 0; c < 2; ++c)
      std::copy(instance->Out(c), instance->Out(c) + 100, output[c].begin() + done);
    if (done == toggleOff)
    {
      EXPECT_EQ(plugin.GetWritePosition(), (writePosBeforeBypass + 100) % 4608)
        << "both paths run during the crossfade, and nothing is reset";
    }
  }

  // Bypassed once the crossfade is over: the input, 4608 samples late, sample for sample.
  for (int s = toggleOff + kBypassFadeFrames; s < toggleOn; ++s)
    for (int c = 0; c < 2; ++c)
      ASSERT_EQ(output[c][s], input[c][s - 4608]) << "sample " << s;

  // No click: no step between samples larger than the sine's own steepest, plus a little for the
  // curve.
  const double sineStep = 0.5 * 2.0 * std::numbers::pi * 440.0 / 48000.0;
  for (int c = 0; c < 2; ++c)
    for (int s = 4609; s < kFrames; ++s)
      ASSERT_LT(std::fabs(output[c][s] - output[c][s - 1]), 1.6 * sineStep) << "sample " << s;

  // Back to processing after the second crossfade: silent again.
  for (int s = toggleOn + kBypassFadeFrames; s < kFrames; ++s)
    ASSERT_EQ(output[0][s], 0.f) << "sample " << s;
  EXPECT_EQ(plugin.BypassFadePosition(), 0);
}

TEST(LV2Wrapper, MixZeroAndBypassAgree)
{
  // Both give the input at the reported latency, so switching between them changes nothing (but
  // the crossfade's rounding); the engine runs while bypassed, so it has the frame it needs.
  constexpr int kFrames = 16000;
  const auto input = Sine(kFrames, 440.0, 0.5);
  auto instance = Started();
  instance->Control(kMix) = 0.f;
  instance->Control(kInput) = 100.f;
  instance->Control(kOutput) = 100.f;
  std::vector<float> left(kFrames);
  for (int done = 0; done < kFrames; done += 100)
  {
    instance->Control(kPortEnabled) = done >= 6000 && done < 11000 ? 0.f : 1.f;
    for (int c = 0; c < 2; ++c)
      std::copy(input[c].begin() + done, input[c].begin() + done + 100, instance->In(c));
    instance->Run(0, 100);
    std::copy(instance->Out(0), instance->Out(0) + 100, left.begin() + done);
  }
  for (int s = 0; s < kFrames; ++s)
    ASSERT_NEAR(left[s], s >= 4608 ? input[0][s - 4608] : 0.f, 1e-6) << "sample " << s;
}

TEST(LV2Wrapper, ParameterOnlyModelTakesPortEventsOnceEach)
{
  std::unique_ptr<IEffectLV2> model(MakeLV2Instance());
  EXPECT_TRUE(std::isnan(model->LastSeenPortValue(kFine)));
  model->ApplyHostPortValue(kFine, 12.f);
  EXPECT_EQ(model->GetParam(kFine)->Value(), 12.0);
  EXPECT_EQ(model->LastSeenPortValue(kFine), 12.f);

  model->GetParam(kFine)->StoreValue(-3.0); // set inside; the same port value again is no news
  model->ApplyHostPortValue(kFine, 12.f);
  EXPECT_EQ(model->GetParam(kFine)->Value(), -3.0);
  model->ApplyHostPortValue(kPortLatency, 1.f); // not a parameter port: ignored
  model->ApplyHostPortValue(kFine, 13.f);
  EXPECT_EQ(model->GetParam(kFine)->Value(), 13.0);
}
