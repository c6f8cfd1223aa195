// Messaging between host, processor and editor: the lock-free queues, the main-thread timer, the
// host-to-editor and editor-to-host parameter paths, and the editor window's life.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestHelpers.h"
#include "Umbravox.h"

using namespace umbra;
using umbra::test::EditorLog;
using umbra::test::RecordingContext;
using umbra::test::SmallConfig;
using umbra::test::SmallPlug;

namespace {

using namespace std::chrono_literals;
using Clock = IEffectTimer::Clock;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The normalised "Init" values, in index order.
const std::vector<double> kInitNormalized = {0.5, 0.5, 0.75, 0.5, 0.5, 0.0, 0.5,
                                             0.8, 0.64, 0.0, 0.0, 0.5, 1.0};

std::string Num(double value) { return std::to_string(value); }

// Umbravox as the host and the editor see it, with every notification written to one log.
class ObservedPlug : public Umbravox {
public:
  explicit ObservedPlug(std::shared_ptr<std::vector<std::string>> events = std::make_shared<std::vector<std::string>>())
    : Umbravox(InstanceInfo{}), mEvents(std::move(events))
  {
  }

  void OnParamChange(int paramIdx, EParamSource source, int sampleOffset) override
  {
    mEvents->push_back("change " + std::to_string(paramIdx) + " " + std::to_string(source) + " " +
                       std::to_string(sampleOffset) + " v=" + Num(GetParam(paramIdx)->Value()));
    Umbravox::OnParamChange(paramIdx, source, sampleOffset);
  }
  void OnParamChange(int paramIdx) override
  {
    mEvents->push_back("change1 " + std::to_string(paramIdx));
  }
  void OnParamChangeUI(int paramIdx, EParamSource source) override
  {
    mEvents->push_back("changeUI " + std::to_string(paramIdx) + " " + std::to_string(source));
  }
  void OnIdle() override { ++mIdles; }
  void OnMidiMsgUI(const IMidiMsg& msg) override { mMidi.push_back(msg); }
  void OnSysexMsgUI(const ISysEx& msg) override { mSysEx.push_back(msg); }
  void OnUIClose() override
  {
    ++mUICloses;
    mEditorOpenAtClose = HasEditorOpen();
    if (mCloseFromInside)
      CloseWindow();
  }
  bool EditorResize(int width, int height) override
  {
    mEvents->push_back("editor resize " + std::to_string(width) + "x" + std::to_string(height));
    return mAcceptResize;
  }

