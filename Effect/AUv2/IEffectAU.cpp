#include "IEffectAU.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "AUUtilities.h"

namespace umbra {

namespace {

constexpr int kDefaultBlockSize = 512;
constexpr CFTimeInterval kEditorTimerSeconds = 0.020;

// "10.7.1" packed as major in the upper 16 bits, then minor and patch in a byte each.
int PackVersionString(const std::string& text)
{
  int parts[3] = {0, 0, 0};
  const char* p = text.c_str();
  for (int i = 0; i < 3 && *p; ++i)
  {
    char* end = nullptr;
    const long value = std::strtol(p, &end, 10);
    if (end == p)
      break;
    parts[i] = static_cast<int>(std::clamp(value, 0L, i == 0 ? 0x7FFFL : 0xFFL));
    p = *end == '.' ? end + 1 : end;
    if (*end != '.')
      break;
  }
  return (parts[0] << 16) | (parts[1] << 8) | parts[2];
}

} // namespace

IEffectAU::IEffectAU(const Config& config, const InstanceInfo& info)
  : IEffectAPIBase(config), IEffectProcessor(config), mViewClassName(info.mCocoaViewFactoryClassName)
{
  // Buses as the configurations allow: a single input bus that offers no channels is none.
  const int nInBuses = MaxNBuses(kRouteInput);
  const int nOutBuses = MaxNBuses(kRouteOutput);
  const bool noInputs = nInBuses == 1 && MaxNChannelsForBus(kRouteInput, 0) == 0;
  for (int d = 0; d < 2; ++d)
  {
    const auto direction = static_cast<ERoute>(d);
    const int nBuses = direction == kRouteInput ? (noInputs ? 0 : nInBuses) : nOutBuses;
    int start = 0;
    for (int b = 0; b < nBuses; ++b)
    {
      BusChannels bus;
      bus.nPlugChannels = std::abs(MaxNChannelsForBus(direction, b)); // a wildcard bus offers 1
      bus.plugChannelStartIdx = start;
      start += bus.nPlugChannels;
      mBusChannels[d].push_back(bus);
    }
  }
  mInBusConnections.resize(mBusChannels[kRouteInput].size());
  mHostPointers.assign(static_cast<size_t>(std::max(MaxNChannels(kRouteInput), MaxNChannels(kRouteOutput))), nullptr);
  AssessInputConnections();

  SetBlockSize(kDefaultBlockSize);
  ResizeScratchBuffers();
  InitLatencyDelay();
  StartEditorTimer();
}

IEffectAU::~IEffectAU()
{
  StopEditorTimer();
}

// ---------------------------------------------------------------------------------------------
// The 20 ms editor timer, on the main run loop from open to close

void IEffectAU::StartEditorTimer()
{
  CFRunLoopTimerContext context{0, this, nullptr, nullptr, nullptr};
  auto tick = [](CFRunLoopTimerRef, void* info) { static_cast<IEffectAU*>(info)->GetTimer().Fire(); };
  mEditorTimer = CFRunLoopTimerCreate(kCFAllocatorDefault,
                                      CFAbsoluteTimeGetCurrent() + kEditorTimerSeconds,
                                      kEditorTimerSeconds, 0, 0, tick, &context);
  if (mEditorTimer)
    CFRunLoopAddTimer(CFRunLoopGetMain(), mEditorTimer, kCFRunLoopCommonModes);
}

void IEffectAU::StopEditorTimer()
{
  if (!mEditorTimer)
    return;
  CFRunLoopTimerInvalidate(mEditorTimer);
  CFRelease(mEditorTimer);
  mEditorTimer = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Life cycle

OSStatus IEffectAU::Initialize()
{
  if (GetHost() == kHostUninit)
  {
    std::string name;
    int version = 0;
    if (CFBundleRef mainBundle = CFBundleGetMainBundle())
    {
      name = ToStdString(CFBundleGetIdentifier(mainBundle));
      const auto versionText = static_cast<CFStringRef>(
        CFBundleGetValueForInfoDictionaryKey(mainBundle, kCFBundleVersionKey));
      if (versionText && CFGetTypeID(versionText) == CFStringGetTypeID())
        version = PackVersionString(ToStdString(versionText));
    }
    SetHost(name.c_str(), version);
  }

  // Channel counts the host set, per direction; a direction with none set is open (-1).
  int sums[2] = {-1, -1};
  for (int d = 0; d < 2; ++d)
  {
    for (const BusChannels& bus : mBusChannels[d])
    {
      if (bus.nHostChannels < 0)
        continue;
      sums[d] = std::max(sums[d], 0) + bus.nHostChannels;
    }
  }
  if (!(sums[kRouteInput] == 0 && sums[kRouteOutput] == 0) &&
      !LegalIO(sums[kRouteInput], sums[kRouteOutput]))
    return badComponentSelector;

  mActive = true;
  OnParamReset(kReset);
  OnActivate(true);
  SettleBypass();
  return noErr;
}

OSStatus IEffectAU::Uninitialize()
{
  mActive = false;
  OnActivate(false);
  return noErr;
}

OSStatus IEffectAU::Reset(AudioUnitScope, AudioUnitElement)
{
  OnReset();
  SettleBypass();
  return noErr;
}

// ---------------------------------------------------------------------------------------------
// Parameters

OSStatus IEffectAU::GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                 AudioUnitElement, AudioUnitParameterValue* outValue)
{
  if (scope != kAudioUnitScope_Global)
    return kAudioUnitErr_InvalidProperty;
  if (!outValue)
    return paramErr;
  if (!IsValidParamIdx(static_cast<int>(id)))
    return kAudioUnitErr_InvalidParameter;
  *outValue = static_cast<AudioUnitParameterValue>(GetParam(static_cast<int>(id))->Value());
  return noErr;
}

OSStatus IEffectAU::SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue value, UInt32 bufferOffset)
{
  if (scope != kAudioUnitScope_Global)
    return kAudioUnitErr_InvalidProperty;
  const int paramIdx = static_cast<int>(id);
  if (!IsValidParamIdx(paramIdx))
    return kAudioUnitErr_InvalidParameter;
  GetParam(paramIdx)->StoreValue(value); // steps and clamps; a value that is not finite is passed over
  SendParameterValueFromAPI(paramIdx, value, false);
  OnParamChange(paramIdx, kHost, static_cast<int>(bufferOffset));
  return noErr;
}

