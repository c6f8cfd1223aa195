// The engine's speed at 48 kHz, stereo, as multiples of real time (seconds of audio per second of
// one core): the shipped engine beside the plain reference transcription (on kissfft) and beside
// the four 4096-point transforms per hop alone, the floor of this design. The shipped engine runs
// at blocks of 64, 128 and 512 frames, each call timed: besides the speed, the mean, the
// 99.9th-percentile and the worst call as a share of the block's real-time deadline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "DemoInput.h"
#include "ReferenceEngine.h"
#include "RealTransform.h"
#include "Umbravox.h"
#include "kiss_fftr.h"

using namespace umbra;

namespace {

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;

const std::vector<std::vector<double>>& DemoInput()
{
  static const std::vector<std::vector<double>> input = [] {
    const auto demo = demo::SynthesizeDemoInput(kRate);
    std::vector<std::vector<double>> channels(2);
    for (int c = 0; c < 2; ++c)
      channels[c].assign(demo[c].begin(), demo[c].end());
    return channels;
  }();
  return input;
}

// A tone that fades into silence and stays there, where subnormals would appear.
const std::vector<std::vector<double>>& FadeToSilence()
{
  static const std::vector<std::vector<double>> input = [] {
    const int frames = static_cast<int>(kRate * 8);
    std::vector<std::vector<double>> channels(2, std::vector<double>(static_cast<size_t>(frames), 0.0));
    for (int s = 0; s < frames; ++s)
    {
      const double fade = s < kRate ? 0.25 * std::exp(-s / (0.05 * kRate)) : 0.0;
      channels[0][s] = fade * std::sin(0.05 * s);
      channels[1][s] = fade * std::sin(0.031 * s);
    }
    return channels;
  }();
  return input;
}

void SetRealTimeCounters(benchmark::State& state, long frames)
{
  state.counters["xRT"] = benchmark::Counter(static_cast<double>(frames) / kRate, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(frames);
}

// Calls as a share of their deadline: mean, 99.9th percentile, worst, in per cent.
void SetDeadlineCounters(benchmark::State& state, std::vector<double>& shares)
{
  if (shares.empty())
    return;
  double sum = 0.0;
  for (double share : shares)
    sum += share;
  std::sort(shares.begin(), shares.end());
  const size_t p999 = std::min(shares.size() - 1, static_cast<size_t>(0.999 * static_cast<double>(shares.size())));
  state.counters["mean%"] = 100.0 * sum / static_cast<double>(shares.size());
  state.counters["p99.9%"] = 100.0 * shares[p999];
  state.counters["worst%"] = 100.0 * shares.back();
}

void ShippedEngine(benchmark::State& state, const char* preset, const std::vector<std::vector<double>>& input,
                   int block)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->HostSetSampleRate(kRate);
  plug->HostSetBlockSize(block);
  plug->HostInitialize();
  plug->RestorePreset(preset);
  const int frames = static_cast<int>(input[0].size());
  std::vector<double> out0(static_cast<size_t>(block)), out1(static_cast<size_t>(block));
  std::vector<double> shares;
  shares.reserve(1 << 20);
  const double deadline = block / kRate;
  long processed = 0;
  int pos = 0;
  for (auto _ : state)
  {
    double* in[2] = {const_cast<double*>(input[0].data()) + pos, const_cast<double*>(input[1].data()) + pos};
    double* out[2] = {out0.data(), out1.data()};
    const auto begin = std::chrono::steady_clock::now();
    plug->ProcessBlock(in, out, block);
    const auto end = std::chrono::steady_clock::now();
    if (shares.size() < shares.capacity())
      shares.push_back(std::chrono::duration<double>(end - begin).count() / deadline);
    benchmark::DoNotOptimize(out0.data());
    pos += block;
    if (pos + block > frames)
      pos = 0;
    processed += block;
  }
  SetRealTimeCounters(state, processed);
  SetDeadlineCounters(state, shares);
}

void ReferenceEngine(benchmark::State& state, const char* preset)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  plug->RestorePreset(preset);
  double params[kNumParams];
  for (int i = 0; i < kNumParams; ++i)
    params[i] = plug->GetParam(i)->Value();