  // Events of one kind ("changeUI 4 4" matches the prefix "changeUI 4 ").
  int Count(const std::string& prefix) const
  {
    int n = 0;
    for (const std::string& event : *mEvents)
      n += event.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  std::shared_ptr<std::vector<std::string>> mEvents;
  int mIdles = 0;
  int mUICloses = 0;
  bool mEditorOpenAtClose = false;
  bool mCloseFromInside = false;
  bool mAcceptResize = true;
  std::vector<IMidiMsg> mMidi;
  std::vector<ISysEx> mSysEx;
};

// What the host hears from the plug-in, written to the same log as the plug-in's own events.
struct LoggingListener : IOfflineHostListener {
  explicit LoggingListener(std::shared_ptr<std::vector<std::string>> events) : mEvents(std::move(events)) {}
  void OnBeginGesture(int paramIdx) override { mEvents->push_back("begin " + std::to_string(paramIdx)); }
  void OnParamChanged(int paramIdx, double normalized) override
  {
    mEvents->push_back("host " + std::to_string(paramIdx) + " " + Num(normalized));
  }
  void OnEndGesture(int paramIdx) override { mEvents->push_back("end " + std::to_string(paramIdx)); }
  void OnPresetChanged() override { mEvents->push_back("preset changed"); }
  std::shared_ptr<std::vector<std::string>> mEvents;
};

struct EditorSetup {
  std::shared_ptr<EditorLog> log = std::make_shared<EditorLog>();
  int layouts = 0;
  IEditorContext* laidOut = nullptr;
};

// Installs make-graphics and layout functions that build recording contexts.
void InstallEditor(ICanvasEditorDelegate& plug, EditorSetup& setup, int width = 1200, int height = 800)
{
  std::shared_ptr<EditorLog> log = setup.log;
  plug.SetMakeGraphicsFunc([log, width, height] { return std::make_unique<RecordingContext>(log, width, height); });
  plug.SetLayoutFunc([&setup](IEditorContext* context) {
    ++setup.layouts;
    setup.laidOut = context;
  });
}

bool Tick(IEffectAPIBase& plug) { return plug.PumpTimer(plug.GetTimer().NextDue()); }

} // namespace

// ---------------------------------------------------------------------------------------------
// The single-producer, single-consumer queue

TEST(Queue, CapacityAndTheFullRule)
{
  IEffectQueue<int> queue(4);
  EXPECT_EQ(queue.Capacity(), 4);
  EXPECT_EQ(queue.ElementsAvailable(), 0u);
  int item = -1;
  EXPECT_FALSE(queue.Pop(item));
  EXPECT_EQ(item, -1);

  for (int i = 1; i <= 4; ++i)
    EXPECT_TRUE(queue.Push(i));
  EXPECT_EQ(queue.ElementsAvailable(), 4u);
  EXPECT_FALSE(queue.Push(5)); // full: dropped
  EXPECT_EQ(queue.ElementsAvailable(), 4u);

  ASSERT_TRUE(queue.Pop(item));
  EXPECT_EQ(item, 1);
  EXPECT_TRUE(queue.Push(6));
  EXPECT_FALSE(queue.Push(7));

  std::vector<int> popped;
  while (queue.Pop(item))
    popped.push_back(item);
  EXPECT_EQ(popped, (std::vector<int>{2, 3, 4, 6}));
  EXPECT_EQ(queue.ElementsAvailable(), 0u);
}

TEST(Queue, WrapsAroundInOrder)
{
  IEffectQueue<int> queue(3);
  int next = 0, expected = 0;
  for (int round = 0; round < 200; ++round)
  {
    const int n = 1 + round % 3;
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(queue.Push(next++));
    ASSERT_EQ(queue.ElementsAvailable(), static_cast<size_t>(n));
    int item = -1;
    for (int i = 0; i < n; ++i)
    {
      ASSERT_TRUE(queue.Pop(item));
      ASSERT_EQ(item, expected++);
    }
    ASSERT_FALSE(queue.Pop(item));
  }
}

TEST(Queue, ZeroCapacityHoldsNothing)
{
  IEffectQueue<int> queue(0);
  EXPECT_EQ(queue.Capacity(), 0);
  EXPECT_FALSE(queue.Push(1));
  int item = 0;
  EXPECT_FALSE(queue.Pop(item));
}

TEST(Queue, TwoThreadsPassAMillionItemsInOrder)
{
  constexpr int kItems = 1'000'000;
  IEffectQueue<ParamTuple> queue(512);

  std::thread producer([&queue] {
    for (int i = 0; i < kItems; ++i)
      while (!queue.Push({i % 13, static_cast<double>(i)}))
        std::this_thread::yield();
  });

  int received = 0;
  bool inOrder = true;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (received < kItems && std::chrono::steady_clock::now() < deadline)
  {
    ParamTuple change;
    if (!queue.Pop(change))
    {
      std::this_thread::yield();
      continue;
    }
    if (change.value != static_cast<double>(received) || change.idx != received % 13)
      inOrder = false;
    ++received;
  }
  producer.join();
  EXPECT_EQ(received, kItems);
  EXPECT_TRUE(inOrder);
  ParamTuple extra;
  EXPECT_FALSE(queue.Pop(extra)); // nothing duplicated
}

TEST(Queue, DroppedItemsLeaveTheRestInOrderAndUnduplicated)
{
  constexpr int kItems = 1'000'000;
  IEffectQueue<int> queue(64);
  std::atomic<bool> done{false};
  int dropped = 0;

  std::thread producer([&] {
    for (int i = 0; i < kItems; ++i)
      if (!queue.Push(i))
        ++dropped;
    done.store(true, std::memory_order_release);
  });

  int received = 0;
  int last = -1;
  bool increasing = true;
  for (;;)
  {
    const bool finished = done.load(std::memory_order_acquire);
    int item;
    bool any = false;
    while (queue.Pop(item))
    {
      any = true;
      if (item <= last)
        increasing = false;
      last = item;
      ++received;
    }
    if (finished && !any)
      break;
    if (!any)
      std::this_thread::yield();
  }
  producer.join();
  EXPECT_TRUE(increasing);
  EXPECT_EQ(received + dropped, kItems);
}

// ---------------------------------------------------------------------------------------------
// The main-thread timer

TEST(Timer, FiresNotBeforeItsInterval)
{
  int fired = 0;
  const Clock::time_point before = Clock::now();
  IEffectTimer timer([&fired] { ++fired; }, 20ms);
  const Clock::time_point after = Clock::now();
  EXPECT_EQ(timer.Interval(), 20ms);
  const Clock::time_point due = timer.NextDue();
  EXPECT_GE(due, before + 20ms);
  EXPECT_LE(due, after + 20ms);

  EXPECT_FALSE(timer.Pump(due - 1ns));
  EXPECT_FALSE(timer.Pump(due - 19ms));
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(timer.Pump(due));
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(timer.NextDue(), due + 20ms);
  EXPECT_FALSE(timer.Pump(due + 19ms));
  EXPECT_EQ(fired, 1);
}

TEST(Timer, KeepsItsCadenceWhenSlightlyLate)
{
  int fired = 0;
  IEffectTimer timer([&fired] { ++fired; }, 20ms);
  const Clock::time_point due = timer.NextDue();
  EXPECT_TRUE(timer.Pump(due + 5ms));
  EXPECT_EQ(timer.NextDue(), due + 20ms);
  EXPECT_TRUE(timer.Pump(due + 20ms));
  EXPECT_EQ(fired, 2);
}

TEST(Timer, FiresOnceWhenLateAndDoesNotCatchUp)
{
  int fired = 0;
  IEffectTimer timer([&fired] { ++fired; }, 20ms);
  const Clock::time_point late = timer.NextDue() + 105ms;
  EXPECT_TRUE(timer.Pump(late));
  EXPECT_FALSE(timer.Pump(late));
  EXPECT_FALSE(timer.Pump(late + 19ms));
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(timer.NextDue(), late + 20ms);
  EXPECT_TRUE(timer.Pump(late + 20ms));
  EXPECT_EQ(fired, 2);
}

TEST(Timer, FireRunsNowAndRestartsTheInterval)
{
  int fired = 0;
  IEffectTimer timer([&fired] { ++fired; }, 20ms);
  const Clock::time_point now = timer.NextDue() - 10ms;
  timer.Fire(now);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(timer.NextDue(), now + 20ms);
  EXPECT_FALSE(timer.Pump(now + 15ms));
}

TEST(Timer, WithoutACallbackStillKeepsTime)
{
  IEffectTimer timer(nullptr, 20ms);
  const Clock::time_point due = timer.NextDue();
  EXPECT_TRUE(timer.Pump(due));
  EXPECT_EQ(timer.NextDue(), due + 20ms);
}

TEST(PluginTimer, IdleRunsOnEveryTickWithoutAnEditor)
{
  ObservedPlug plug;
  EXPECT_EQ(plug.GetTimer().Interval(), 20ms);
  EXPECT_FALSE(plug.HasEditorOpen());
  EXPECT_FALSE(plug.PumpTimer(plug.GetTimer().NextDue() - 1ms));
  EXPECT_EQ(plug.mIdles, 0);
  for (int i = 1; i <= 3; ++i)
  {
    EXPECT_TRUE(Tick(plug));
    EXPECT_EQ(plug.mIdles, i);
  }
}

TEST(PluginTimer, PlugInWithoutUIIdlesButDeliversNothing)
{
  class NoUIPlug : public SmallPlug {
  public:
    NoUIPlug() : SmallPlug(MakeConfig()) { GetParam(0)->InitDouble("A", 0.0, 0.0, 10.0, 1.0); }
    static Config MakeConfig()
    {
      Config config = SmallConfig(1, 0);
      config.plugHasUI = false;
      return config;
    }
    void OnIdle() override { ++idles; }
    void OnParamChangeUI(int, EParamSource source) override { sources.push_back(source); }
    void OnMidiMsgUI(const IMidiMsg&) override { ++midi; }
    int idles = 0, midi = 0;
    std::vector<int> sources;
  } plug;

  EXPECT_FALSE(plug.HasUI());
  plug.HostSetParameter(0, 4.0);
  EXPECT_TRUE(plug.TransmitMidiMsgFromProcessor(IMidiMsg{0, 0x90, 60, 100}));
  EXPECT_TRUE(Tick(plug));
  EXPECT_EQ(plug.idles, 1);
  EXPECT_TRUE(plug.sources.empty());
  EXPECT_EQ(plug.midi, 0);
  EXPECT_EQ(plug.GetParam(0)->Value(), 4.0);
}

// ---------------------------------------------------------------------------------------------
// Host to plug-in and editor

TEST(HostToEditor, AnAutomationBurstReachesTheEditorOnceWithItsLastValue)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();
  plug.mEvents->clear();

