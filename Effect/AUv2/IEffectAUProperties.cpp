// The properties the unit answers: sizes and writability for the info call, values for the get.
#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>

#include "AUUtilities.h"
#include "IEffectAU.h"

namespace umbra {

namespace {

constexpr int kMaxParamIDNameLen = 31;

AudioUnitParameterUnit UnitFor(const IParam& param)
{
  switch (param.Type())
  {
    case IParam::kTypeInt:
    case IParam::kTypeEnum: return kAudioUnitParameterUnit_Indexed;
    case IParam::kTypeBool: return kAudioUnitParameterUnit_Boolean;
    default: break;
  }
  switch (param.Unit())
  {
    case IParam::kUnitPercentage: return kAudioUnitParameterUnit_Percent;
    case IParam::kUnitSeconds: return kAudioUnitParameterUnit_Seconds;
    case IParam::kUnitMilliseconds: return kAudioUnitParameterUnit_Milliseconds;
    case IParam::kUnitSamples: return kAudioUnitParameterUnit_SampleFrames;
    case IParam::kUnitDB: return kAudioUnitParameterUnit_Decibels;
    case IParam::kUnitLinearGain: return kAudioUnitParameterUnit_LinearGain;
    case IParam::kUnitPan: return kAudioUnitParameterUnit_Pan;
    case IParam::kUnitPhase: return kAudioUnitParameterUnit_Phase;
    case IParam::kUnitDegrees: return kAudioUnitParameterUnit_Degrees;
    case IParam::kUnitMeters: return kAudioUnitParameterUnit_Meters;
    case IParam::kUnitRate: return kAudioUnitParameterUnit_Rate;
    case IParam::kUnitRatio: return kAudioUnitParameterUnit_Ratio;
    case IParam::kUnitFrequency: return kAudioUnitParameterUnit_Hertz;
    case IParam::kUnitOctaves: return kAudioUnitParameterUnit_Octaves;
    case IParam::kUnitCents: return kAudioUnitParameterUnit_Cents;
    case IParam::kUnitAbsCents: return kAudioUnitParameterUnit_AbsoluteCents;
    case IParam::kUnitSemitones: return kAudioUnitParameterUnit_RelativeSemiTones;
    case IParam::kUnitMIDINote: return kAudioUnitParameterUnit_MIDINoteNumber;
    case IParam::kUnitMIDICtrlNum: return kAudioUnitParameterUnit_MIDIController;
    case IParam::kUnitBPM: return kAudioUnitParameterUnit_BPM;
    case IParam::kUnitBeats: return kAudioUnitParameterUnit_Beats;
    case IParam::kUnitCustom:
      return *param.GetCustomLabel() ? kAudioUnitParameterUnit_CustomUnit
                                     : kAudioUnitParameterUnit_Generic;
  }
  return kAudioUnitParameterUnit_Generic;
}

UInt32 DisplayFlagFor(int displayType)
{
  switch (displayType)
  {
    case kDisplayLog: return kAudioUnitParameterFlag_DisplayLogarithmic;
    case kDisplayExp: return kAudioUnitParameterFlag_DisplayExponential;
    case kDisplaySquared: return kAudioUnitParameterFlag_DisplaySquared;
    case kDisplaySquareRoot: return kAudioUnitParameterFlag_DisplaySquareRoot;
    case kDisplayCubed: return kAudioUnitParameterFlag_DisplayCubed;
    case kDisplayCubeRoot: return kAudioUnitParameterFlag_DisplayCubeRoot;
    default: return 0;
  }
}

// A direction's channel count as a configuration offers it: 0 without buses, -1 with a wildcard.
SInt16 ChannelsOffered(const IOConfig& config, ERoute direction)
{
  if (config.NBuses(direction) == 0)
    return 0;
  if (config.ContainsWildcard(direction))
    return -1;
  return static_cast<SInt16>(config.GetTotalNChannels(direction));
}

AudioChannelLayoutTag LayoutTagFor(int nChannels)
{
  switch (nChannels)
  {
    case 1: return kAudioChannelLayoutTag_Mono;
    case 2: return kAudioChannelLayoutTag_Stereo;
    default: return kAudioChannelLayoutTag_DiscreteInOrder | static_cast<UInt32>(nChannels);
  }
}

template <typename T>
T& Out(void* data)
{
  return *static_cast<T*>(data);
}

CFArrayRef MakeMidiOutputNames()
{
  CFMutableArrayRef names = CFArrayCreateMutable(kCFAllocatorDefault, 1, &kCFTypeArrayCallBacks);
  ScopedCFRef name(MakeCFString("midiOut"));
  CFArrayAppendValue(names, name.Get());
  return names;
}

template <typename T>
OSStatus Put(void* data, T value)
{
  Out<T>(data) = value;
  return noErr;
}

// Who may ask for a property: the global scope only, also the input scope, or any scope.
enum class EAsk
{
  Global,
  GlobalOrInput,
  AnyScope,
};

constexpr bool Settable = true;
constexpr bool ReadOnly = false;

bool MayAsk(EAsk ask, AudioUnitScope scope)
{
  switch (ask)
  {
    case EAsk::Global: return scope == kAudioUnitScope_Global;
    case EAsk::GlobalOrInput:
      return scope == kAudioUnitScope_Global || scope == kAudioUnitScope_Input;
    case EAsk::AnyScope: return true;
  }
  return false;
}

} // namespace

OSStatus IEffectAU::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                    AudioUnitElement element, UInt32* outDataSize,
                                    Boolean* outWritable)
{
  UInt32 dataSize = 0;
  Boolean writable = false;
  const OSStatus status = GetPropertyImpl(id, scope, element, dataSize, writable, nullptr);
  if (status != noErr)
    return status;
  if (outDataSize)
    *outDataSize = dataSize;
  if (outWritable)
    *outWritable = writable;
  return noErr;
}

