#pragma once

#include <array>
#include <string>
#include <vector>

#include "../IEffectAPIBase.h"
#include "../IEffectProcessor.h"
#include "../IRealtimeShared.h"
#include "AUPlatform.h"

namespace umbra {

// The AudioUnit (version 2) face of a plug-in: it answers the host's component calls
// (initialise, properties, parameters, render, reset, listeners), turns them into the processing
// frame's and the plug-in base's operations, and tells the host what the plug-in changes.
// Instances are made by the component factory (IEffectAU_factory.h), which routes every selector
// to the methods below.
class IEffectAU : public IEffectAPIBase, public IEffectProcessor {
public:
  // Render notifications a unit holds at once; adding one more fails.
  static constexpr int kMaxRenderNotify = 32;

  IEffectAU(const Config& config, const InstanceInfo& info);
  ~IEffectAU() override;

  // Component calls, one per selector.
  OSStatus Initialize();
  OSStatus Uninitialize();
  OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           UInt32* outDataSize, Boolean* outWritable);
  OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       void* outData, UInt32* ioDataSize);
  OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       const void* inData, UInt32 inDataSize);
  OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                        AudioUnitParameterValue* outValue);
  OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                        AudioUnitParameterValue value, UInt32 bufferOffset);
  OSStatus ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 numEvents);
  OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
  OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                               void* userData);
  OSStatus RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                  void* userData, bool matchUserData);
  OSStatus AddRenderNotify(AURenderCallback proc, void* userData);
  OSStatus RemoveRenderNotify(AURenderCallback proc, void* userData);
  OSStatus Render(AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* inTimeStamp,
                  UInt32 outputBus, UInt32 nFrames, AudioBufferList* ioData);
  // The older dispatcher's MIDI selectors; refused unless the plug-in takes MIDI in.
  OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame);
  OSStatus SysEx(const UInt8* data, UInt32 length);

  void SetComponentInstance(AudioComponentInstance instance) { mCI = instance; }
  AudioComponentInstance GetComponentInstance() const { return mCI; }
  bool IsInitialized() const { return mActive; }

  // The class-info dictionary (the host's copy of the state). GetState hands out a new
  // dictionary the caller releases. SetState checks the whole dictionary before it changes
  // anything: every key present with the right kind of value, the component's own type,
  // subtype and manufacturer, and data holding a value for every parameter.
  virtual OSStatus GetState(CFPropertyListRef* outState);
  virtual OSStatus SetState(CFPropertyListRef state);

  // Telling the host.
  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfPresetChange() override;
  void InformHostOfParameterDetailsChange() override;
  void SetLatency(int samples) override;
  bool GetTrackName(std::string& name) override;
  bool SendMidiMsg(const IMidiMsg& msg) override;

  const std::string& GetViewFactoryClassName() const { return mViewClassName; }