  for (int i = 0; i < 600; ++i)
  {
    plug.HostSetParameter(kHaunt, i % 100, i % 7);
    plug.HostSetParameter(kMix, i % 50);
  }
  EXPECT_EQ(plug.GetParam(kHaunt)->Value(), 99.0); // stored at once, every time
  EXPECT_EQ(plug.Count("change 2 1 "), 600);
  EXPECT_EQ((*plug.mEvents)[0], "change 2 1 0 v=" + Num(0.0));
  EXPECT_EQ((*plug.mEvents)[1], "change1 2");
  EXPECT_EQ((*plug.mEvents)[4], "change 2 1 1 v=" + Num(1.0)); // with the sample offset
  EXPECT_TRUE(setup.log->paramValues.empty()); // nothing reaches the editor from the host's thread

  plug.mEvents->clear();
  ASSERT_TRUE(Tick(plug));
  // One delivery per parameter, in index order, with the value it holds now.
  ASSERT_EQ(setup.log->paramValues.size(), 2u);
  EXPECT_EQ(setup.log->paramValues[0].paramIdx, kHaunt);
  EXPECT_EQ(setup.log->paramValues[0].normalized, 0.99);
  EXPECT_EQ(setup.log->paramValues[1].paramIdx, kMix);
  EXPECT_EQ(setup.log->paramValues[1].normalized, 0.49);
  EXPECT_EQ(plug.Count("changeUI 2 4"), 1);
  EXPECT_EQ(plug.mIdles, 1);

  ASSERT_TRUE(Tick(plug)); // nothing twice
  EXPECT_EQ(setup.log->paramValues.size(), 2u);

  plug.HostSetParameter(kHaunt, 42.0);
  ASSERT_TRUE(Tick(plug));
  ASSERT_EQ(setup.log->paramValues.size(), 3u);
  EXPECT_EQ(setup.log->paramValues.back().normalized, 0.42);
}

