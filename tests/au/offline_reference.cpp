// Plays the test input through the plug-in's in-process (offline) build, as the comparison tests'
// second host: the AudioUnit build must produce the same samples. It runs as a program of its
// own because the two builds of the plug-in cannot share one.
//
//   au_offline_reference OUT --rate HZ --block FRAMES --frames N [--preset INDEX] [--bypass]
//                        [--set FRAME:PARAM=VALUE]...
//
// OUT receives the two output channels one after the other as 32-bit floats. A --set applies a
// host automation value (in the parameter's units, as a 32-bit float) before frame FRAME.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AUTestSignal.h"
#include "Umbravox.h"

using namespace umbra;

namespace {

struct Change {
  int param;
  float value;
};

} // namespace

int main(int argc, char** argv)
{
  if (argc < 2)
    return 2;
  const char* outPath = argv[1];
  double rate = 48000.0;
  int block = 512, frames = 0, preset = -1;
  bool bypass = false;
  std::multimap<int, Change> changes;
  for (int i = 2; i < argc; ++i)
  {
    const std::string arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--rate") { rate = std::atof(next); ++i; }
    else if (arg == "--block") { block = std::atoi(next); ++i; }
    else if (arg == "--frames") { frames = std::atoi(next); ++i; }
    else if (arg == "--preset") { preset = std::atoi(next); ++i; }
    else if (arg == "--bypass") { bypass = true; }
    else if (arg == "--set")
    {
      int frame = 0, param = 0;
      float value = 0.f;
      if (std::sscanf(next, "%d:%d=%f", &frame, &param, &value) != 3)
        return 2;
      changes.insert({frame, {param, value}});
      ++i;
    }
    else return 2;
  }

  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->PruneUninitializedPresets();
  plug->HostSetSampleRate(rate);
  plug->HostSetBlockSize(block);
  plug->HostInitialize();
  if (preset >= 0)
    plug->RestorePreset(preset);
  plug->HostSetBypass(bypass);

  const auto input = test::MakeTestInput(frames, rate);
  std::vector<std::vector<float>> output(2, std::vector<float>(static_cast<size_t>(frames)));
  for (int done = 0; done < frames;)
  {
    for (auto [it, end] = changes.equal_range(done); it != end; ++it)
      plug->HostSetParameter(it->second.param, static_cast<double>(it->second.value));
    auto nextChange = changes.upper_bound(done);
    int n = std::min(block, frames - done);
    if (nextChange != changes.end())
      n = std::min(n, nextChange->first - done);
    const float* in[2] = {input[0].data() + done, input[1].data() + done};
    float* out[2] = {output[0].data() + done, output[1].data() + done};
    plug->HostProcess(in, out, n);
    done += n;
  }

  FILE* file = std::fopen(outPath, "wb");
  if (!file)
    return 1;
  for (const auto& channel : output)
    std::fwrite(channel.data(), sizeof(float), channel.size(), file);
  return std::fclose(file) == 0 ? 0 : 1;
}