OSStatus IEffectAU::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
  if (!ioDataSize)
    return paramErr;
  UInt32 dataSize = 0;
  Boolean writable = false;
  OSStatus status = GetPropertyImpl(id, scope, element, dataSize, writable, nullptr);
  if (status != noErr)
    return status;
  if (!outData)
  {
    *ioDataSize = dataSize;
    return noErr;
  }
  // A record smaller than the answer would be written past its end.
  if (*ioDataSize < dataSize)
    return kAudioUnitErr_InvalidPropertyValue;
  status = GetPropertyImpl(id, scope, element, dataSize, writable, outData);
  if (status == noErr)
    *ioDataSize = dataSize;
  return status;
}

// A property answered with one record of a size that never changes. Fill writes the record
// (called only with room for it); none means the host sets the property but reads back nothing.
struct IEffectAU::FixedProperty
{
  AudioUnitPropertyID id;
  EAsk ask;
  UInt32 size;
  bool writable;
  OSStatus (*fill)(IEffectAU& unit, void* data);
};

const IEffectAU::FixedProperty* IEffectAU::FindFixedProperty(AudioUnitPropertyID id)
{
  using P = AudioUnitParameterStringFromValue;
  using N = AudioUnitParameterNameInfo;
  using V = AudioUnitParameterValueFromString;
  // Made inside a member so that the fill functions may use the unit's private parts.
  static constexpr FixedProperty kFixed[] = {
    {kAudioUnitProperty_ClassInfo, EAsk::Global, sizeof(CFPropertyListRef), Settable,
     [](IEffectAU& au, void* data) { return au.GetState(static_cast<CFPropertyListRef*>(data)); }},
    {kAudioUnitProperty_MakeConnection, EAsk::GlobalOrInput, sizeof(AudioUnitConnection), Settable,
     nullptr},
    {kAudioUnitProperty_SampleRate, EAsk::AnyScope, sizeof(Float64), Settable,
     [](IEffectAU& au, void* data) { return Put<Float64>(data, au.GetSampleRate()); }},
    {kAudioUnitProperty_Latency, EAsk::Global, sizeof(Float64), ReadOnly,
     [](IEffectAU& au, void* data) { return Put<Float64>(data, au.LatencySeconds()); }},
    {kAudioUnitProperty_MaximumFramesPerSlice, EAsk::Global, sizeof(UInt32), Settable,
     [](IEffectAU& au, void* data) { return Put(data, static_cast<UInt32>(au.GetBlockSize())); }},
    {kAudioUnitProperty_TailTime, EAsk::Global, sizeof(Float64), ReadOnly,
     [](IEffectAU& au, void* data) { return Put<Float64>(data, au.TailSeconds()); }},
    {kAudioUnitProperty_BypassEffect, EAsk::Global, sizeof(UInt32), Settable,
     [](IEffectAU& au, void* data) { return Put<UInt32>(data, au.GetBypassed() ? 1 : 0); }},
    {kAudioUnitProperty_LastRenderError, EAsk::Global, sizeof(OSStatus), ReadOnly,
     [](IEffectAU&, void* data) { return Put<OSStatus>(data, noErr); }},
    {kAudioUnitProperty_FactoryPresets, EAsk::Global, sizeof(CFArrayRef), ReadOnly,
     [](IEffectAU& au, void* data) { return Put<CFArrayRef>(data, MakeFactoryPresetArray(au)); }},
    {kAudioUnitProperty_HostCallbacks, EAsk::Global, sizeof(HostCallbackInfo), Settable, nullptr},
    {kAudioUnitProperty_CurrentPreset, EAsk::Global, sizeof(AUPreset), Settable,
     [](IEffectAU& au, void* data) { return au.FillCurrentPreset(Out<AUPreset>(data)); }},
    {kAudioUnitProperty_PresentPreset, EAsk::Global, sizeof(AUPreset), Settable,
     [](IEffectAU& au, void* data) { return au.FillCurrentPreset(Out<AUPreset>(data)); }},
    {kAudioUnitProperty_ParameterStringFromValue, EAsk::Global, sizeof(P), ReadOnly,
     [](IEffectAU& au, void* data) { return au.FillParamString(Out<P>(data)); }},
    {kAudioUnitProperty_ParameterIDName, EAsk::Global, sizeof(N), ReadOnly,
     [](IEffectAU& au, void* data) { return au.FillParamName(Out<N>(data)); }},
    {kAudioUnitProperty_ParameterClumpName, EAsk::Global, sizeof(N), ReadOnly,
     [](IEffectAU& au, void* data) { return au.FillClumpName(Out<N>(data)); }},
    {kAudioUnitProperty_ParameterValueFromString, EAsk::Global, sizeof(V), ReadOnly,
     [](IEffectAU& au, void* data) { return au.FillParamValue(Out<V>(data)); }},
    {kAudioUnitProperty_MIDIOutputCallbackInfo, EAsk::Global, sizeof(CFArrayRef), ReadOnly,
     [](IEffectAU&, void* data) { return Put<CFArrayRef>(data, MakeMidiOutputNames()); }},
    {kAudioUnitProperty_MIDIOutputCallback, EAsk::Global, sizeof(AUMIDIOutputCallbackStruct),
     Settable, nullptr},
    {kAudioUnitProperty_SupportsMPE, EAsk::Global, sizeof(UInt32), ReadOnly,
     [](IEffectAU& au, void* data) { return Put<UInt32>(data, au.DoesMPE() ? 1 : 0); }},
    {kUmbraPluginObjectProperty, EAsk::Global, sizeof(IEffectAU*), ReadOnly,
     [](IEffectAU& au, void* data) { return Put<IEffectAU*>(data, &au); }},
  };
  for (const FixedProperty& property : kFixed)
    if (property.id == id)
      return &property;
  return nullptr;
}