TEST(HostToEditor, HostThreadsSettingParametersAtOnceLoseNothing)
{
  // Hosts call from their main, automation and render threads, all at once, while the timer runs
  // on the main thread; the editor ends up showing every parameter's last value.
  Umbravox plug{InstanceInfo{}};
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();

  constexpr int kOwnParams[] = {kHaunt, kPossess, kSmear};
  constexpr int kChanges = 20000;
  std::atomic<int> running{3};
  std::vector<std::thread> hosts;
  for (int own : kOwnParams)
    hosts.emplace_back([&plug, &running, own] {
      for (int i = 0; i < kChanges; ++i)
      {
        plug.HostSetParameter(own, (i * 7 + own) % 101); // a parameter of its own
        plug.HostSetParameterNormalized(kMix, (i % 11) / 10.0); // and one they share
      }
      --running;
    });
  while (running.load() > 0)
    plug.GetTimer().Fire();
  for (std::thread& host : hosts)
    host.join();
  plug.GetTimer().Fire();

  std::vector<double> shown(kNumParams, -1.0);
  for (const auto& delivered : setup.log->paramValues)
    shown[delivered.paramIdx] = delivered.normalized;
  for (int paramIdx : {kHaunt, kPossess, kSmear, kMix})
    EXPECT_EQ(shown[paramIdx], plug.GetParam(paramIdx)->CurrentNormalized()) << paramIdx;
}

TEST(HostToEditor, OctaveAt2Point6StoresThreeAndReachesTheEditorOnTheNextTick)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();

  plug.HostSetParameter(kOctave, 2.6);
  EXPECT_EQ(plug.GetParam(kOctave)->Value(), 3.0);
  EXPECT_EQ(plug.GetParam(kOctave)->GetDisplayWithLabel(), "+1");
  EXPECT_TRUE(setup.log->paramValues.empty());
  EXPECT_FALSE(plug.PumpTimer(plug.GetTimer().NextDue() - 1ms));
  EXPECT_TRUE(setup.log->paramValues.empty());

  ASSERT_TRUE(Tick(plug));
  ASSERT_EQ(setup.log->paramValues.size(), 1u);
  EXPECT_EQ(setup.log->paramValues[0].paramIdx, kOctave);
  EXPECT_EQ(setup.log->paramValues[0].normalized, 0.75);
}

TEST(HostToEditor, NormalisedHostValuesReachTheEditorAsStored)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();

  plug.HostSetParameterNormalized(kOctave, 0.6); // 2.4 steps to 2
  EXPECT_EQ(plug.GetParam(kOctave)->Value(), 2.0);
  plug.HostSetParameterNormalized(kFine, 0.9);
  ASSERT_TRUE(Tick(plug));
  ASSERT_EQ(setup.log->paramValues.size(), 2u);
  EXPECT_EQ(setup.log->paramValues[0].paramIdx, kOctave);
  EXPECT_EQ(setup.log->paramValues[0].normalized, 0.5);
  EXPECT_EQ(setup.log->paramValues[1].paramIdx, kFine);
  EXPECT_NEAR(setup.log->paramValues[1].normalized, 0.9, 1e-12);
}

TEST(HostToEditor, NonFiniteValuesAndBadIndicesAreNotQueued)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();
  plug.mEvents->clear();

  plug.SendParameterValueFromAPI(kNumParams, 50.0, false);
  plug.SendParameterValueFromAPI(-1, 50.0, false);
  plug.SendParameterValueFromAPI(1000, 0.5, true);
  plug.SendParameterValueFromAPI(kMix, kNaN, false);
  plug.SendParameterValueFromAPI(kMix, kInf, false);
  plug.SendParameterValueFromAPI(kMix, -kInf, true);
  plug.HostSetParameter(kMix, kNaN);
  EXPECT_EQ(plug.GetParam(kMix)->Value(), 100.0);
  plug.HostSetParameter(kNumParams, 1.0); // ignored whole
  ASSERT_TRUE(Tick(plug));
  EXPECT_TRUE(setup.log->paramValues.empty());
  EXPECT_EQ(plug.Count("changeUI"), 0);
}

TEST(HostToEditor, DeliveryWithoutAnEditorStillTellsThePlugIn)
{
  ObservedPlug plug;
  plug.HostSetParameter(kSmear, 10.0);
  plug.mEvents->clear();
  ASSERT_TRUE(Tick(plug));
  EXPECT_EQ(*plug.mEvents, (std::vector<std::string>{"changeUI 8 4"}));
}

TEST(HostToEditor, MidiAndSysExFromTheProcessorReachTheEditorOnTheTick)
{
  ObservedPlug plug;
  for (int i = 0; i < 40; ++i)
  {
    const bool queued = plug.TransmitMidiMsgFromProcessor(
      IMidiMsg{i, static_cast<uint8_t>(0x90), static_cast<uint8_t>(i), 100});
    EXPECT_EQ(queued, i < IEffectAPIBase::kMidiQueueSize) << i;
  }
  for (int i = 0; i < 6; ++i)
  {
    ISysEx sysex;
    sysex.mOffset = i;
    sysex.mSize = 3;
    sysex.mData[0] = 0xF0;
    sysex.mData[1] = static_cast<uint8_t>(i);
    sysex.mData[2] = 0xF7;
    EXPECT_EQ(plug.TransmitSysExDataFromProcessor(sysex), i < IEffectAPIBase::kSysExQueueSize) << i;
  }
  EXPECT_TRUE(plug.mMidi.empty());
  ASSERT_TRUE(Tick(plug));
  ASSERT_EQ(plug.mMidi.size(), 32u);
  for (int i = 0; i < 32; ++i)
  {
    EXPECT_EQ(plug.mMidi[i].mOffset, i);
    EXPECT_EQ(plug.mMidi[i].mData1, i);
  }
  ASSERT_EQ(plug.mSysEx.size(), 4u);
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(plug.mSysEx[i].mOffset, i);
    EXPECT_EQ(plug.mSysEx[i].mSize, 3);
    EXPECT_EQ(plug.mSysEx[i].mData[1], i);
  }
}

