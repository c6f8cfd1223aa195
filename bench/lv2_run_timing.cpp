// Times LV2 plug-ins as a host's audio thread sees them: each plug-in loaded by lilv from the
// installed or built bundles, fed the demo phrase at 48 kHz stereo in fixed blocks, and only its
// run() timed, call by call. Several plug-ins are measured in turns within one run, so they share
// the machine's state. For each plug-in and block size it prints the speed in multiples of real
// time and the mean, 99.9th-percentile and worst call as a share of the block's deadline.
//
//   umbravox_bench_lv2 [--seconds S] [--blocks 64,128,512] [--rounds N] URI[#preset-label] ...
//
// Beside them runs a control: a fixed arithmetic loop as long as the first plug-in's mean call,
// timed the same way. Whatever its 99.9th percentile and worst call show beyond its mean is the
// machine's (interrupts, the hypervisor), not any plug-in's.
//
// A preset (an lv2:Preset of the plug-in, by its label) is applied through lilv's state API
// before activation. Control inputs not set by it keep their defaults. Work a plug-in schedules
// (LV2 worker) is done at once, outside the timed call when it is scheduled from run(): after it
// returns, before the next.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "DemoInput.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kMaxBlock = 4096;

class UridMap {
public:
  LV2_URID Map(const char* uri)
  {
    auto [it, added] = mIds.try_emplace(uri, static_cast<LV2_URID>(mIds.size() + 1));
    return it->second;
  }
  LV2_URID_Map* Feature()
  {
    mMap.handle = this;
    mMap.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->Map(uri); };
    return &mMap;
  }

private:
  std::map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap{};
};

struct Figures {
  double seconds = 0.0; // of run() in all
  long frames = 0;
  std::vector<double> calls; // each call's share of its deadline
};

class TimedPlugin {
public:
  TimedPlugin(LilvWorld* world, const std::string& spec, UridMap& urids)
    : mName(spec)
  {
    std::string uri = spec, presetLabel;
    if (const auto hash = spec.find("#preset:"); hash != std::string::npos)
    {
      uri = spec.substr(0, hash);
      presetLabel = spec.substr(hash + 8);
    }
    LilvNode* uriNode = lilv_new_uri(world, uri.c_str());
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world);
    mPlugin = lilv_plugins_get_by_uri(plugins, uriNode);
    lilv_node_free(uriNode);
    if (!mPlugin)
      throw std::runtime_error("no LV2 plug-in " + uri);

