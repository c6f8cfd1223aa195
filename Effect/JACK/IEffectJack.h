#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <jack/jack.h>

#include "../IEffectAPIBase.h"
#include "../IEffectProcessor.h"
#include "JackMidiMap.h"

namespace umbra {

// The JACK wrapper: the plug-in as a JACK client of its own, with stereo audio ports in_1, in_2,
// out_1 and out_2 and a MIDI input midi_in, whose events act through the MIDI map at their frame. It makes the calls a host makes on the plug-in core, in the usual order:
// sample rate and block size from the server, initialise and reset before the client goes
// live, attach buffers and process once per cycle, hand the state chunk out and back.
//
// Threads: the process callback runs the plug-in and nothing else (no allocation, lock or system
// call). The buffer-size and sample-rate callbacks reset the plug-in as a host does when those
// change; JACK makes them while no cycle runs. Everything else (the editor, the plug-in's timer,
// state) belongs to the thread that opened the client.
class IEffectJack : public IEffectAPIBase, public IEffectProcessor {
public:
  IEffectJack(const Config& config, const InstanceInfo& info);
  ~IEffectJack() override;

  // Connects to the running server (never starts one) as clientName, registers the ports, sets
  // the plug-in up for the server's rate and period and initialises it. False with a one-line
  // reason; NoServer() then tells whether there was no server to connect to.
  bool HostOpen(const std::string& clientName, std::string& error);
  // The client goes live: the process callback runs from now on.
  bool HostActivate(std::string& error);
  // Wires the first two physical capture ports to the inputs and the outputs to the first two
  // physical playback ports. False with the reason when any connection failed.
  bool HostConnectPhysical(std::string& error);
  // Leaves the server (deactivating first); safe to call more than once.
  void HostClose();

  // What survives a server that goes away: the connections of our ports, noted whenever they
  // changed (main thread, while the server runs), and a reopen under the name the server gave,
  // with the same ports, re-prepared for the new server's rate and period, and wired as before.
  // A connection whose other port does not exist (yet) is left out; the error says which.
  void RememberConnections();
  bool HostReopen(std::string& error);

  bool NoServer() const { return mNoServer; }
  jack_client_t* Client() const { return mClient; }
  // The name the server gave the client (it may differ from the one asked for).
  std::string ClientName() const;

  // What the server did meanwhile, for the main thread.
  bool ServerShutDown() const { return mShutDown.load(); }
  std::string ShutdownReason() const; // valid once ServerShutDown()
  long XrunCount() const { return mXruns.load(); }
  // The frame time of the first cycle the plug-in processed, once there was one.
  bool HasProcessed() const { return mProcessed.load(); }
  jack_nframes_t FirstCycleFrame() const { return mFirstCycleFrame.load(); }

  // The state chunk, out and back, as a host hands it with its project (main thread).
  bool HostGetState(IByteChunk& chunk) const { return SerializeState(chunk); }
  bool HostSetState(const IByteChunk& chunk);

  // The process callback given to JACK, public so the real-time proof can run it on a client
  // that is not active.
  static int ProcessCallback(jack_nframes_t nFrames, void* arg);

  // Wrapper side of the plug-in.
  bool SendMidiMsg(const IMidiMsg& msg) override { (void)msg; return false; }
  void SetLatency(int samples) override;
  // Whether the ports' latency ranges carry the plug-in's latency (the default). A program that
  // lets part of the sound through undelayed turns it off, so that the graph is told of the path
  // a listener hears first rather than of the late one.
  void SetLatencyOnPorts(bool carried);

  const InstanceInfo& GetInstanceInfo() const { return mInstanceInfo; }

  // What MIDI input does; set up on the main thread before the client goes live.
  JackMidiMap& Midi() { return mMidi; }

private:
  static int BufferSizeCallback(jack_nframes_t nFrames, void* arg);
  static int SampleRateCallback(jack_nframes_t rate, void* arg);
  static void LatencyCallback(jack_latency_callback_mode_t mode, void* arg);
  static int XrunCallback(void* arg);
  static void ShutdownCallback(jack_status_t code, const char* reason, void* arg);
  static void PortConnectCallback(jack_port_id_t a, jack_port_id_t b, int connect, void* arg);

  void RunCycle(jack_nframes_t nFrames);
  void ProcessSpan(float* const* inputs, float* const* outputs, int start, int count);
  void ReadTransport();
  void ReportLatency(jack_latency_callback_mode_t mode);

  static constexpr int kChannels = 2;

  InstanceInfo mInstanceInfo;
  jack_client_t* mClient = nullptr;
  jack_port_t* mInputPorts[kChannels] = {nullptr, nullptr};
  jack_port_t* mOutputPorts[kChannels] = {nullptr, nullptr};
  jack_port_t* mMidiPort = nullptr;
  JackMidiMap mMidi;
  float* mInputPointers[kChannels] = {nullptr, nullptr};
  float* mOutputPointers[kChannels] = {nullptr, nullptr};
  std::string mGivenName;
  // Our port's short name and the full name of the port at the other end.
  std::vector<std::pair<std::string, std::string>> mConnections;
  std::atomic<bool> mConnectionsChanged{false};
  bool mNoServer = false;
  bool mActive = false;
  bool mInitialized = false;

  std::atomic<int> mReportedLatency{0};
  std::atomic<bool> mLatencyOnPorts{true};
  std::atomic<bool> mShutDown{false};
  char mShutdownReason[256] = {};
  std::atomic<long> mXruns{0};
  std::atomic<bool> mProcessed{false};
  std::atomic<jack_nframes_t> mFirstCycleFrame{0};
};

} // namespace umbra