// ---------------------------------------------------------------------------------------------
// Editor to host and processor

TEST(EditorToHost, AGestureBracketsOneNotificationAndOneChangePerMove)
{
  auto events = std::make_shared<std::vector<std::string>>();
  ObservedPlug plug(events);
  LoggingListener listener(events);
  plug.SetHostListener(&listener);
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();
  events->clear();

  plug.BeginInformHostOfParamChangeFromUI(kMix);
  plug.SendParameterValueFromUI(kMix, 0.25);
  plug.SendParameterValueFromUI(kMix, 0.5);
  plug.EndInformHostOfParamChangeFromUI(kMix);

  const std::vector<std::string> expected = {
    "begin 12",
    "host 12 " + Num(0.25), "change 12 3 -1 v=" + Num(25.0), "change1 12", "changeUI 12 3",
    "host 12 " + Num(0.5),  "change 12 3 -1 v=" + Num(50.0), "change1 12", "changeUI 12 3",
    "end 12",
  };
  EXPECT_EQ(*events, expected);
  EXPECT_EQ(plug.GetParam(kMix)->Value(), 50.0);

  // The editor made the change: nothing comes back to it.
  ASSERT_TRUE(Tick(plug));
  EXPECT_TRUE(setup.log->paramValues.empty());
}

// An editor whose host is reached from the editor's side (a UI in its own shared object) hears
// the same gesture through its link, after the wrapper; resizing goes to the link instead.
TEST(EditorToHost, AnEditorHostLinkHearsGesturesChangesAndResizes)
{
  struct Link : IEditorHostLink {
    std::shared_ptr<std::vector<std::string>> events;
    bool grant = true;
    void BeginParamGesture(int idx) override { events->push_back("link begin " + std::to_string(idx)); }
    void ParamChangedFromEditor(int idx, double v) override
    {
      events->push_back("link change " + std::to_string(idx) + " " + Num(v));
    }
    void EndParamGesture(int idx) override { events->push_back("link end " + std::to_string(idx)); }
    bool ResizeEditor(int w, int h) override
    {
      events->push_back("link resize " + std::to_string(w) + "x" + std::to_string(h));
      return grant;
    }
    void StateRestored() override { events->push_back("link restored"); }
  };
  auto events = std::make_shared<std::vector<std::string>>();
  ObservedPlug plug(events);
  Link link;
  link.events = events;
  plug.SetEditorHostLink(&link);

  plug.BeginInformHostOfParamChangeFromUI(kHaunt);
  plug.SendParameterValueFromUI(kHaunt, 0.25);
  plug.EndInformHostOfParamChangeFromUI(kHaunt);
  plug.BeginInformHostOfParamChangeFromUI(99); // no such parameter: not passed on
  EXPECT_EQ(plug.Count("link begin 2"), 1);
  EXPECT_EQ(plug.Count("link change 2 " + Num(0.25)), 1);
  EXPECT_EQ(plug.Count("link end 2"), 1);
  EXPECT_EQ(plug.Count("link begin 99"), 0);

  EXPECT_TRUE(plug.EditorResizeFromUI(600, 400, true));
  link.grant = false;
  EXPECT_FALSE(plug.EditorResizeFromUI(600, 400, true));
  EXPECT_EQ(plug.Count("link resize 600x400"), 2);
  EXPECT_EQ(plug.Count("editor resize"), 0);

  // A recalled preset or a loaded state may change every parameter at once.
  ASSERT_TRUE(plug.RestorePreset("Poltergeist"));
  EXPECT_EQ(plug.Count("link restored"), 1);

  plug.SetEditorHostLink(nullptr);
  plug.SendParameterValueFromUI(kHaunt, 0.5);
  ASSERT_TRUE(plug.RestorePreset(0));
  EXPECT_EQ(plug.Count("link change"), 1);
  EXPECT_EQ(plug.Count("link restored"), 1);
}

TEST(EditorToHost, SteppedParameterStoresTheStepAndTellsTheHostTheControlValue)
{
  auto events = std::make_shared<std::vector<std::string>>();
  ObservedPlug plug(events);
  LoggingListener listener(events);
  plug.SetHostListener(&listener);

  plug.SendParameterValueFromUI(kOctave, 0.6);
  EXPECT_EQ(plug.GetParam(kOctave)->Value(), 2.0);
  EXPECT_EQ(*events, (std::vector<std::string>{"host 4 " + Num(0.6), "change 4 3 -1 v=" + Num(2.0),
                                                "change1 4", "changeUI 4 3"}));
}