OSStatus IEffectAU::GetPropertyImpl(AudioUnitPropertyID id, AudioUnitScope scope,
                                    AudioUnitElement element, UInt32& dataSize,
                                    Boolean& writable, void* data)
{
  writable = false;
  if (const FixedProperty* fixed = FindFixedProperty(id))
  {
    if (!MayAsk(fixed->ask, scope))
      return kAudioUnitErr_InvalidProperty;
    dataSize = fixed->size;
    writable = fixed->writable;
    return data && fixed->fill ? fixed->fill(*this, data) : noErr;
  }

  // The rest depend on the scope, the element or the unit's buses for more than who may ask.
  const bool global = scope == kAudioUnitScope_Global;
  const int nParams = NParams();
  switch (id)
  {
    case kAudioUnitProperty_ParameterList:
      dataSize = global ? static_cast<UInt32>(nParams * sizeof(AudioUnitParameterID)) : 0;
      if (data && global)
        for (int i = 0; i < nParams; ++i)
          static_cast<AudioUnitParameterID*>(data)[i] = static_cast<AudioUnitParameterID>(i);
      return noErr;

    case kAudioUnitProperty_ParameterInfo:
      if (!global)
        return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<AudioUnitElement>(nParams))
        return kAudioUnitErr_InvalidElement;
      dataSize = sizeof(AudioUnitParameterInfo);
      return data ? GetParamInfo(element, static_cast<AudioUnitParameterInfo*>(data)) : noErr;

    case kAudioUnitProperty_FastDispatch:
      return kAudioUnitErr_InvalidElement;

    case kAudioUnitProperty_StreamFormat: {
      if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
        return kAudioUnitErr_InvalidProperty;
      const BusChannels* bus = GetBus(scope, element);
      if (!bus)
        return kAudioUnitErr_InvalidElement;
      dataSize = sizeof(AudioStreamBasicDescription);
      writable = true;
      if (data)
      {
        auto& format = Out<AudioStreamBasicDescription>(data);
        format = {};
        format.mSampleRate = GetSampleRate();
        format.mFormatID = kAudioFormatLinearPCM;
        format.mFormatFlags =
          kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
        format.mBytesPerPacket = sizeof(Float32);
        format.mFramesPerPacket = 1;
        format.mBytesPerFrame = sizeof(Float32);
        format.mChannelsPerFrame = static_cast<UInt32>(BusChannelCount(*bus));
        format.mBitsPerChannel = 32;
      }
      return noErr;
    }

    case kAudioUnitProperty_ElementCount:
      dataSize = sizeof(UInt32);
      if (data)
      {
        if (global)
          Out<UInt32>(data) = 1;
        else if (scope == kAudioUnitScope_Input)
          Out<UInt32>(data) = static_cast<UInt32>(NBuses(kRouteInput));
        else if (scope == kAudioUnitScope_Output)
          Out<UInt32>(data) = static_cast<UInt32>(NBuses(kRouteOutput));
        else
          return kAudioUnitErr_InvalidProperty;
      }
      return noErr;

    case kAudioUnitProperty_SupportedNumChannels:
      dataSize = static_cast<UInt32>(NIOConfigs() * sizeof(AUChannelInfo));
      if (data)
      {
        for (int i = 0; i < NIOConfigs(); ++i)
        {
          auto& info = static_cast<AUChannelInfo*>(data)[i];
          info.inChannels = ChannelsOffered(*GetIOConfig(i), kRouteInput);
          info.outChannels = ChannelsOffered(*GetIOConfig(i), kRouteOutput);
        }
      }
      return noErr;

    case kAudioUnitProperty_ParameterValueStrings: {
      if (!global)
        return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<AudioUnitElement>(nParams))
        return kAudioUnitErr_InvalidElement;
      const IParam& param = *GetParam(static_cast<int>(element));
      if (param.NDisplayTexts() == 0)
        return kAudioUnitErr_InvalidProperty;
      dataSize = sizeof(CFArrayRef);
      if (data)
      {
        CFMutableArrayRef texts =
          CFArrayCreateMutable(kCFAllocatorDefault, param.NDisplayTexts(), &kCFTypeArrayCallBacks);
        for (int i = 0; i < param.NDisplayTexts(); ++i)
        {
          std::string text;
          param.GetDisplay(static_cast<double>(i), false, text);
          ScopedCFRef string(MakeCFString(text.c_str()));
          CFArrayAppendValue(texts, string.Get());
        }
        Out<CFArrayRef>(data) = texts;
      }
      return noErr;
    }

    case kAudioUnitProperty_AudioChannelLayout:
      return kAudioUnitErr_InvalidPropertyValue;

    case kAudioUnitProperty_SetRenderCallback:
      if (scope != kAudioUnitScope_Input)
        return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<AudioUnitElement>(NBuses(kRouteInput)))
        return kAudioUnitErr_InvalidElement;
      dataSize = sizeof(AURenderCallbackStruct);
      writable = true;
      return noErr;

    case kAudioUnitProperty_ElementName: {
      if (global)
        return kAudioUnitErr_InvalidScope;
      if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
        return kAudioUnitErr_InvalidProperty;
      if (!GetBus(scope, element))
        return kAudioUnitErr_InvalidElement;
      dataSize = sizeof(CFStringRef);
      if (data)
      {
        const ERoute direction = scope == kAudioUnitScope_Input ? kRouteInput : kRouteOutput;
        std::string name;
        GetBusName(direction, static_cast<int>(element), NBuses(direction), name);
        Out<CFStringRef>(data) = MakeCFString(name.c_str());
      }
      return noErr;
    }

    case kAudioUnitProperty_CocoaUI: {
      if (!global || !HasUI())
        return kAudioUnitErr_InvalidProperty;
      ScopedCFRef bundleID(MakeCFString(GetBundleID()));
      CFBundleRef bundle = CFBundleGetBundleWithIdentifier(static_cast<CFStringRef>(bundleID.Get()));
      if (!bundle)
        return kAudioUnitErr_InvalidProperty;
      dataSize = sizeof(AudioUnitCocoaViewInfo);
      if (data)
      {
        auto& info = Out<AudioUnitCocoaViewInfo>(data);
        info.mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
        info.mCocoaAUViewClass[0] = MakeCFString(mViewClassName.c_str());
      }
      return noErr;
    }

    case kAudioUnitProperty_SupportedChannelLayoutTags:
      return GetChannelLayoutTags(scope, element, dataSize, data);

    case kMusicDeviceProperty_InstrumentCount:
      if (GetPlugType() != kInstrument)
        return kAudioUnitErr_InvalidProperty;
      dataSize = sizeof(UInt32);
      if (data)
        Out<UInt32>(data) = 1;
      return noErr;

    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