  auto reference = std::make_unique<reference::RefBlockProcessor>();
  reference->OnReset();
  const auto& input = DemoInput();
  const int frames = static_cast<int>(input[0].size());
  std::vector<double> out0(kBlock), out1(kBlock);
  long processed = 0;
  int pos = 0;
  for (auto _ : state)
  {
    const double* in[2] = {input[0].data() + pos, input[1].data() + pos};
    double* out[2] = {out0.data(), out1.data()};
    reference->ProcessBlock(in, out, kBlock, params, 120.0, 2);
    benchmark::DoNotOptimize(out0.data());
    pos += kBlock;
    if (pos + kBlock > frames)
      pos = 0;
    processed += kBlock;
  }
  SetRealTimeCounters(state, processed);
}

// Two forward and two inverse 4096-point real transforms: what one hop of two channels costs
// before any bin is touched, on FFTW (the engine's) and on kissfft (the transcription's).
void TransformsOnly(benchmark::State& state)
{
  RealTransform transform(4096);
  for (int i = 0; i < 4096; ++i)
    transform.Time()[i] = static_cast<float>(std::sin(0.01 * i));
  long processed = 0;
  for (auto _ : state)
  {
    for (int c = 0; c < 2; ++c)
    {
      transform.Forward();
      transform.Inverse();
    }
    benchmark::DoNotOptimize(transform.Time());
    processed += kBlock;
  }
  SetRealTimeCounters(state, processed);
}

void KissTransformsOnly(benchmark::State& state)
{
  kiss_fftr_cfg forward = kiss_fftr_alloc(4096, 0, nullptr, nullptr);
  kiss_fftr_cfg inverse = kiss_fftr_alloc(4096, 1, nullptr, nullptr);
  std::vector<float> time(4096), back(4096);
  std::vector<kiss_fft_cpx> spectrum(2049);
  for (int i = 0; i < 4096; ++i)
    time[i] = static_cast<float>(std::sin(0.01 * i));
  long processed = 0;
  for (auto _ : state)
  {
    for (int c = 0; c < 2; ++c)
    {
      kiss_fftr(forward, time.data(), spectrum.data());
      kiss_fftri(inverse, spectrum.data(), back.data());
    }
    benchmark::DoNotOptimize(back.data());
    processed += kBlock;
  }
  SetRealTimeCounters(state, processed);
  kiss_fftr_free(forward);
  kiss_fftr_free(inverse);
}

std::string CpuModel()
{
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line))
    if (line.rfind("model name", 0) == 0)
      return line.substr(line.find(':') + 2);
  return "unknown";
}

} // namespace

int main(int argc, char** argv)
{
  benchmark::AddCustomContext("cpu_model", CpuModel());
  for (const char* preset : {"Init", "Ghost Choir", "Poltergeist"})
  {
    for (int block : {64, 128, 512})
      benchmark::RegisterBenchmark((std::string("Shipped/") + preset + "/" + std::to_string(block)).c_str(),
                                   [preset, block](benchmark::State& s) { ShippedEngine(s, preset, DemoInput(), block); });
    benchmark::RegisterBenchmark((std::string("Reference/") + preset).c_str(),
                                 [preset](benchmark::State& s) { ReferenceEngine(s, preset); });
  }
  benchmark::RegisterBenchmark("Shipped/Init fading to silence",
                               [](benchmark::State& s) { ShippedEngine(s, "Init", FadeToSilence(), kBlock); });
  benchmark::RegisterBenchmark("TransformsOnly/FFTW", TransformsOnly);
  benchmark::RegisterBenchmark("TransformsOnly/kissfft", KissTransformsOnly);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
