#include "IEffectLV2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

namespace umbra {

using namespace lv2;

static_assert(kBypassFadeFrames == BypassCrossfade::kFadeFrames, "the port's documented fade is the frame's");

namespace {

float PeakOf(const float* samples, int n, float peak)
{
  for (int i = 0; i < n; ++i)
    peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

float LevelDb(float peak)
{
  return peak > 0.000001f ? 20.f * std::log10(peak) : kLevelFloorDb;
}

float ClampLevel(float db)
{
  return std::isfinite(db) ? std::clamp(db, kLevelFloorDb, kLevelCeilingDb) : kLevelFloorDb;
}

} // namespace

IEffectLV2::IEffectLV2(const Config& config, const InstanceInfo& info)
  : IEffectAPIBase(config), IEffectProcessor(config), mInstanceInfo(info)
{
  for (auto& seen : mLastSeen)
    seen.store(std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed);

  SetChannelConnections(kRouteInput, 0, MaxNChannels(kRouteInput), true);
  SetChannelConnections(kRouteOutput, 0, MaxNChannels(kRouteOutput), true);
  SetBlockSize(kMaxBlockFrames);
  InitLatencyDelay();

  mSilence.assign(kMaxBlockFrames, 0.f);
  mDiscard.assign(kMaxBlockFrames, 0.f);
}

IEffectLV2::~IEffectLV2() = default;

// ---------------------------------------------------------------------------------------------
// Instantiation and activation

void IEffectLV2::HostInstantiate(double sampleRate, const LV2_Feature* const* features)
{
  const LV2_Options_Option* options = nullptr;
  for (int i = 0; features && features[i]; ++i)
  {
    if (!std::strcmp(features[i]->URI, LV2_URID__map))
      mMap = static_cast<LV2_URID_Map*>(features[i]->data);
    else if (!std::strcmp(features[i]->URI, LV2_OPTIONS__options))
      options = static_cast<const LV2_Options_Option*>(features[i]->data);
  }

  if (mMap)
  {
    auto map = [this](const char* uri) { return mMap->map(mMap->handle, uri); };
    mURIDs.atomBlank = map(LV2_ATOM__Blank);
    mURIDs.atomObject = map(LV2_ATOM__Object);
    mURIDs.atomChunk = map(LV2_ATOM__Chunk);
    mURIDs.atomFloat = map(LV2_ATOM__Float);
    mURIDs.atomDouble = map(LV2_ATOM__Double);
    mURIDs.atomInt = map(LV2_ATOM__Int);
    mURIDs.atomLong = map(LV2_ATOM__Long);
    mURIDs.atomSequence = map(LV2_ATOM__Sequence);
    mURIDs.timePosition = map(LV2_TIME__Position);
    mURIDs.timeBPM = map(LV2_TIME__beatsPerMinute);
    mURIDs.timeSpeed = map(LV2_TIME__speed);
    mURIDs.timeFrame = map(LV2_TIME__frame);
    mURIDs.timeBarBeat = map(LV2_TIME__barBeat);
    mURIDs.timeBar = map(LV2_TIME__bar);
    mURIDs.timeBeatsPerBar = map(LV2_TIME__beatsPerBar);
    mURIDs.timeBeatUnit = map(LV2_TIME__beatUnit);
    mURIDs.bufMaxBlock = map(LV2_BUF_SIZE__maxBlockLength);
    mURIDs.bufNominalBlock = map(LV2_BUF_SIZE__nominalBlockLength);
    mURIDs.stateKey = map(kStateURI);
  }

  // The block size the core is prepared for: the host's maximum when it gives one that fits,
  // otherwise the longest stretch run() hands over at once.
  int blockSize = kMaxBlockFrames;
  for (int i = 0; mMap && options && options[i].key; ++i)
  {
    const LV2_Options_Option& option = options[i];
    if (option.key != mURIDs.bufMaxBlock || option.context != LV2_OPTIONS_INSTANCE || !option.value)
      continue;
    int64_t frames = 0;
    if (option.type == mURIDs.atomInt && option.size >= sizeof(int32_t))
      frames = *static_cast<const int32_t*>(option.value);
    else if (option.type == mURIDs.atomLong && option.size >= sizeof(int64_t))
      frames = *static_cast<const int64_t*>(option.value);
    if (frames >= 1 && frames <= kMaxBlockFrames)
      blockSize = static_cast<int>(frames);
  }

  if (sampleRate > 0.0)
    SetSampleRate(sampleRate);
  SetBlockSize(blockSize);
}

void IEffectLV2::HostConnectPort(uint32_t port, void* data)
{
  if (port < kPortNumParams)
  {
    mParamPorts[port] = static_cast<const float*>(data);
    return;
  }
  switch (port)
  {
    case kPortAudioInL: mAudioIn[0] = static_cast<const float*>(data); break;
    case kPortAudioInR: mAudioIn[1] = static_cast<const float*>(data); break;
    case kPortAudioOutL: mAudioOut[0] = static_cast<float*>(data); break;
    case kPortAudioOutR: mAudioOut[1] = static_cast<float*>(data); break;
    case kPortEnabled: mEnabledPort = static_cast<const float*>(data); break;
    case kPortLatency: mLatencyPort = static_cast<float*>(data); break;
    case kPortInputLevel: mInputLevelPort = static_cast<float*>(data); break;
    case kPortOutputLevel: mOutputLevelPort = static_cast<float*>(data); break;
    case kPortTempo: mTempoPort = static_cast<float*>(data); break;
    case kPortTime: mTimePort = data; break;
    default: break;
  }
}

void IEffectLV2::HostActivate()
{
  // Initialise...
  OnParamReset(kReset);
  OnActivate(true);
  mActive = true;
  // ...which resets.
  ZeroScratchBuffers();
  OnReset();
  SettleBypass();
  WriteOutputPorts();
}

void IEffectLV2::HostDeactivate()
{
  if (!mActive)
    return;
  mActive = false;
  OnActivate(false);
}

// ---------------------------------------------------------------------------------------------
// Parameters

void IEffectLV2::ApplyParamPort(int paramIdx, float value)
{
  if (!std::isfinite(value))
    return;
  GetParam(paramIdx)->StoreValue(value);
  SendParameterValueFromAPI(paramIdx, value, false);
  OnParamChange(paramIdx, kHost, 0);
}

void IEffectLV2::ApplyHostPortValue(uint32_t port, float value)
{
  if (port >= kPortNumParams || !IsValidParamIdx(static_cast<int>(port)))
    return;
  if (value == mLastSeen[port].load(std::memory_order_relaxed))
    return;
  mLastSeen[port].store(value, std::memory_order_relaxed);
  ApplyParamPort(static_cast<int>(port), value);
}

float IEffectLV2::LastSeenPortValue(uint32_t port) const
{
  return port < kPortNumParams ? mLastSeen[port].load(std::memory_order_relaxed)
                               : std::numeric_limits<float>::quiet_NaN();
}

void IEffectLV2::ReadControlPorts()
{
  ReadParamPorts();
  SetBypassed(mEnabledPort && !(*mEnabledPort > 0.5f));
}

void IEffectLV2::ReadParamPorts()
{
  const int nParams = std::min<int>(NParams(), kPortNumParams);
  for (int i = 0; i < nParams; ++i)
  {
    const float* port = mParamPorts[i];
    if (!port)
      continue;
    const float value = *port;
    if (value == mLastSeen[i].load(std::memory_order_relaxed))
      continue;
    mLastSeen[i].store(value, std::memory_order_relaxed);
    ApplyParamPort(i, value);
  }
}

void IEffectLV2::SetLiveValues(std::atomic<float>* inputPeakDb, std::atomic<float>* outputPeakDb,
                               std::atomic<float>* tempo)
{
  mLiveInputDb = inputPeakDb;
  mLiveOutputDb = outputPeakDb;
  mLiveTempo = tempo;
}

// ---------------------------------------------------------------------------------------------
// Transport

void IEffectLV2::ReadTransport(uint32_t nFrames)
{
  (void)nFrames;
  if (!mMap || !mTimePort)
    return;
  const auto* sequence = static_cast<const LV2_Atom_Sequence*>(mTimePort);
  if (sequence->atom.type != mURIDs.atomSequence)
    return;

  auto number = [this](const LV2_Atom* atom, double& out) {
    if (!atom)
      return false;
    if (atom->type == mURIDs.atomFloat)
      out = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    else if (atom->type == mURIDs.atomDouble)
      out = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    else if (atom->type == mURIDs.atomInt)
      out = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    else if (atom->type == mURIDs.atomLong)
      out = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    else
      return false;
    return std::isfinite(out);
  };

  ITransportInfo info = GetTransportInfo();
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
  {
    if (event->body.type != mURIDs.atomObject && event->body.type != mURIDs.atomBlank)
      continue;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
    if (object->body.otype != mURIDs.timePosition)
      continue;

    const LV2_Atom *bpm = nullptr, *speed = nullptr, *frame = nullptr, *barBeat = nullptr,
                   *bar = nullptr, *beatsPerBar = nullptr, *beatUnit = nullptr;
    lv2_atom_object_get(object, mURIDs.timeBPM, &bpm, mURIDs.timeSpeed, &speed,
                        mURIDs.timeFrame, &frame, mURIDs.timeBarBeat, &barBeat, mURIDs.timeBar,
                        &bar, mURIDs.timeBeatsPerBar, &beatsPerBar, mURIDs.timeBeatUnit,
                        &beatUnit, 0);
    double value = 0.0;
    if (number(bpm, value) && value > 0.0)
      info.mTempo = value;
    if (number(speed, value))
      info.mTransportIsRunning = value != 0.0;
    if (number(frame, value))
      info.mSamplePos = value;
    if (number(beatsPerBar, value) && value >= 1.0)
      info.mNumerator = static_cast<int>(value);
    if (number(beatUnit, value) && value >= 1.0)
      info.mDenominator = static_cast<int>(value);
    double barIndex = 0.0, beatInBar = 0.0;
    if (number(bar, barIndex) && number(barBeat, beatInBar))
    {
      const double quartersPerBeat = 4.0 / std::max(info.mDenominator, 1);
      info.mLastBar = barIndex * info.mNumerator * quartersPerBeat;
      info.mPPQPos = info.mLastBar + beatInBar * quartersPerBeat;
    }
  }
  SetTransportInfo(info);
}

void IEffectLV2::AdvanceTransport(uint32_t nFrames)
{
  const ITransportInfo& current = GetTransportInfo();
  if (!current.mTransportIsRunning)
    return;
  ITransportInfo info = current;
  if (info.mSamplePos >= 0.0)
    info.mSamplePos += nFrames;
  if (info.mPPQPos >= 0.0)
    info.mPPQPos += nFrames * info.mTempo / (60.0 * GetSampleRate());
  SetTransportInfo(info);
}

// ---------------------------------------------------------------------------------------------
// Audio

void IEffectLV2::HostRun(uint32_t nFrames)
{
  ReadControlPorts();
  ReadTransport(nFrames);

  IMidiMsg msg;
  while (MidiMsgsFromEditor().Pop(msg))
    ProcessMidiMsg(msg);

  mBypassPeakIn = 0.f;
  mBypassPeakOut = 0.f;
  bool bypassedThroughout = true;

  const int blockSize = std::max(GetBlockSize(), 1);
  for (uint32_t done = 0; done < nFrames;)
  {
    const int n = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(blockSize), nFrames - done));
    for (int c = 0; c < 2; ++c)
    {
      mInputPointers[c] = mAudioIn[c] ? const_cast<float*>(mAudioIn[c]) + done : mSilence.data();
      mOutputPointers[c] = mAudioOut[c] ? mAudioOut[c] + done : mDiscard.data();
    }
    bypassedThroughout &= ProcessStretch(mInputPointers, mOutputPointers, n);
    AdvanceTransport(static_cast<uint32_t>(n));
    done += static_cast<uint32_t>(n);
  }

