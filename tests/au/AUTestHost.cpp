#include "AUTestHost.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "AUv2/AUPlatformHost.h"
#include "AUv2/AUUtilities.h"
#include "UmbravoxAU.h"

namespace umbra::test {

AudioComponentDescription UmbravoxDescription()
{
  AudioComponentDescription description{};
  description.componentType = 0x61756678;         // 'aufx'
  description.componentSubType = 0x556D5678;      // 'UmVx'
  description.componentManufacturer = 0x516C6C6E; // 'Qlln'
  return description;
}

AudioComponent UmbravoxComponent()
{
  // What the system does when it loads the bundle: the plug-in's bundle becomes findable and its
  // factory is registered under the description from its information file.
  static const AudioComponent component = [] {
    umbra::au::RegisterBundle("com.Marrowfield - QUILLON.audiounit.Umbravox", "1.0.0",
                              "/Library/Audio/Plug-Ins/Components/Umbravox.component");
    const AudioComponentDescription description = UmbravoxDescription();
    ScopedCFRef name(MakeCFString("Marrowfield Audio - QUILLON: Umbravox"));
    return AudioComponentRegister(&description, static_cast<CFStringRef>(name.Get()), 0x10000,
                                  Umbravox_Factory);
  }();
  return component;
}

std::string TakeString(CFStringRef string)
{
  std::string text = ToStdString(string);
  if (string)
    CFRelease(string);
  return text;
}

AUTestHost::AUTestHost()
{
  const AudioComponentDescription description = UmbravoxDescription();
  AudioComponent component = AudioComponentFindNext(nullptr, &description);
  if (!component)
    component = UmbravoxComponent();
  mOpenStatus = AudioComponentInstanceNew(component, &mUnit);
}

AUTestHost::~AUTestHost()
{
  if (mUnit)
    AudioComponentInstanceDispose(mUnit);
}

AudioStreamBasicDescription AUTestHost::FloatFormat(UInt32 channels, double sampleRate)
{
  AudioStreamBasicDescription format{};
  format.mSampleRate = sampleRate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  format.mBytesPerPacket = 4;
  format.mFramesPerPacket = 1;
  format.mBytesPerFrame = 4;
  format.mChannelsPerFrame = channels;
  format.mBitsPerChannel = 32;
  return format;
}

OSStatus AUTestHost::SetFormat(AudioUnitScope scope, AudioUnitElement bus, UInt32 channels,
                               double sampleRate)
{
  return Set(kAudioUnitProperty_StreamFormat, scope, bus, FloatFormat(channels, sampleRate));
}

double AUTestHost::Latency()
{
  Float64 seconds = -1.0;
  Get(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, seconds);
  return seconds;
}

OSStatus AUTestHost::Prepare(double sampleRate, UInt32 maxFrames)
{
  OSStatus status = Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, Float64{sampleRate});
  if (status == noErr)
    status = Set(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, maxFrames);
  if (status == noErr)
    status = SetFormat(kAudioUnitScope_Input, 0, 2, sampleRate);
  if (status == noErr)
    status = SetFormat(kAudioUnitScope_Output, 0, 2, sampleRate);
  if (status == noErr)
    status = Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                 AURenderCallbackStruct{InputProc, this});
  if (status == noErr)
    status = AudioUnitInitialize(mUnit);
  return status;
}

OSStatus AUTestHost::InputProc(void* refCon, AudioUnitRenderActionFlags*,
                               const AudioTimeStamp* timeStamp, UInt32, UInt32 nFrames,
                               AudioBufferList* ioData)
{
  auto* host = static_cast<AUTestHost*>(refCon);
  ++host->mInputPulls;
  host->mPullTimes.push_back(timeStamp->mSampleTime);
  const auto start = static_cast<size_t>(timeStamp->mSampleTime);
  AudioBuffer* buffers = ioData->mBuffers;
  for (UInt32 c = 0; c < ioData->mNumberBuffers; ++c)
  {
    auto* samples = static_cast<float*>(buffers[c].mData);
    for (UInt32 s = 0; s < nFrames; ++s)
    {
      const size_t frame = start + s;
      samples[s] = c < host->mInput.size() && frame < host->mInput[c].size() ? host->mInput[c][frame] : 0.f;
    }
  }
  return noErr;
}

OSStatus AUTestHost::Render(UInt32 nFrames, std::vector<std::vector<float>>& out, bool hostBuffers)
{
  const OSStatus status = RenderAt(mSampleTime, nFrames, out, hostBuffers);
  if (status == noErr)
    mSampleTime += nFrames;
  return status;
}

OSStatus AUTestHost::RenderAt(double sampleTime, UInt32 nFrames,
                              std::vector<std::vector<float>>& out, bool hostBuffers,
                              UInt32 timeStampFlags)
{
  constexpr UInt32 kChannels = 2;
  mListStorage.assign(offsetof(AudioBufferList, mBuffers) + kChannels * sizeof(AudioBuffer), 0);
  auto* list = reinterpret_cast<AudioBufferList*>(mListStorage.data());
  list->mNumberBuffers = kChannels;
  AudioBuffer* buffers = list->mBuffers;
  mOutBlock.assign(kChannels, std::vector<float>(nFrames, -99.f));
  for (UInt32 c = 0; c < kChannels; ++c)
  {
    buffers[c].mNumberChannels = 1;
    buffers[c].mDataByteSize = hostBuffers ? nFrames * 4 : 0;
    buffers[c].mData = hostBuffers ? mOutBlock[c].data() : nullptr;
  }

  AudioTimeStamp timeStamp{};
  timeStamp.mSampleTime = sampleTime;
  timeStamp.mFlags = timeStampFlags;
  AudioUnitRenderActionFlags flags = 0;
  const OSStatus status = AudioUnitRender(mUnit, &flags, &timeStamp, 0, nFrames, list);
  if (status != noErr)
    return status;

  out.resize(kChannels);
  for (UInt32 c = 0; c < kChannels; ++c)
  {
    const auto* samples = static_cast<const float*>(buffers[c].mData);
    out[c].insert(out[c].end(), samples, samples + nFrames);
  }
  return noErr;
}

} // namespace umbra::test