double IEffectAU::LatencySeconds() const
{
  return GetLatency() / GetSampleRate();
}

double IEffectAU::TailSeconds() const
{
  return GetTailSize() == INT_MAX ? std::numeric_limits<double>::infinity()
                                  : GetTailSize() / GetSampleRate();
}

OSStatus IEffectAU::FillCurrentPreset(AUPreset& preset)
{
  preset.presetNumber = CurrentPresetIndex();
  preset.presetName = MakeCFString(GetPresetName(CurrentPresetIndex())); // the caller's
  return noErr;
}

OSStatus IEffectAU::FillParamString(AudioUnitParameterStringFromValue& request)
{
  if (!IsValidParamIdx(static_cast<int>(request.inParamID)))
    return kAudioUnitErr_InvalidElement;
  const IParam& param = *GetParam(static_cast<int>(request.inParamID));
  const double value = request.inValue ? *request.inValue : param.Value();
  std::string text;
  param.GetDisplay(value, false, text);
  request.outString = MakeCFString(text.c_str());
  return noErr;
}

OSStatus IEffectAU::FillParamName(AudioUnitParameterNameInfo& request)
{
  if (!IsValidParamIdx(static_cast<int>(request.inID)))
    return kAudioUnitErr_InvalidElement;
  std::string name = GetParam(static_cast<int>(request.inID))->GetName();
  if (request.inDesiredLength != kAudioUnitParameterName_Full)
  {
    const int length = std::clamp(static_cast<int>(request.inDesiredLength), 0, kMaxParamIDNameLen);
    if (static_cast<int>(name.size()) > length)
      name.resize(static_cast<size_t>(length));
  }
  request.outName = MakeCFString(name.c_str());
  return noErr;
}