  if (nFrames > 0 && bypassedThroughout && mLiveInputDb && mLiveOutputDb)
  {
    // Bypassed throughout: what is heard is the bypass path, so the levels are its own.
    mLiveInputDb->store(LevelDb(mBypassPeakIn), std::memory_order_relaxed);
    mLiveOutputDb->store(LevelDb(mBypassPeakOut), std::memory_order_relaxed);
  }
  WriteOutputPorts();
}

bool IEffectLV2::ProcessStretch(const float* const* inputs, float* const* outputs, int nFrames)
{
  float* in[2] = {const_cast<float*>(inputs[0]), const_cast<float*>(inputs[1])};
  AttachBuffers(kRouteInput, 0, 2, in, nFrames);
  AttachBuffers(kRouteOutput, 0, 2, const_cast<float**>(outputs), nFrames);
  if (!ProcessBuffersWithBypass(nFrames))
    return false;
  mBypassPeakIn = PeakOf(in[0], nFrames, mBypassPeakIn);
  mBypassPeakOut = PeakOf(outputs[0], nFrames, mBypassPeakOut);
  return true;
}

void IEffectLV2::WriteOutputPorts()
{
  if (mLatencyPort)
    *mLatencyPort = static_cast<float>(GetLatency());
  if (mInputLevelPort)
    *mInputLevelPort = mLiveInputDb ? ClampLevel(mLiveInputDb->load(std::memory_order_relaxed)) : kLevelFloorDb;
  if (mOutputLevelPort)
    *mOutputLevelPort = mLiveOutputDb ? ClampLevel(mLiveOutputDb->load(std::memory_order_relaxed)) : kLevelFloorDb;
  if (mTempoPort)
    *mTempoPort = mLiveTempo ? mLiveTempo->load(std::memory_order_relaxed)
                             : static_cast<float>(GetTempo());
}

