#include "Umbravox.h"

#include <new>

#include "UmbravoxEditorHook.h"
#include "UmbravoxRelease.h"

namespace umbra {

Config Umbravox::MakeConfig()
{
  Config config;
  config.nParams = kNumParams;
  config.nPresets = kNumPresets;
  config.channelIOStr = "2-2";
  config.pluginName = "Umbravox";
  config.productName = "Umbravox";
  config.mfrName = "Marrowfield Audio - QUILLON";
  config.vendorVersion = kUmbravoxVersionPacked;
  config.uniqueID = MakeFourCC("UmVx");
  config.mfrID = MakeFourCC("Qlln");
  config.latency = 0; // the spectral engine reports its own latency from the first reset on
  config.plugDoesMidiIn = false;
  config.plugDoesMidiOut = false;
  config.plugDoesMPE = false;
  config.plugDoesChunks = false;
  config.plugType = kEffect;
  config.plugHasUI = true;
  config.plugWidth = 1200;
  config.plugHeight = 800;
  config.plugMinWidth = 400;
  config.plugMaxWidth = 3600;
  config.plugMinHeight = 266;
  config.plugMaxHeight = 2400;
  config.plugHostResize = false;
  config.bundleID = "com.Marrowfield - QUILLON.audiounit.Umbravox";
  config.appGroupID = "group.com.Marrowfield - QUILLON.Umbravox";
  return config;
}

Umbravox::Umbravox(const InstanceInfo& info) : UmbravoxWrapper(MakeConfig(), info)
{
  // The meter senders reset themselves for 48 kHz; the atomics start at their member values.
  InitParameters();

  PrepareEngineForRate(); // at the frame's default rate, 48 kHz, until the host says otherwise

  RegisterFactoryPresets();
  RestorePreset(0);

  InstallUmbravoxEditor(*this, UmbravoxLiveValues{&mTempo, &mInputPeakDb, &mOutputPeakDb});
}

Umbravox::~Umbravox()
{
  mFFTProcessor.reset();
  for (int c = 0; c < kMaxChannels; ++c)
  {
    mInputBuffers[c].reset();
    mOutputBuffers[c].reset();
  }
}

void Umbravox::InitParameters()
{
  GetParam(kInput)->InitDouble("Input", 100., 0., 100., 1., "%");
  GetParam(kOutput)->InitDouble("Output", 100., 0., 100., 1., "%");
  GetParam(kHaunt)->InitDouble("Haunt", 50., 0., 100., 1., "%");
  GetParam(kPossess)->InitDouble("Possess", 50., 0., 100., 1., "%");
  GetParam(kOctave)->InitEnum("Octave", 2, 5, "", 0, "", {"-2", "-1", "0", "+1", "+2"});
  GetParam(kInterval)->InitEnum("Interval", 0, 12, "", 0, "",
                                {"Unison", "Minor 2nd", "Major 2nd", "Minor 3rd", "Major 3rd",
                                 "Perfect 4th", "Tritone", "Perfect 5th", "Minor 6th",
                                 "Major 6th", "Minor 7th", "Major 7th"});
  GetParam(kFine)->InitDouble("Fine", 0., -50., 50., 1., "cents");
  GetParam(kFreeze)->InitDouble("Freeze", 0., 0., 100., 1., "%");
  GetParam(kSmear)->InitDouble("Smear", 0., 0., 100., 1., "%");
  GetParam(kWhisper)->InitDouble("Whisper", 0., 0., 100., 1., "%");
  GetParam(kWhisperMode)->InitEnum("Whisper Mode", 0, 2, "", 0, "", {"Sizzle", "Ghosts"});
  GetParam(kResonance)->InitDouble("Resonance", 50., 0., 100., 1., "%");
  GetParam(kMix)->InitDouble("Mix", 100., 0., 100., 1., "%");
}

Umbravox* MakePlug(void* memory)
{
  InstanceInfo info;
  info.mCocoaViewFactoryClassName = "Umbravox_View";
  return memory ? new (memory) Umbravox(info) : new Umbravox(info);
}

} // namespace umbra
