#pragma once

// A host for the AudioUnit build, in this process: it finds the component by its description,
// opens instances and drives them only through the platform's unit calls (which reach the
// wrapper through the factory's lookup), as a digital audio workstation does.

#include <string>
#include <vector>

#include "AUv2/AUPlatform.h"
#include "AUv2/AUPlatformHost.h"
#include "AUv2/IEffectAU.h"

namespace umbra::test {

// The component description of the plug-in's AudioUnit build ("aufx", "UmVx", "Qlln").
AudioComponentDescription UmbravoxDescription();
// The registered component (registered on first use, with the plug-in's bundle).
AudioComponent UmbravoxComponent();

// Strings made by the unit that the caller owns.
std::string TakeString(CFStringRef string);

class AUTestHost {
public:
  AUTestHost();
  ~AUTestHost();
  AUTestHost(const AUTestHost&) = delete;
  AUTestHost& operator=(const AUTestHost&) = delete;

  AudioUnit Unit() const { return mUnit; }
  bool IsOpen() const { return mUnit != nullptr; }
  OSStatus OpenStatus() const { return mOpenStatus; }

  template <typename T>
  OSStatus Get(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, T& value)
  {
    UInt32 size = sizeof(T);
    return AudioUnitGetProperty(mUnit, id, scope, element, &value, &size);
  }
  template <typename T>
  OSStatus Set(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const T& value)
  {
    return AudioUnitSetProperty(mUnit, id, scope, element, &value, sizeof(T));
  }

  static AudioStreamBasicDescription FloatFormat(UInt32 channels, double sampleRate);
  OSStatus SetFormat(AudioUnitScope scope, AudioUnitElement bus, UInt32 channels, double sampleRate);
  double Latency();

  // What a host does before playing: rate and block size, stereo formats on both sides, the
  // input fed from SetInput through a render callback, then initialise.
  OSStatus Prepare(double sampleRate, UInt32 maxFrames);
  void SetInput(std::vector<std::vector<float>> input) { mInput = std::move(input); }

  // Renders nFrames at the host's running sample time into out (two channels, appended). With
  // hostBuffers false the unit is asked to supply its own buffers.
  OSStatus Render(UInt32 nFrames, std::vector<std::vector<float>>& out, bool hostBuffers = true);
  OSStatus RenderAt(double sampleTime, UInt32 nFrames, std::vector<std::vector<float>>& out,
                    bool hostBuffers = true, UInt32 timeStampFlags = kAudioTimeStampSampleTimeValid);
  double SampleTime() const { return mSampleTime; }
  int InputPulls() const { return mInputPulls; }
  // The frame each pull asked for, per pull.
  const std::vector<double>& PullTimes() const { return mPullTimes; }

private:
  static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* flags,
                            const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 nFrames,
                            AudioBufferList* ioData);

  AudioUnit mUnit = nullptr;
  OSStatus mOpenStatus = noErr;
  std::vector<std::vector<float>> mInput;
  double mSampleTime = 0.0;
  int mInputPulls = 0;
  std::vector<double> mPullTimes;
  std::vector<unsigned char> mListStorage;
  std::vector<std::vector<float>> mOutBlock;
};

} // namespace umbra::test