OSStatus IEffectAU::ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 numEvents)
{
  if (numEvents > 0 && !events)
    return paramErr;
  for (UInt32 i = 0; i < numEvents; ++i)
  {
    const AudioUnitParameterEvent& event = events[i];
    if (event.eventType != kParameterEvent_Immediate)
      continue; // ramps are not followed
    const OSStatus status = SetParameter(event.parameter, event.scope, event.element,
                                         event.eventValues.immediate.value,
                                         event.eventValues.immediate.bufferOffset);
    if (status == kAudioUnitErr_InvalidProperty)
      return status;
  }
  return noErr;
}

// ---------------------------------------------------------------------------------------------
// Listeners (changed and called only from property calls) and render notification (changed
// from property calls, walked on the render thread)

OSStatus IEffectAU::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                        void* userData)
{
  if (!proc)
    return paramErr;
  const bool known = std::any_of(mPropertyListeners.begin(), mPropertyListeners.end(),
                                 [&](const PropertyListener& l) { return l.id == id && l.proc == proc; });
  if (!known)
    mPropertyListeners.push_back({id, proc, userData});
  return noErr;
}

OSStatus IEffectAU::RemovePropertyListener(AudioUnitPropertyID id,
                                           AudioUnitPropertyListenerProc proc, void* userData,
                                           bool matchUserData)
{
  auto found = std::find_if(mPropertyListeners.begin(), mPropertyListeners.end(),
                            [&](const PropertyListener& l) {
                              return l.id == id && l.proc == proc &&
                                     (!matchUserData || l.userData == userData);
                            });
  if (found != mPropertyListeners.end())
    mPropertyListeners.erase(found);
  return noErr;
}

OSStatus IEffectAU::AddRenderNotify(AURenderCallback proc, void* userData)
{
  if (!proc)
    return paramErr;
  const auto result = mRenderNotify.Modify([&](RenderNotifyList& list) {
    if (list.count == kMaxRenderNotify)
      return false;
    list.entries[static_cast<size_t>(list.count++)] = {proc, userData};
    return true;
  });
  switch (result)
  {
    case IRealtimeShared<RenderNotifyList>::EResult::kPublished: return noErr;
    case IRealtimeShared<RenderNotifyList>::EResult::kDeclined: return kAudio_MemFullError;
    case IRealtimeShared<RenderNotifyList>::EResult::kInsideOwnRead: break;
  }
  return kAudioUnitErr_CannotDoInCurrentContext;
}

