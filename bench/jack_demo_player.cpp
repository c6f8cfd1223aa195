// Plays the demo phrase (the one `umbravox demo` renders) round and round into JACK, so that a
// host measured beside it has the same music going through the plug-in as the editor's picture
// in the README.
//
//   umbravox_jack_demo_player [CLIENT_NAME]      (default "demo"; ports out_l and out_r)
//
// The phrase is made at the server's rate before the client starts; the process callback only
// copies from it. Runs until SIGINT or SIGTERM.
#include <jack/jack.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "DemoInput.h"

namespace {

struct Player {
  std::vector<std::vector<float>> phrase;
  size_t position = 0;
  jack_port_t* out[2] = {nullptr, nullptr};
};

int Process(jack_nframes_t frames, void* arg)
{
  auto& player = *static_cast<Player*>(arg);
  float* out[2];
  for (int c = 0; c < 2; ++c)
    out[c] = static_cast<float*>(jack_port_get_buffer(player.out[c], frames));
  const size_t length = player.phrase[0].size();
  for (jack_nframes_t i = 0; i < frames; ++i) {
    for (int c = 0; c < 2; ++c)
      out[c][i] = player.phrase[static_cast<size_t>(c)][player.position];
    if (++player.position == length)
      player.position = 0;
  }
  return 0;
}

volatile std::sig_atomic_t gStop = 0;

void Stop(int) { gStop = 1; }

} // namespace

int main(int argc, char** argv)
{
  const std::string name = argc > 1 ? argv[1] : "demo";
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
  if (!client) {
    std::fprintf(stderr, "umbravox_jack_demo_player: no JACK server to play to\n");
    return 1;
  }
  Player player;
  player.phrase = umbra::demo::SynthesizeDemoInput(jack_get_sample_rate(client));
  player.out[0] = jack_port_register(client, "out_l", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  player.out[1] = jack_port_register(client, "out_r", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  if (!player.out[0] || !player.out[1] || player.phrase[0].empty() ||
      jack_set_process_callback(client, Process, &player) != 0 || jack_activate(client) != 0) {
    std::fprintf(stderr, "umbravox_jack_demo_player: cannot start the client\n");
    jack_client_close(client);
    return 1;
  }
  std::signal(SIGINT, Stop);
  std::signal(SIGTERM, Stop);
  while (!gStop)
    usleep(100000);
  jack_deactivate(client);
  jack_client_close(client);
  return 0;
}