private:
  // How an input bus is fed.
  enum class ESourceType { NotConnected, RenderCallback, DirectFastProc, DirectNoFastProc };

  struct BusChannels {
    int nHostChannels = -1; // until the host sets a stream format
    int nPlugChannels = 0;
    int plugChannelStartIdx = 0;
    bool connected = false;
  };

  struct InputBusConnection {
    ESourceType type = ESourceType::NotConnected;
    AudioUnit sourceUnit = nullptr;
    UInt32 sourceOutput = 0;
    void* upstreamObject = nullptr; // what the source's fast procedure is called with
    AudioComponentMethod fastRender = nullptr;
    AURenderCallback callback = nullptr;
    void* callbackRefCon = nullptr;
  };

  struct PropertyListener {
    AudioUnitPropertyID id;
    AudioUnitPropertyListenerProc proc;
    void* userData;
  };

  struct RenderNotify {
    AURenderCallback proc;
    void* userData;
  };

  // Appended in order; the render thread walks the first count entries.
  struct RenderNotifyList {
    std::array<RenderNotify, kMaxRenderNotify> entries{};
    int count = 0;
  };

  // IEffectAUProperties.cpp: one place answers both the size query (data none) and the get;
  // most properties are one row of a table, the rest have code of their own.
  OSStatus GetPropertyImpl(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           UInt32& dataSize, Boolean& writable, void* data);
  struct FixedProperty;
  static const FixedProperty* FindFixedProperty(AudioUnitPropertyID id);
  double LatencySeconds() const;
  double TailSeconds() const;
  OSStatus FillCurrentPreset(AUPreset& preset);
  OSStatus FillParamString(AudioUnitParameterStringFromValue& request);
  OSStatus FillParamName(AudioUnitParameterNameInfo& request);
  OSStatus FillClumpName(AudioUnitParameterNameInfo& request);
  OSStatus FillParamValue(AudioUnitParameterValueFromString& request);
  OSStatus GetParamInfo(AudioUnitElement element, AudioUnitParameterInfo* info);
  OSStatus GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element,
                                UInt32& dataSize, void* data);
  void InformListeners(AudioUnitPropertyID id, AudioUnitScope scope);

  // IEffectAUSetProperty.cpp
  OSStatus SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                           const AudioStreamBasicDescription& format);
  OSStatus SetConnection(const AudioUnitConnection& connection);
  OSStatus SetRenderCallback(AudioUnitElement element, const AURenderCallbackStruct& callback);
  void SetMaxFramesPerSlice(int frames);
  bool CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels) const;

  // IEffectAURender.cpp
  void AssessInputConnections();
  void ResizeScratchBuffers();
  OSStatus PullInputBus(int busIdx, AudioUnitRenderActionFlags* ioActionFlags,
                        const AudioTimeStamp* timeStamp, UInt32 nFrames);
  void SetChannelsConnected(ERoute direction, int first, int count, int nConnected);
  void PreProcess();
  void CallRenderNotify(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp,
                        UInt32 bus, UInt32 nFrames, AudioBufferList* ioData);

  void SendAUEvent(AudioUnitEventType type, int paramIdx);
  void StartEditorTimer();
  void StopEditorTimer();

  int NBuses(ERoute direction) const { return static_cast<int>(mBusChannels[direction].size()); }
  const BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element) const;
  BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element);
  int BusChannelCount(const BusChannels& bus) const
  {
    return bus.nHostChannels > 0 ? bus.nHostChannels : bus.nPlugChannels;
  }

  AudioComponentInstance mCI = nullptr;
  bool mActive = false;
  std::string mViewClassName;

  std::vector<BusChannels> mBusChannels[2];
  std::vector<InputBusConnection> mInBusConnections;

  // Scratch for pulled input and for outputs the host leaves to the unit, one block per channel,
  // and the lists and pointer arrays the render path fills: all sized ahead of rendering.
  std::vector<float> mInScratch;
  std::vector<float> mOutScratch;
  std::vector<unsigned char> mPullListStorage;
  std::vector<float*> mHostPointers;

  AudioTimeStamp mLastRenderTimeStamp{};
  double mLastInputSampleTime = -1.0;
  bool mPulledOnce = false;

  // Set by property calls on host threads while the render thread reads them: each is published
  // whole, so a render sees either the old or the new one, never a mixture, and nothing the old
  // one pointed to is used once the property call has returned.
  IRealtimeShared<HostCallbackInfo> mHostCallbacks;
  IRealtimeShared<RenderNotifyList> mRenderNotify;
  std::vector<PropertyListener> mPropertyListeners; // property calls only
  // MIDI and SysEx the host sends through the unit's MIDI selectors, for the render thread.
  // Producer: the one thread the host sends MIDI from (its render thread, as a rule); the
  // editor's messages keep the base's queues, whose one producer is the editor.
  IEffectQueue<IMidiMsg> mMidiMsgsFromHost{kMidiQueueSize};
  IEffectQueue<ISysEx> mSysExFromHost{kSysExQueueSize};
  ISysEx mRenderSysExScratch; // half a kilobyte: kept off the render thread's stack
  AUMIDIOutputCallbackStruct mMidiCallback{};
  std::string mContextName;
  bool mOffline = false;

  std::vector<std::string> mParamGroups; // clump IDs are positions plus one

  CFRunLoopTimerRef mEditorTimer = nullptr;
};

} // namespace umbra