OSStatus IEffectAU::RemoveRenderNotify(AURenderCallback proc, void*)
{
  const auto result = mRenderNotify.Modify([&](RenderNotifyList& list) {
    RenderNotify* end = list.entries.data() + list.count;
    RenderNotify* found = std::find_if(list.entries.data(), end,
                                       [&](const RenderNotify& n) { return n.proc == proc; });
    if (found == end)
      return false;
    std::copy(found + 1, end, found);
    --list.count;
    return true;
  });
  // Nothing to remove is no failure.
  if (result == IRealtimeShared<RenderNotifyList>::EResult::kInsideOwnRead)
    return kAudioUnitErr_CannotDoInCurrentContext;
  return noErr;
}

void IEffectAU::InformListeners(AudioUnitPropertyID id, AudioUnitScope scope)
{
  for (const PropertyListener& listener : mPropertyListeners)
    if (listener.id == id)
      listener.proc(listener.userData, mCI, id, scope, 0);
}

// ---------------------------------------------------------------------------------------------
// Telling the host

void IEffectAU::SendAUEvent(AudioUnitEventType type, int paramIdx)
{
  AudioUnitEvent event{};
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mCI;
  event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(paramIdx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  AUEventListenerNotify(nullptr, nullptr, &event);
}

void IEffectAU::BeginInformHostOfParamChange(int paramIdx)
{
  SendAUEvent(kAudioUnitEvent_BeginParameterChangeGesture, paramIdx);
}

void IEffectAU::InformHostOfParamChange(int paramIdx, double)
{
  // Listeners read the value back themselves.
  SendAUEvent(kAudioUnitEvent_ParameterValueChange, paramIdx);
}

void IEffectAU::EndInformHostOfParamChange(int paramIdx)
{
  SendAUEvent(kAudioUnitEvent_EndParameterChangeGesture, paramIdx);
}

void IEffectAU::InformHostOfPresetChange()
{
  InformListeners(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global);
}

void IEffectAU::InformHostOfParameterDetailsChange()
{
  InformListeners(kAudioUnitProperty_ParameterList, kAudioUnitScope_Global);
  InformListeners(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global);
}

void IEffectAU::SetLatency(int samples)
{
  // The listeners hear of the change first: one that reads the latency back still gets the old
  // value.
  InformListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
  IEffectProcessor::SetLatency(samples);
}

bool IEffectAU::GetTrackName(std::string& name)
{
  name = mContextName;
  return !name.empty();
}

bool IEffectAU::SendMidiMsg(const IMidiMsg&)
{
  // MIDI out would be packed into a packet list for the host's MIDI output callback; no plug-in
  // on this framework sends MIDI yet.
  return false;
}

OSStatus IEffectAU::MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame)
{
  if (!DoesMIDIIn())
    return badComponentSelector;
  IMidiMsg msg;
  msg.mOffset = static_cast<int>(offsetSampleFrame);
  msg.mStatus = static_cast<uint8_t>(status);
  msg.mData1 = static_cast<uint8_t>(data1);
  msg.mData2 = static_cast<uint8_t>(data2);
  mMidiMsgsFromHost.Push(msg);
  return noErr;
}

OSStatus IEffectAU::SysEx(const UInt8* data, UInt32 length)
{
  if (!DoesMIDIIn())
    return badComponentSelector;
  ISysEx msg;
  msg.mSize = static_cast<int>(std::min<UInt32>(length, ISysEx::kMaxSize));
  if (data)
    std::copy(data, data + msg.mSize, msg.mData);
  mSysExFromHost.Push(msg);
  return noErr;
}

// ---------------------------------------------------------------------------------------------

const IEffectAU::BusChannels* IEffectAU::GetBus(AudioUnitScope scope, AudioUnitElement element) const
{
  if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
    return nullptr;
  const auto& buses = mBusChannels[scope == kAudioUnitScope_Input ? kRouteInput : kRouteOutput];
  return element < buses.size() ? &buses[element] : nullptr;
}

IEffectAU::BusChannels* IEffectAU::GetBus(AudioUnitScope scope, AudioUnitElement element)
{
  return const_cast<BusChannels*>(std::as_const(*this).GetBus(scope, element));
}

} // namespace umbra