// ---------------------------------------------------------------------------------------------
// State

LV2_State_Status IEffectLV2::HostSaveState(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  if (!mMap || !store)
    return LV2_STATE_ERR_NO_FEATURE;
  // What is saved is what the host shows: a port the host moved since run() last looked (the
  // engine stopped, the plug-in deactivated) is the value, not the one run() would replace.
  IByteChunk chunk;
  for (int i = 0; i < NParams(); ++i)
  {
    double value = GetParam(i)->Value();
    if (i < static_cast<int>(kPortNumParams) && mParamPorts[i])
    {
      const float port = *mParamPorts[i];
      if (std::isfinite(port) && !(port == mLastSeen[i].load(std::memory_order_relaxed)))
        value = GetParam(i)->ConstrainValue(port);
    }
    chunk.Put(&value);
  }
  if (chunk.Size() == 0)
    return LV2_STATE_ERR_UNKNOWN;
  return store(handle, mURIDs.stateKey, chunk.GetData(), static_cast<size_t>(chunk.Size()),
               mURIDs.atomChunk, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IEffectLV2::HostRestoreState(LV2_State_Retrieve_Function retrieve,
                                              LV2_State_Handle handle)
{
  if (!mMap || !retrieve)
    return LV2_STATE_ERR_NO_FEATURE;
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* data = retrieve(handle, mURIDs.stateKey, &size, &type, &flags);
  if (!data)
    return LV2_STATE_ERR_NO_PROPERTY;
  if (type != mURIDs.atomChunk)
    return LV2_STATE_ERR_BAD_TYPE;
  // Only a complete chunk is applied: a short one changes nothing.
  if (size < static_cast<size_t>(NParams()) * sizeof(double) || size > (1u << 20))
    return LV2_STATE_ERR_UNKNOWN;
  const IByteChunk chunk(data, static_cast<int>(size));
  if (UnserializeState(chunk, 0) < 1)
    return LV2_STATE_ERR_UNKNOWN;
  // The host restores its ports along with this chunk, some before it, some after it, and some
  // not at all when they hold their defaults already; what it shows is what must play. So every
  // port counts as moved: the connected ones are taken now, over the chunk, and any the host
  // sets or connects later are taken by the next run(). The editor only redraws; nothing is
  // written back to the ports.
  for (auto& seen : mLastSeen)
    seen.store(std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed);
  ReadParamPorts();
  IEditorDelegate::OnRestoreState();
  return LV2_STATE_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// The descriptor

namespace {

IEffectLV2* Plugin(LV2_Handle handle)
{
  return static_cast<IEffectLV2*>(handle);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features)
{
  try
  {
    IEffectLV2* plugin = MakeLV2Instance();
    if (!plugin)
      return nullptr;
    plugin->PruneUninitializedPresets();
    plugin->HostInstantiate(sampleRate, features);
    return static_cast<LV2_Handle>(plugin);
  }
  catch (...)
  {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data)
{
  Plugin(handle)->HostConnectPort(port, data);
}

void Activate(LV2_Handle handle)
{
  Plugin(handle)->HostActivate();
}

void Run(LV2_Handle handle, uint32_t nFrames)
{
  Plugin(handle)->HostRun(nFrames);
}

void Deactivate(LV2_Handle handle)
{
  Plugin(handle)->HostDeactivate();
}

void Cleanup(LV2_Handle handle)
{
  delete Plugin(handle);
}

LV2_State_Status SaveState(LV2_Handle handle, LV2_State_Store_Function store,
                           LV2_State_Handle stateHandle, uint32_t, const LV2_Feature* const*)
{
  try
  {
    return Plugin(handle)->HostSaveState(store, stateHandle);
  }
  catch (...)
  {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status RestoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle stateHandle, uint32_t, const LV2_Feature* const*)
{
  try
  {
    return Plugin(handle)->HostRestoreState(retrieve, stateHandle);
  }
  catch (...)
  {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

IEffectLV2* PluginFromHandle(void* handle)
{
  return static_cast<IEffectLV2*>(handle);
}

const void* ExtensionData(const char* uri)
{
  static const LV2_State_Interface state = {SaveState, RestoreState};
  static const InstanceAccess access = {PluginFromHandle};
  if (!std::strcmp(uri, LV2_STATE__interface))
    return &state;
  if (!std::strcmp(uri, kInstanceURI))
    return &access;
  return nullptr;
}

} // namespace

const LV2_Descriptor* IEffectLV2::Descriptor()
{
  static const LV2_Descriptor descriptor = {kPluginURI, Instantiate, ConnectPort, Activate, Run,
                                            Deactivate, Cleanup, ExtensionData};
  return &descriptor;
}

} // namespace umbra