    mMaxBlock = kMaxBlock;
    mRate = static_cast<float>(kRate);
    const LV2_URID intType = urids.Map(LV2_ATOM__Int), floatType = urids.Map(LV2_ATOM__Float);
    mOptions = {
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType, &mMaxBlock},
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType, &mMaxBlock},
      {LV2_OPTIONS_INSTANCE, 0, urids.Map("http://lv2plug.in/ns/ext/parameters#sampleRate"), sizeof(float), floatType, &mRate},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    mMapFeature = {LV2_URID__map, urids.Feature()};
    mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
    mBoundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    mSchedule = {this, &TimedPlugin::ScheduleWork};
    mWorkerFeature = {LV2_WORKER__schedule, &mSchedule};
    const LV2_Feature* features[] = {&mMapFeature, &mOptionsFeature, &mBoundedFeature, &mWorkerFeature, nullptr};
    mInstance = lilv_plugin_instantiate(mPlugin, kRate, features);
    if (!mInstance)
      throw std::runtime_error("could not instantiate " + uri);
    mWorker = static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_WORKER__interface));

    LilvNode* audio = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
    LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
    LilvNode* input = lilv_new_uri(world, LILV_URI_INPUT_PORT);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    const uint32_t nPorts = lilv_plugin_get_num_ports(mPlugin);
    mControls.assign(nPorts, 0.f);
    std::vector<float> defaults(nPorts, 0.f);
    lilv_plugin_get_port_ranges_float(mPlugin, nullptr, nullptr, defaults.data());
    for (uint32_t p = 0; p < nPorts; ++p)
    {
      const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, p);
      const bool isInput = lilv_port_is_a(mPlugin, port, input);
      if (lilv_port_is_a(mPlugin, port, audio))
      {
        mAudio.emplace_back(kMaxBlock, 0.f);
        lilv_instance_connect_port(mInstance, p, mAudio.back().data());
        (isInput ? mAudioIn : mAudioOut).push_back(mAudio.size() - 1);
      }
      else if (lilv_port_is_a(mPlugin, port, control))
      {
        mControls[p] = std::isnan(defaults[p]) ? 0.f : defaults[p];
        lilv_instance_connect_port(mInstance, p, &mControls[p]);
        const LilvNode* symbol = lilv_port_get_symbol(mPlugin, port);
        mSymbols[lilv_node_as_string(symbol)] = p;
      }
      else if (lilv_port_is_a(mPlugin, port, atom))
      {
        mAtoms.emplace_back(8192 / sizeof(uint64_t), 0);
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(mAtoms.back().data());
        sequence->atom.type = urids.Map(LV2_ATOM__Sequence);
        sequence->atom.size = isInput ? sizeof(LV2_Atom_Sequence_Body) : 8192 - sizeof(LV2_Atom);
        mAtomIsInput.push_back(isInput);
        mAtomType = sequence->atom.type;
        mChunkType = urids.Map(LV2_ATOM__Chunk);
        lilv_instance_connect_port(mInstance, p, sequence);
      }
      else
      {
        lilv_instance_connect_port(mInstance, p, nullptr);
      }
    }
    for (LilvNode* node : {audio, control, input, atom})
      lilv_node_free(node);

    mIntType = urids.Map(LV2_ATOM__Int);
    mLongType = urids.Map(LV2_ATOM__Long);
    mFloatType = urids.Map(LV2_ATOM__Float);
    mDoubleType = urids.Map(LV2_ATOM__Double);
    mBoolType = urids.Map(LV2_ATOM__Bool);
    if (!presetLabel.empty())
      ApplyPreset(world, urids, presetLabel);
    lilv_instance_activate(mInstance);
    DoScheduledWork();
  }

  ~TimedPlugin()
  {
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
  }

  const std::string& Name() const { return mName; }

  // Runs `frames` of the input through in blocks of `block`, timing each call.
  void Play(const std::vector<std::vector<float>>& input, int block, Figures& figures)
  {
    const int frames = static_cast<int>(input[0].size());
    const double deadline = block / kRate;
    for (int start = 0; start + block <= frames; start += block)
    {
      for (size_t i = 0; i < mAudioIn.size(); ++i)
        std::memcpy(mAudio[mAudioIn[i]].data(), input[i % 2].data() + start, sizeof(float) * static_cast<size_t>(block));
      ResetAtomPorts();
      const auto begin = std::chrono::steady_clock::now();
      lilv_instance_run(mInstance, static_cast<uint32_t>(block));
      const auto end = std::chrono::steady_clock::now();
      const double seconds = std::chrono::duration<double>(end - begin).count();
      figures.seconds += seconds;
      figures.frames += block;
      figures.calls.push_back(seconds / deadline);
      DoScheduledWork();
    }
  }

