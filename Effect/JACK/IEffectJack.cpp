#include "IEffectJack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <jack/midiport.h>

namespace umbra {

namespace {

const char* const kInputNames[] = {"in_1", "in_2"};
const char* const kOutputNames[] = {"out_1", "out_2"};

// The JACK library prints what goes wrong (a missing server, a refused connection) on stderr in
// several lines of its own; the program says what matters in one line instead.
void Quiet(const char*) {}

} // namespace

IEffectJack::IEffectJack(const Config& config, const InstanceInfo& info)
  : IEffectAPIBase(config), IEffectProcessor(config), mInstanceInfo(info)
{
  SetChannelConnections(kRouteInput, 0, MaxNChannels(kRouteInput), false);
  SetChannelConnections(kRouteOutput, 0, MaxNChannels(kRouteOutput), false);
  SetChannelConnections(kRouteInput, 0, kChannels, true);
  SetChannelConnections(kRouteOutput, 0, kChannels, true);
  InitLatencyDelay();
}

IEffectJack::~IEffectJack()
{
  HostClose();
}

bool IEffectJack::HostOpen(const std::string& clientName, std::string& error)
{
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  // Said plainly here: the server's own answer to a long name is a bare status number.
  const size_t longest = static_cast<size_t>(jack_client_name_size() - 1);
  if (clientName.size() > longest)
  {
    error = "the client name '" + clientName + "' is longer than JACK allows (" + std::to_string(longest) +
            " characters at most)";
    return false;
  }
  jack_status_t status{};
  // A reopen after the server went away starts afresh on the new server.
  mShutDown.store(false);
  std::memset(mShutdownReason, 0, sizeof(mShutdownReason));
  mProcessed.store(false);
  mClient = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (!mClient)
  {
    mNoServer = (status & JackServerFailed) != 0;
    if (mNoServer)
      error = "no JACK server is running (start one first, e.g. with qjackctl, or use PipeWire's JACK)";
    else if (status & JackInvalidOption)
      error = "the JACK server refused the client name '" + clientName + "'";
    else
      error = "cannot connect to the JACK server (status " + std::to_string(static_cast<int>(status)) + ")";
    return false;
  }

  for (int c = 0; c < kChannels; ++c)
  {
    mInputPorts[c] = jack_port_register(mClient, kInputNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    mOutputPorts[c] = jack_port_register(mClient, kOutputNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (!mInputPorts[c] || !mOutputPorts[c])
    {
      error = "the JACK server refused to register the audio ports";
      HostClose();
      return false;
    }
  }
  mMidiPort = jack_port_register(mClient, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (!mMidiPort)
  {
    error = "the JACK server refused to register the MIDI port";
    HostClose();
    return false;
  }

  // As a host prepares a plug-in: sample rate and block size, then initialise and reset.
  SetSampleRate(static_cast<double>(jack_get_sample_rate(mClient)));
  SetBlockSize(static_cast<int>(jack_get_buffer_size(mClient)));
  OnActivate(true);
  mInitialized = true;
  ZeroScratchBuffers();
  OnReset();

  // The rate and period the plug-in was prepared for are the server's, so a callback that JACK
  // makes at once with the same values changes nothing.
  jack_set_process_callback(mClient, ProcessCallback, this);
  jack_set_buffer_size_callback(mClient, BufferSizeCallback, this);
  jack_set_sample_rate_callback(mClient, SampleRateCallback, this);
  jack_set_latency_callback(mClient, LatencyCallback, this);
  jack_set_xrun_callback(mClient, XrunCallback, this);
  jack_on_info_shutdown(mClient, ShutdownCallback, this);
  jack_set_port_connect_callback(mClient, PortConnectCallback, this);
  mGivenName = jack_get_client_name(mClient);
  return true;
}

bool IEffectJack::HostActivate(std::string& error)
{
  if (!mClient)
  {
    error = "not connected to a JACK server";
    return false;
  }
  if (jack_activate(mClient) != 0)
  {
    error = "the JACK server refused to activate the client";
    return false;
  }
  mActive = true;
  return true;
}

bool IEffectJack::HostConnectPhysical(std::string& error)
{
  if (!mClient || !mActive)
  {
    error = "not running on a JACK server";
    return false;
  }
  const char** capture =
    jack_get_ports(mClient, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput);
  const char** playback =
    jack_get_ports(mClient, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);

  std::string failed;
  auto connect = [&](const char* from, const char* to) {
    const int result = jack_connect(mClient, from, to);
    if (result != 0 && result != EEXIST)
      failed += (failed.empty() ? "" : ", ") + std::string(from) + " -> " + to;
  };
  // A single capture port (one microphone) feeds both inputs.
  if (capture && capture[0])
    for (int c = 0; c < kChannels; ++c)
      connect(capture[c == 1 && capture[1] ? 1 : 0], jack_port_name(mInputPorts[c]));
  for (int c = 0; c < kChannels && playback && playback[c]; ++c)
    connect(jack_port_name(mOutputPorts[c]), playback[c]);

  const bool haveCapture = capture && capture[0];
  const bool havePlayback = playback && playback[0];
  jack_free(capture);
  jack_free(playback);
  if (!haveCapture || !havePlayback)
    error = std::string("the JACK server has no physical ") + (!haveCapture ? "capture" : "playback") + " ports to connect";
  else if (!failed.empty())
    error = "cannot connect " + failed;
  return error.empty();
}

void IEffectJack::HostClose()
{
  if (!mClient)
    return;
  // After a shutdown the client is gone on the server's side; closing only frees ours.
  if (mActive && !mShutDown.load())
    jack_deactivate(mClient);
  mActive = false;
  jack_client_close(mClient);
  mClient = nullptr;
  if (mInitialized)
  {
    mInitialized = false;
    OnActivate(false);
  }
}

void IEffectJack::RememberConnections()
{
  if (!mClient || !mActive || mShutDown.load() || !mConnectionsChanged.exchange(false))
    return;
  mConnections.clear();
  for (jack_port_t* port : {mInputPorts[0], mInputPorts[1], mOutputPorts[0], mOutputPorts[1], mMidiPort})
  {
    const char** others = jack_port_get_connections(port);
    for (int i = 0; others && others[i]; ++i)
      mConnections.emplace_back(jack_port_short_name(port), others[i]);
    jack_free(others);
  }
}

bool IEffectJack::HostReopen(std::string& error)
{
  const std::string name = mGivenName;
  const auto connections = mConnections;
  HostClose();
  if (!HostOpen(name, error) || !HostActivate(error))
  {
    HostClose();
    return false;
  }
  std::string failed;
  for (const auto& [ours, other] : connections)
  {
    const std::string full = mGivenName + ":" + ours;
    const bool output = ours.rfind("out_", 0) == 0;
    const int result = output ? jack_connect(mClient, full.c_str(), other.c_str())
                              : jack_connect(mClient, other.c_str(), full.c_str());
    if (result != 0 && result != EEXIST)
      failed += (failed.empty() ? "" : ", ") + (output ? full + " -> " + other : other + " -> " + full);
  }
  mConnections = connections;
  if (!failed.empty())
    error = "cannot connect " + failed;
  return true;
}

std::string IEffectJack::ClientName() const
{
  return mClient ? std::string(jack_get_client_name(mClient)) : std::string();
}

std::string IEffectJack::ShutdownReason() const
{
  return mShutDown.load() ? std::string(mShutdownReason) : std::string();
}

bool IEffectJack::HostSetState(const IByteChunk& chunk)
{
  const int pos = UnserializeState(chunk, 0);
  OnRestoreState();
  return pos > 0;
}

void IEffectJack::SetLatency(int samples)
{
  IEffectProcessor::SetLatency(samples);
  // The ports' ranges follow at the server's next latency pass; it is asked for one only when
  // the latency really changed.
  if (mReportedLatency.exchange(samples) != samples && mActive)
    jack_recompute_total_latencies(mClient);
}

void IEffectJack::SetLatencyOnPorts(bool carried)
{
  if (mLatencyOnPorts.exchange(carried) != carried && mActive)
    jack_recompute_total_latencies(mClient);
}

int IEffectJack::ProcessCallback(jack_nframes_t nFrames, void* arg)
{
  static_cast<IEffectJack*>(arg)->RunCycle(nFrames);
  return 0;
}

void IEffectJack::RunCycle(jack_nframes_t nFrames)
{
  if (!mProcessed.load(std::memory_order_relaxed))
  {
    mFirstCycleFrame.store(jack_last_frame_time(mClient), std::memory_order_relaxed);
    mProcessed.store(true, std::memory_order_release);
  }
  ReadTransport();

  float* inputs[kChannels];
  float* outputs[kChannels];
  for (int c = 0; c < kChannels; ++c)
  {
    inputs[c] = static_cast<float*>(jack_port_get_buffer(mInputPorts[c], nFrames));
    outputs[c] = static_cast<float*>(jack_port_get_buffer(mOutputPorts[c], nFrames));
  }
  // The cycle is processed in spans between MIDI events, each event acting at its frame.
  void* midi = mMidiPort ? jack_port_get_buffer(mMidiPort, nFrames) : nullptr;
  const uint32_t nEvents = midi ? jack_midi_get_event_count(midi) : 0;
  const int total = static_cast<int>(nFrames);
  int done = 0;
  for (uint32_t e = 0; e < nEvents; ++e)
  {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midi, e) != 0 || event.size < 2 || event.size > 3)
      continue;
    const int at = std::clamp(static_cast<int>(event.time), done, total);
    ProcessSpan(inputs, outputs, done, at - done);
    done = at;
    IMidiMsg msg;
    msg.mOffset = at;
    msg.mStatus = event.buffer[0];
    msg.mData1 = event.buffer[1];
    msg.mData2 = event.size == 3 ? event.buffer[2] : 0;
    mMidi.Apply(*this, msg);
  }
  ProcessSpan(inputs, outputs, done, total - done);
}

void IEffectJack::ProcessSpan(float* const* inputs, float* const* outputs, int start, int count)
{
  // JACK's cycle never exceeds the period the plug-in was prepared for; split anyway rather
  // than overrun a scratch buffer should a server ever differ.
  const int blockSize = std::max(GetBlockSize(), 1);
  for (int done = start; done < start + count;)
  {
    const int n = std::min(blockSize, start + count - done);
    for (int c = 0; c < kChannels; ++c)
    {
      mInputPointers[c] = inputs[c] + done;
      mOutputPointers[c] = outputs[c] + done;
    }
    AttachBuffers(kRouteInput, 0, kChannels, mInputPointers, n);
    AttachBuffers(kRouteOutput, 0, kChannels, mOutputPointers, n);
    ProcessBuffers(n);
    done += n;
  }
}

void IEffectJack::ReadTransport()
{
  jack_position_t pos;
  const jack_transport_state_t state = jack_transport_query(mClient, &pos);
  ITransportInfo info;
  info.mTransportIsRunning = state == JackTransportRolling;
  info.mSamplePos = static_cast<double>(pos.frame);
  // Only a timebase master gives a tempo; without one the plug-in keeps the default.
  if ((pos.valid & JackPositionBBT) && pos.beats_per_minute > 0.0 && pos.beat_type > 0.f &&
      pos.ticks_per_beat > 0.0)
  {
    info.mTempo = pos.beats_per_minute;
    info.mNumerator = static_cast<int>(pos.beats_per_bar);
    info.mDenominator = static_cast<int>(pos.beat_type);
    const double beatsPerQuarter = pos.beat_type / 4.0;
    const double barStart = (pos.bar - 1) * static_cast<double>(pos.beats_per_bar);
    const double beat = (pos.beat - 1) + pos.tick / pos.ticks_per_beat;
    info.mLastBar = barStart / beatsPerQuarter;
    info.mPPQPos = (barStart + beat) / beatsPerQuarter;
  }
  SetTransportInfo(info);
}

int IEffectJack::BufferSizeCallback(jack_nframes_t nFrames, void* arg)
{
  auto& self = *static_cast<IEffectJack*>(arg);
  if (static_cast<int>(nFrames) == self.GetBlockSize())
    return 0;
  self.SetBlockSize(static_cast<int>(nFrames));
  if (self.mInitialized)
  {
    self.ZeroScratchBuffers();
    self.OnReset();
  }
  return 0;
}

int IEffectJack::SampleRateCallback(jack_nframes_t rate, void* arg)
{
  auto& self = *static_cast<IEffectJack*>(arg);
  if (static_cast<double>(rate) == self.GetSampleRate())
    return 0;
  self.SetSampleRate(static_cast<double>(rate));
  if (self.mInitialized)
    self.OnReset();
  return 0;
}

void IEffectJack::LatencyCallback(jack_latency_callback_mode_t mode, void* arg)
{
  static_cast<IEffectJack*>(arg)->ReportLatency(mode);
}

void IEffectJack::ReportLatency(jack_latency_callback_mode_t mode)
{
  // Capture latency flows downstream: what reaches the inputs, plus the plug-in's own, is what
  // leaves the outputs. Playback latency flows upstream the same way.
  jack_port_t* const* from = mode == JackCaptureLatency ? mInputPorts : mOutputPorts;
  jack_port_t* const* to = mode == JackCaptureLatency ? mOutputPorts : mInputPorts;
  jack_latency_range_t range{~0u, 0u};
  for (int c = 0; c < kChannels; ++c)
  {
    jack_latency_range_t port{};
    jack_port_get_latency_range(from[c], mode, &port);
    range.min = std::min(range.min, port.min);
    range.max = std::max(range.max, port.max);
  }
  const auto own =
    static_cast<jack_nframes_t>(mLatencyOnPorts.load() ? std::max(mReportedLatency.load(), 0) : 0);
  range.min += own;
  range.max += own;
  for (int c = 0; c < kChannels; ++c)
    jack_port_set_latency_range(to[c], mode, &range);
}

void IEffectJack::PortConnectCallback(jack_port_id_t, jack_port_id_t, int, void* arg)
{
  static_cast<IEffectJack*>(arg)->mConnectionsChanged.store(true);
}

int IEffectJack::XrunCallback(void* arg)
{
  static_cast<IEffectJack*>(arg)->mXruns.fetch_add(1);
  return 0;
}

void IEffectJack::ShutdownCallback(jack_status_t, const char* reason, void* arg)
{
  auto& self = *static_cast<IEffectJack*>(arg);
  if (reason)
    std::strncpy(self.mShutdownReason, reason, sizeof(self.mShutdownReason) - 1);
  self.mShutDown.store(true);
}

} // namespace umbra