TEST(EditorToHost, NonFiniteValuesAndBadIndicesAreIgnored)
{
  auto events = std::make_shared<std::vector<std::string>>();
  ObservedPlug plug(events);
  LoggingListener listener(events);
  plug.SetHostListener(&listener);
  const std::vector<uint8_t> before = umbra::test::StateBytes(plug);

  plug.SendParameterValueFromUI(kNumParams, 0.5);
  plug.SendParameterValueFromUI(-1, 0.5);
  plug.SendParameterValueFromUI(kMix, kNaN);
  plug.SendParameterValueFromUI(kMix, kInf);
  plug.SendParameterValueFromUI(kMix, -kInf);
  EXPECT_TRUE(events->empty());
  EXPECT_EQ(umbra::test::StateBytes(plug), before);
}

TEST(EditorToHost, DirtyParametersTellsTheHostEveryCurrentValue)
{
  auto events = std::make_shared<std::vector<std::string>>();
  ObservedPlug plug(events);
  LoggingListener listener(events);
  plug.SetHostListener(&listener);

  plug.DirtyParametersFromUI();
  std::vector<std::string> expected;
  for (int i = 0; i < kNumParams; ++i)
    expected.push_back("host " + std::to_string(i) + " " + Num(kInitNormalized[i]));
  EXPECT_EQ(*events, expected);
}

TEST(EditorToHost, ParamResetTellsThePlugInOfEveryParameter)
{
  ObservedPlug plug;
  plug.mEvents->clear();
  plug.OnParamReset(kReset);
  ASSERT_EQ(plug.mEvents->size(), 3u * kNumParams);
  for (int i = 0; i < kNumParams; ++i)
  {
    EXPECT_EQ((*plug.mEvents)[3 * i].rfind("change " + std::to_string(i) + " 0 -1 ", 0), 0u);
    EXPECT_EQ((*plug.mEvents)[3 * i + 1], "change1 " + std::to_string(i));
    EXPECT_EQ((*plug.mEvents)[3 * i + 2], "changeUI " + std::to_string(i) + " 0");
  }
}

// ---------------------------------------------------------------------------------------------
// Delegate to editor

TEST(DelegateToEditor, OpeningTheEditorDeliversEveryParameter)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.mEvents->clear();
  plug.OpenWindow(nullptr);
  ASSERT_EQ(setup.log->paramValues.size(), static_cast<size_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i)
  {
    EXPECT_EQ(setup.log->paramValues[i].paramIdx, i);
    EXPECT_DOUBLE_EQ(setup.log->paramValues[i].normalized, kInitNormalized[i]) << i;
  }
  EXPECT_EQ(plug.Count("changeUI"), kNumParams);
  EXPECT_EQ(plug.Count("changeUI 0 4"), 1);
}

TEST(DelegateToEditor, RestoringStateDeliversEveryParameter)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  setup.log->paramValues.clear();

  ASSERT_TRUE(plug.RestorePreset("Poltergeist"));
  const std::vector<double> poltergeist = {0.70, 0.45, 0.45, 0.60, 0.75, 7.0 / 11.0, 0.75,
                                           0.30, 0.70, 0.75, 1.0, 0.80, 0.70};
  ASSERT_EQ(setup.log->paramValues.size(), static_cast<size_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i)
  {
    EXPECT_EQ(setup.log->paramValues[i].paramIdx, i);
    EXPECT_DOUBLE_EQ(setup.log->paramValues[i].normalized, poltergeist[i]) << i;
  }

  setup.log->paramValues.clear();
  IByteChunk chunk;
  plug.SerializeState(chunk);
  EXPECT_TRUE(plug.HostSetState(chunk));
  EXPECT_EQ(setup.log->paramValues.size(), static_cast<size_t>(kNumParams));
}

TEST(DelegateToEditor, RestoringStateWithoutAnEditorStillTellsThePlugIn)
{
  ObservedPlug plug;
  plug.mEvents->clear();
  ASSERT_TRUE(plug.RestorePreset(3));
  EXPECT_EQ(plug.Count("changeUI"), kNumParams);
  EXPECT_EQ(plug.Count("changeUI 12 4"), 1);
}