private:
  static LV2_Worker_Status ScheduleWork(LV2_Worker_Schedule_Handle self, uint32_t size, const void* data)
  {
    auto* plugin = static_cast<TimedPlugin*>(self);
    const auto* bytes = static_cast<const uint8_t*>(data);
    plugin->mWork.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
  }

  static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle self, uint32_t size, const void* data)
  {
    auto* plugin = static_cast<TimedPlugin*>(self);
    const auto* bytes = static_cast<const uint8_t*>(data);
    plugin->mResponses.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
  }

  void DoScheduledWork()
  {
    if (!mWorker)
      return;
    while (!mWork.empty())
    {
      const std::vector<uint8_t> work = std::move(mWork.front());
      mWork.erase(mWork.begin());
      mWorker->work(lilv_instance_get_handle(mInstance), &TimedPlugin::Respond, this,
                    static_cast<uint32_t>(work.size()), work.data());
    }
    for (const auto& response : mResponses)
      mWorker->work_response(lilv_instance_get_handle(mInstance), static_cast<uint32_t>(response.size()), response.data());
    mResponses.clear();
    if (mWorker->end_run)
      mWorker->end_run(lilv_instance_get_handle(mInstance));
  }

  void ResetAtomPorts()
  {
    for (size_t a = 0; a < mAtoms.size(); ++a)
    {
      auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(mAtoms[a].data());
      sequence->atom.type = mAtomIsInput[a] ? mAtomType : mChunkType;
      sequence->atom.size = mAtomIsInput[a] ? sizeof(LV2_Atom_Sequence_Body) : 8192 - sizeof(LV2_Atom);
    }
  }

  void ApplyPreset(LilvWorld* world, UridMap& urids, const std::string& label)
  {
    LilvNode* presetClass = lilv_new_uri(world, "http://lv2plug.in/ns/ext/presets#Preset");
    LilvNode* labelPredicate = lilv_new_uri(world, "http://www.w3.org/2000/01/rdf-schema#label");
    LilvNodes* presets = lilv_plugin_get_related(mPlugin, presetClass);
    bool applied = false;
    LILV_FOREACH (nodes, i, presets)
    {
      const LilvNode* preset = lilv_nodes_get(presets, i);
      lilv_world_load_resource(world, preset);
      LilvNodes* labels = lilv_world_find_nodes(world, preset, labelPredicate, nullptr);
      const bool match = labels && lilv_nodes_size(labels) > 0 && label == lilv_node_as_string(lilv_nodes_get_first(labels));
      lilv_nodes_free(labels);
      if (!match)
        continue;
      LilvState* state = lilv_state_new_from_world(world, urids.Feature(), preset);
      if (state)
      {
        lilv_state_restore(state, mInstance, &TimedPlugin::SetPortValue, this, 0, nullptr);
        lilv_state_free(state);
        applied = true;
      }
    }
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
    lilv_node_free(labelPredicate);
    if (!applied)
      throw std::runtime_error("no preset \"" + label + "\" for " + mName);
  }

  static void SetPortValue(const char* symbol, void* self, const void* value, uint32_t size, uint32_t type)
  {
    auto* plugin = static_cast<TimedPlugin*>(self);
    const auto it = plugin->mSymbols.find(symbol);
    if (it == plugin->mSymbols.end())
      return;
    // A preset's numbers come typed as they were written: 55 is an integer, 0.5 a float.
    float& control = plugin->mControls[it->second];
    if (type == plugin->mIntType && size == sizeof(int32_t))
      control = static_cast<float>(*static_cast<const int32_t*>(value));
    else if (type == plugin->mLongType && size == sizeof(int64_t))
      control = static_cast<float>(*static_cast<const int64_t*>(value));
    else if (type == plugin->mDoubleType && size == sizeof(double))
      control = static_cast<float>(*static_cast<const double*>(value));
    else if (type == plugin->mFloatType && size == sizeof(float))
      control = *static_cast<const float*>(value);
    else if (type == plugin->mBoolType && size == sizeof(int32_t))
      control = *static_cast<const int32_t*>(value) ? 1.f : 0.f;
  }

  std::string mName;
  const LilvPlugin* mPlugin = nullptr;
  LilvInstance* mInstance = nullptr;
  int32_t mMaxBlock;
  float mRate;
  std::vector<LV2_Options_Option> mOptions;
  LV2_Feature mMapFeature{}, mOptionsFeature{}, mBoundedFeature{}, mWorkerFeature{};
  LV2_Worker_Schedule mSchedule{};
  const LV2_Worker_Interface* mWorker = nullptr;
  std::vector<std::vector<uint8_t>> mWork, mResponses;
  std::vector<std::vector<float>> mAudio;
  std::vector<size_t> mAudioIn, mAudioOut;
  std::vector<float> mControls;
  std::map<std::string, uint32_t> mSymbols;
  std::vector<std::vector<uint64_t>> mAtoms;
  std::vector<bool> mAtomIsInput;
  LV2_URID mAtomType = 0, mChunkType = 0;
  LV2_URID mIntType = 0, mLongType = 0, mFloatType = 0, mDoubleType = 0, mBoolType = 0;
};