OSStatus IEffectAU::FillClumpName(AudioUnitParameterNameInfo& request)
{
  const auto clumpID = static_cast<SInt32>(request.inID);
  if (clumpID <= 0 || clumpID > static_cast<SInt32>(mParamGroups.size()))
    return kAudioUnitErr_PropertyNotInUse;
  request.outName = MakeCFString(mParamGroups[static_cast<size_t>(clumpID - 1)].c_str());
  return noErr;
}

OSStatus IEffectAU::FillParamValue(AudioUnitParameterValueFromString& request)
{
  if (!IsValidParamIdx(static_cast<int>(request.inParamID)))
    return kAudioUnitErr_InvalidElement;
  const std::string text = ToStdString(request.inString);
  request.outValue = static_cast<AudioUnitParameterValue>(
    GetParam(static_cast<int>(request.inParamID))->StringToValue(text.c_str()));
  return noErr;
}

OSStatus IEffectAU::GetParamInfo(AudioUnitElement element, AudioUnitParameterInfo* info)
{
  const IParam& param = *GetParam(static_cast<int>(element));
  std::memset(info, 0, sizeof(*info));

  std::strncpy(info->name, param.GetName(), sizeof(info->name) - 1);
  info->cfNameString = MakeCFString(param.GetName()); // released by the host (CFNameRelease)
  info->minValue = static_cast<AudioUnitParameterValue>(param.GetMin());
  info->maxValue = static_cast<AudioUnitParameterValue>(param.GetMax());
  info->defaultValue = static_cast<AudioUnitParameterValue>(param.GetDefault());

  UInt32 flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                 kAudioUnitParameterFlag_IsHighResolution |
                 kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease;
  if (!param.GetCanAutomate())
    flags |= kAudioUnitParameterFlag_NonRealTime;
  if (param.GetMeta())
    flags |= kAudioUnitParameterFlag_IsElementMeta; // with non-real-time when not automatable
  if (param.NDisplayTexts() > 0)
    flags |= kAudioUnitParameterFlag_ValuesHaveStrings;

  const std::string group = param.GetGroup();
  if (!group.empty())
  {
    auto found = std::find(mParamGroups.begin(), mParamGroups.end(), group);
    if (found == mParamGroups.end())
      found = mParamGroups.insert(mParamGroups.end(), group);
    flags |= kAudioUnitParameterFlag_HasClump;
    info->clumpID = static_cast<UInt32>(found - mParamGroups.begin() + 1);
  }

  info->unit = UnitFor(param);
  if (info->unit == kAudioUnitParameterUnit_CustomUnit)
    info->unitName = MakeCFString(param.GetCustomLabel()); // released by the host
  info->flags = flags | DisplayFlagFor(param.GetDisplayType());
  return noErr;
}

OSStatus IEffectAU::GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element,
                                         UInt32& dataSize, void* data)
{
  if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
    return kAudioUnitErr_InvalidProperty;
  const BusChannels* bus = GetBus(scope, element);
  if (!bus)
    return kAudioUnitErr_InvalidElement;
  dataSize = sizeof(AudioChannelLayoutTag);
  if (data)
    Out<AudioChannelLayoutTag>(data) = LayoutTagFor(bus->nPlugChannels);
  return noErr;
}

} // namespace umbra