TEST(DelegateToEditor, ControlValuesAndMessagesOnlyWhileAnEditorIsOpen)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);

  const uint8_t payload[3] = {7, 8, 9};
  plug.SendControlValueFromDelegate(kCtrlTagPresetName, 0.3);
  plug.SendControlMsgFromDelegate(kCtrlTagInputMeter, 5, 3, payload);
  EXPECT_TRUE(setup.log->controlValues.empty());
  EXPECT_TRUE(setup.log->controlMsgs.empty());

  plug.OpenWindow(nullptr);
  plug.SendControlValueFromDelegate(kCtrlTagPresetName, 0.3);
  plug.SendControlMsgFromDelegate(kCtrlTagOutputMeter, 5, 3, payload);
  ASSERT_EQ(setup.log->controlValues.size(), 1u);
  EXPECT_EQ(setup.log->controlValues[0].ctrlTag, kCtrlTagPresetName);
  EXPECT_EQ(setup.log->controlValues[0].normalized, 0.3);
  ASSERT_EQ(setup.log->controlMsgs.size(), 1u);
  EXPECT_EQ(setup.log->controlMsgs[0].ctrlTag, kCtrlTagOutputMeter);
  EXPECT_EQ(setup.log->controlMsgs[0].msgTag, 5);
  EXPECT_EQ(setup.log->controlMsgs[0].data, (std::vector<uint8_t>{7, 8, 9}));

  plug.CloseWindow();
  plug.SendControlValueFromDelegate(kCtrlTagPresetName, 0.9);
  plug.SendControlMsgFromDelegate(kCtrlTagOutputMeter, 6, 3, payload);
  EXPECT_EQ(setup.log->controlValues.size(), 1u);
  EXPECT_EQ(setup.log->controlMsgs.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// The editor window

TEST(EditorWindow, OpenRunsMakeGraphicsAndLayoutOnce)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  int parent = 0;

  void* view = plug.OpenWindow(&parent);
  EXPECT_EQ(view, &parent);
  EXPECT_TRUE(plug.HasEditorOpen());
  EXPECT_EQ(setup.log->contextsMade, 1);
  EXPECT_EQ(setup.layouts, 1);
  EXPECT_EQ(setup.laidOut, plug.GetUI());
  EXPECT_EQ(setup.log->calls, (std::vector<std::string>{"open"})); // no earlier size to restore

  plug.OpenWindow(&parent); // already open: the same context
  EXPECT_EQ(setup.log->contextsMade, 1);
  EXPECT_EQ(setup.layouts, 1);
}

TEST(EditorWindow, ReopensAtTheSizeItWasClosedAt)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  EXPECT_EQ(plug.GetUI()->Width(), 1200);
  plug.GetUI()->Resize(1500, 1000, 1.f); // the user drags the corner
  setup.log->calls.clear();

  plug.CloseWindow();
  EXPECT_EQ(plug.mUICloses, 1);
  EXPECT_TRUE(plug.mEditorOpenAtClose); // the plug-in hears of it before the context goes
  EXPECT_FALSE(plug.HasEditorOpen());
  EXPECT_EQ(plug.GetUI(), nullptr);
  EXPECT_EQ(setup.log->calls, (std::vector<std::string>{"close", "destroyed"}));
  EXPECT_EQ(setup.log->contextsDestroyed, 1);
  EXPECT_EQ(plug.GetLastWidth(), 1500);
  EXPECT_EQ(plug.GetLastHeight(), 1000);
  EXPECT_EQ(plug.GetLastScale(), 1.f);

  plug.CloseWindow(); // closing twice is harmless
  EXPECT_EQ(plug.mUICloses, 1);
  EXPECT_EQ(setup.log->contextsDestroyed, 1);

  setup.log->calls.clear();
  plug.OpenWindow(nullptr);
  EXPECT_EQ(setup.log->contextsMade, 2);
  EXPECT_EQ(setup.layouts, 2);
  ASSERT_NE(plug.GetUI(), nullptr);
  EXPECT_EQ(plug.GetUI()->Width(), 1500);
  EXPECT_EQ(plug.GetUI()->Height(), 1000);
  EXPECT_EQ(setup.log->calls,
            (std::vector<std::string>{"resize 1500x1000@" + std::to_string(1.f), "open"}));
}

TEST(EditorWindow, ScaleIsRememberedToo)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  plug.GetUI()->Resize(600, 400, 2.f);
  plug.CloseWindow();
  EXPECT_EQ(plug.GetLastScale(), 2.f);
  plug.OpenWindow(nullptr);
  EXPECT_EQ(plug.GetUI()->GetDrawScale(), 2.f);
  EXPECT_EQ(plug.GetUI()->Width(), 600);
}

TEST(EditorWindow, CloseWindowCalledFromOnUICloseIsIgnored)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OpenWindow(nullptr);
  plug.mCloseFromInside = true;
  setup.log->calls.clear();
  plug.CloseWindow();
  EXPECT_EQ(plug.mUICloses, 1);
  EXPECT_EQ(setup.log->calls, (std::vector<std::string>{"close", "destroyed"}));

  plug.mCloseFromInside = false;
  plug.OpenWindow(nullptr); // the closing flag was cleared
  plug.CloseWindow();
  EXPECT_EQ(plug.mUICloses, 2);
  EXPECT_EQ(setup.log->contextsDestroyed, 2);
}

TEST(EditorWindow, CloseWithoutAnEditorDoesNothing)
{
  ObservedPlug plug;
  plug.CloseWindow();
  EXPECT_EQ(plug.mUICloses, 0);
  EXPECT_EQ(plug.GetLastWidth(), 0);
}

TEST(EditorWindow, NoEditorWithoutAGraphicsContext)
{
  ObservedPlug plug;
  EXPECT_EQ(plug.OpenWindow(nullptr), nullptr); // nothing installed
  EXPECT_FALSE(plug.HasEditorOpen());

  int layouts = 0;
  plug.SetMakeGraphicsFunc([] { return std::unique_ptr<IEditorContext>(); });
  plug.SetLayoutFunc([&layouts](IEditorContext*) { ++layouts; });
  EXPECT_EQ(plug.OpenWindow(nullptr), nullptr);
  EXPECT_FALSE(plug.HasEditorOpen());
  EXPECT_EQ(layouts, 0);
  EXPECT_EQ(plug.CreateGraphics().get(), nullptr);
}