// The control: `iterations` of a dependent multiply-add chain per call, as many calls as the
// plug-ins made.
void PlayFixedWork(long iterations, int block, size_t calls, Figures& figures)
{
  const double deadline = block / kRate;
  volatile double sink = 0.0;
  for (size_t call = 0; call < calls; ++call)
  {
    const auto begin = std::chrono::steady_clock::now();
    double x = 1.0;
    for (long i = 0; i < iterations; ++i)
      x = x * 1.0000001 + 1e-9;
    sink = sink + x;
    const auto end = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - begin).count();
    figures.seconds += seconds;
    figures.frames += block;
    figures.calls.push_back(seconds / deadline);
  }
}

// Iterations of the control's loop that take about `seconds`.
long FixedWorkIterations(double seconds)
{
  Figures probe;
  PlayFixedWork(1000000, 64, 20, probe);
  const double perIteration = probe.seconds / (20.0 * 1000000.0);
  return std::max(1L, static_cast<long>(seconds / perIteration));
}

double Percentile(std::vector<double> values, double fraction)
{
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
  return values[index];
}

std::vector<int> ParseBlocks(const std::string& text)
{
  std::vector<int> blocks;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');)
    blocks.push_back(std::clamp(std::atoi(item.c_str()), 1, kMaxBlock));
  return blocks;
}

} // namespace

int main(int argc, char** argv)
{
  double seconds = 20.0;
  int rounds = 3;
  std::vector<int> blocks{64, 128, 512};
  std::vector<std::string> specs;
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc)
      seconds = std::atof(argv[++i]);
    else if (arg == "--blocks" && i + 1 < argc)
      blocks = ParseBlocks(argv[++i]);
    else if (arg == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else
      specs.push_back(arg);
  }
  if (specs.empty())
  {
    std::fprintf(stderr, "usage: %s [--seconds S] [--blocks 64,128,512] [--rounds N] URI[#preset:LABEL] ...\n", argv[0]);
    return 2;
  }

  // The demo phrase, repeated to the length asked for.
  const auto demo = umbra::demo::SynthesizeDemoInput(kRate);
  const size_t frames = static_cast<size_t>(seconds * kRate / rounds);
  std::vector<std::vector<float>> input(2, std::vector<float>(frames));
  for (int c = 0; c < 2; ++c)
    for (size_t s = 0; s < frames; ++s)
      input[c][s] = static_cast<float>(demo[c][s % demo[c].size()]);

  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  UridMap urids;
  int status = 0;
  try
  {
    std::printf("%-44s %6s %9s %9s %9s %9s\n", "plug-in", "block", "xRT", "mean %", "p99.9 %", "worst %");
    for (int block : blocks)
    {
      std::vector<std::unique_ptr<TimedPlugin>> plugins;
      for (const auto& spec : specs)
        plugins.push_back(std::make_unique<TimedPlugin>(world, spec, urids));
      std::vector<Figures> figures(plugins.size());
      // In turns, so that a slower or busier stretch of the machine falls on all of them.
      Figures control;
      long iterations = 0;
      for (int round = 0; round < rounds; ++round)
      {
        for (size_t p = 0; p < plugins.size(); ++p)
          plugins[p]->Play(input, block, figures[p]);
        if (round == 0)
          iterations = FixedWorkIterations(figures[0].seconds / static_cast<double>(figures[0].calls.size()));
        PlayFixedWork(iterations, block, input[0].size() / static_cast<size_t>(block), control);
      }
      auto print = [block](const std::string& name, const Figures& f) {
        double sum = 0.0;
        for (double share : f.calls)
          sum += share;
        std::printf("%-44s %6d %9.1f %9.2f %9.2f %9.2f\n", name.c_str(), block,
                    (f.frames / kRate) / f.seconds, 100.0 * sum / static_cast<double>(f.calls.size()),
                    100.0 * Percentile(f.calls, 0.999), 100.0 * Percentile(f.calls, 1.0));
      };
      for (size_t p = 0; p < plugins.size(); ++p)
        print(plugins[p]->Name(), figures[p]);
      print("(control: fixed work as long as the first)", control);
    }
  }
  catch (const std::exception& e)
  {
    std::fprintf(stderr, "umbravox_bench_lv2: %s\n", e.what());
    status = 1;
  }
  lilv_world_free(world);
  return status;
}