TEST(EditorWindow, ParentResizeAndScreenScaleReachTheOpenContext)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);
  plug.OnParentWindowResize(800, 600); // closed: nothing to do
  plug.SetScreenScale(2.f);
  EXPECT_TRUE(setup.log->calls.empty());

  plug.OpenWindow(nullptr);
  plug.GetUI()->Resize(1200, 800, 2.f);
  setup.log->calls.clear();
  plug.OnParentWindowResize(3000, 2000);
  plug.SetScreenScale(2.f);
  EXPECT_EQ(setup.log->calls, (std::vector<std::string>{"resize 1500x1000@" + std::to_string(2.f),
                                                        "screen scale " + std::to_string(2.f)}));
}

TEST(EditorWindow, ConstrainEditorResize)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  struct Case {
    int width, height;
    bool within;
    int constrainedWidth, constrainedHeight;
  } cases[] = {
    {300, 900, false, 400, 900},    {1200, 800, true, 1200, 800},  {400, 266, true, 400, 266},
    {3600, 2400, true, 3600, 2400}, {4000, 100, false, 3600, 266}, {399, 2401, false, 400, 2400},
    {1200, 265, false, 1200, 266},
  };
  for (const Case& c : cases)
  {
    int width = c.width, height = c.height;
    EXPECT_EQ(plug->ConstrainEditorResize(width, height), c.within) << c.width << "x" << c.height;
    EXPECT_EQ(width, c.constrainedWidth) << c.width << "x" << c.height;
    EXPECT_EQ(height, c.constrainedHeight) << c.width << "x" << c.height;
  }
}

TEST(EditorWindow, EditorResizeFromUIAsksTheHostOnlyWhenThePlatformMustResize)
{
  ObservedPlug plug;
  plug.mEvents->clear();
  EXPECT_TRUE(plug.EditorResizeFromUI(1300, 900, false));
  EXPECT_TRUE(plug.mEvents->empty());
  plug.mAcceptResize = true;
  EXPECT_TRUE(plug.EditorResizeFromUI(1300, 900, true));
  plug.mAcceptResize = false;
  EXPECT_FALSE(plug.EditorResizeFromUI(1400, 950, true));
  EXPECT_EQ(*plug.mEvents, (std::vector<std::string>{"editor resize 1300x900", "editor resize 1400x950"}));

  std::unique_ptr<Umbravox> plain(MakePlug()); // the offline host has no window to resize
  EXPECT_FALSE(plain->EditorResizeFromUI(1300, 900, true));
  EXPECT_TRUE(plain->EditorResizeFromUI(1300, 900, false));
}

TEST(EditorWindow, SerializeEditorStateHoldsSizeAndScale)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);

  auto read = [](const IByteChunk& chunk, int32_t& width, int32_t& height, float& scale) {
    int pos = chunk.Get(&width, 0);
    pos = chunk.Get(&height, pos);
    return chunk.Get(&scale, pos);
  };
  int32_t width = -1, height = -1;
  float scale = -1.f;

  IByteChunk never;
  EXPECT_TRUE(plug.SerializeEditorState(never));
  EXPECT_EQ(never.Size(), 12);
  EXPECT_EQ(read(never, width, height, scale), 12);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
  EXPECT_EQ(scale, 0.f);

  plug.OpenWindow(nullptr);
  IByteChunk open;
  EXPECT_TRUE(plug.SerializeEditorState(open));
  read(open, width, height, scale);
  EXPECT_EQ(width, 1200);
  EXPECT_EQ(height, 800);
  EXPECT_EQ(scale, 1.f);

  plug.GetUI()->Resize(1500, 1000, 1.f);
  plug.CloseWindow();
  IByteChunk closed;
  EXPECT_TRUE(plug.SerializeEditorState(closed));
  read(closed, width, height, scale);
  EXPECT_EQ(width, 1500);
  EXPECT_EQ(height, 1000);
  EXPECT_EQ(scale, 1.f);

  IByteChunk state; // not part of the plug-in's state
  plug.SerializeState(state);
  EXPECT_EQ(state.Size(), 104);
}

TEST(EditorWindow, UnserializeEditorStateSetsTheSizeOfTheNextEditor)
{
  ObservedPlug plug;
  EditorSetup setup;
  InstallEditor(plug, setup);

  IByteChunk chunk;
  const int32_t width = 900, height = 700;
  const float scale = 2.f;
  chunk.Put(&width);
  chunk.Put(&height);
  chunk.Put(&scale);
  EXPECT_EQ(plug.UnserializeEditorState(chunk, 0), 12);
  EXPECT_EQ(plug.GetLastWidth(), 900);
  EXPECT_EQ(plug.GetLastHeight(), 700);

  IByteChunk shortChunk;
  shortChunk.Put(&width);
  shortChunk.Put(&height);
  EXPECT_EQ(plug.UnserializeEditorState(shortChunk, 0), -1);
  EXPECT_EQ(plug.GetLastWidth(), 900);

  plug.OpenWindow(nullptr);
  EXPECT_EQ(plug.GetUI()->Width(), 900);
  EXPECT_EQ(plug.GetUI()->Height(), 700);
  EXPECT_EQ(plug.GetUI()->GetDrawScale(), 2.f);
}
