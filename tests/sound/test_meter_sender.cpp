// The meter data sender: windows, peak hold, smoothing, silence gating and the record queue.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "EngineTestSupport.h"
#include "ISender.h"

using namespace umbra;
using namespace umbra::test;

namespace {

using Sender = IPeakAvgSender<2, 64>;
using Record = Sender::Data;

// An editor delegate that keeps what the sender hands to its controls.
class RecordingDelegate : public IEditorDelegate {
public:
  RecordingDelegate() : IEditorDelegate(0) {}
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void SendParameterValueFromUI(int, double) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override
  {
    ASSERT_EQ(dataSize, 28);
    EXPECT_EQ(msgTag, 0);
    const Record record = *static_cast<const Record*>(data);
    EXPECT_EQ(record.controlTag, ctrlTag);
    records.push_back(record);
  }
  std::vector<Record> records;
};

// Feeds frames of a constant-amplitude pattern to both channels, in blocks of blockSize.
void Feed(Sender& sender, int frames, double (*signal)(int), int blockSize = 240, int tag = 5)
{
  std::vector<double> a(static_cast<size_t>(blockSize)), b(static_cast<size_t>(blockSize));
  for (int start = 0; start < frames; start += blockSize)
  {
    const int n = std::min(blockSize, frames - start);
    for (int s = 0; s < n; ++s)
      a[s] = b[s] = signal(start + s);
    double* in[2] = {a.data(), b.data()};
    sender.ProcessBlock(in, n, tag, 2, 0);
  }
}

double FullScaleSine(int s) { return std::sin(2.0 * M_PI * 1000.0 * s / 48000.0); }
double Silence(int) { return 0.0; }

std::vector<Record> Drain(Sender& sender)
{
  RecordingDelegate delegate;
  sender.FlushToEditor(delegate);
  return delegate.records;
}

} // namespace

TEST(MeterSender, RecordIsTwentyEightBytes)
{
  EXPECT_EQ(sizeof(Record), 28u);
}

TEST(MeterSender, WindowHoldAndSmoothingFollowTheSampleRate)
{
  Sender sender;
  EXPECT_EQ(sender.WindowLength(), 240);
  EXPECT_EQ(sender.HoldLength(), 24000);
  EXPECT_FLOAT_EQ(sender.AttackSteps(), 0.2f);
  EXPECT_FLOAT_EQ(sender.DecaySteps(), 20.f);
  sender.Reset(44100.0);
  EXPECT_EQ(sender.WindowLength(), 220);
  sender.Reset(384000.0);
  EXPECT_EQ(sender.WindowLength(), 1920);
  sender.Reset(8000.0);
  EXPECT_EQ(sender.WindowLength(), 40);
  sender.Reset(100.0); // far below any real rate: still a window of one sample
  EXPECT_EQ(sender.WindowLength(), 1);
}

TEST(MeterSender, AFullScaleSineSettlesAtItsRmsWithTheHeldPeak)
{
  Sender sender;
  Feed(sender, 48000, FullScaleSine);
  const auto records = Drain(sender);
  ASSERT_EQ(records.size(), 64u); // the queue holds 64; the rest were dropped
  const Record& last = records.back();
  EXPECT_EQ(last.controlTag, 5);
  EXPECT_EQ(last.channelCount, 2);
  EXPECT_EQ(last.channelOffset, 0);
  for (int c = 0; c < 2; ++c)
  {
    EXPECT_NEAR(last.vals[c].second, 0.7071f, 0.002f);
    EXPECT_NEAR(last.vals[c].first, 1.0f, 1e-3f);
  }
  // Attack steps below one take a rise over at once.
  EXPECT_NEAR(records[1].vals[0].second, 0.7071f, 0.002f);
}

TEST(MeterSender, AfterSoundStopsAveragesDecayThenRecordsStop)
{
  Sender sender;
  Feed(sender, 4800, FullScaleSine);
  Drain(sender);
  Feed(sender, 240 * 2, Silence);
  auto records = Drain(sender);
  ASSERT_EQ(records.size(), 2u);
  // One twentieth of the remaining level goes per window at 48 kHz.
  const float first = records[0].vals[0].second;
  EXPECT_NEAR(records[1].vals[0].second, first - first / 20.f, 1e-6f);
  // The peak stays held.
  EXPECT_NEAR(records[1].vals[0].first, 1.f, 1e-3f);

  // Keep draining while the level falls: the stream ends one window after the sum of the two
  // averages reaches -90 dB, and that last record still carries the low values.
  std::vector<Record> all;
  for (int i = 0; i < 100; ++i)
  {
    Feed(sender, 240 * 50, Silence);
    const auto more = Drain(sender);
    all.insert(all.end(), more.begin(), more.end());
  }
  ASSERT_GE(all.size(), 2u);
  const float threshold = 0.000031622778f;
  const Record& last = all.back();
  EXPECT_LE(last.vals[0].second + last.vals[1].second, threshold);
  const Record& beforeLast = all[all.size() - 2];
  EXPECT_GT(beforeLast.vals[0].second + beforeLast.vals[1].second, threshold);
  // The averages end as exact zeros, never subnormal.
  Feed(sender, 240 * 5000, Silence);
  EXPECT_TRUE(Drain(sender).empty());
}

TEST(MeterSender, SilenceFromTheStartSendsOnlyTheFirstRecord)
{
  Sender sender;
  Feed(sender, 240 * 10, Silence);
  const auto records = Drain(sender);
  ASSERT_EQ(records.size(), 1u); // the initial level sum of 1 lets one record through
  EXPECT_EQ(records[0].vals[0].second, 0.f);
}

TEST(MeterSender, APeakIsHeldForHalfASecondUnlessRenewed)
{
  // Drained every window, so that no record is dropped.
  Sender paced;
  std::vector<Record> seen;
  for (int w = 0; w < 110; ++w)
  {
    std::vector<double> a(240), b(240);
    for (int s = 0; s < 240; ++s)
      a[s] = b[s] = (w == 0 && s == 0) ? 0.8 : 0.01;
    double* in[2] = {a.data(), b.data()};
    paced.ProcessBlock(in, 240, 0, 2, 0);
    const auto got = Drain(paced);
    seen.insert(seen.end(), got.begin(), got.end());
  }
  ASSERT_EQ(seen.size(), 110u);
  // The click sits in the buffer measured at the start of window 1.
  EXPECT_NEAR(seen[1].vals[0].first, 0.8f, 1e-6f);
  EXPECT_NEAR(seen[99].vals[0].first, 0.8f, 1e-6f);
  EXPECT_NEAR(seen[105].vals[0].first, 0.01f, 1e-6f);
}

TEST(MeterSender, NonFiniteSamplesDoNotPoisonTheMeter)
{
  Sender sender;
  Feed(sender, 2400, [](int s) { return s % 50 == 0 ? NAN : 0.5; });
  const auto records = Drain(sender);
  ASSERT_FALSE(records.empty());
  for (const Record& r : records)
    for (int c = 0; c < 2; ++c)
      ASSERT_TRUE(std::isfinite(r.vals[c].first) && std::isfinite(r.vals[c].second));
}

TEST(MeterSender, ThePlugInFlushesBothMetersToTheOpenEditorOnIdle)
{
  struct Context : IEditorContext {
    std::vector<std::pair<int, int>> messages; // tag, size
    void SetParamValueFromDelegate(int, double) override {}
    void SetControlValueFromDelegate(int, double) override {}
    void SendControlMsgFromDelegate(int tag, int, int size, const void*) override { messages.push_back({tag, size}); }
    int Width() const override { return 1200; }
    int Height() const override { return 800; }
    float GetDrawScale() const override { return 1.f; }
    void Resize(int, int, float) override {}
    void SetScreenScale(float) override {}
    void* OpenWindow(void*) override { return nullptr; }
    void CloseWindow() override {}
  };
  auto plug = MakeHostedPlug();
  Context* context = nullptr;
  plug->SetMakeGraphicsFunc([&] {
    auto made = std::make_unique<Context>();
    context = made.get();
    return made;
  });
  plug->OpenWindow(nullptr);
  ProcessDirect(*plug, Sine(2400, 0.01, 0.5), 512);
  plug->OnTimer();
  ASSERT_NE(context, nullptr);
  int inputs = 0, outputs = 0;
  for (auto [tag, size] : context->messages)
  {
    EXPECT_EQ(size, 28);
    inputs += tag == kCtrlTagInputMeter;
    outputs += tag == kCtrlTagOutputMeter;
  }
  EXPECT_EQ(inputs, 10); // one record per 5 ms window
  EXPECT_GE(outputs, 1);  // the wet signal is still on its way: fewer, but at least the first
  EXPECT_LE(outputs, 10);
  plug->CloseWindow();
}

TEST(MeterSender, AResetToAShorterWindowCarriesOnFromTheRunningPosition)
{
  auto steady = [](int) { return 0.5; };
  Sender sender;
  sender.Reset(384000.0);
  Feed(sender, 1000, steady, 1000); // window position 1000 of 1920
  Drain(sender);
  sender.Reset(8000.0); // a window of 40: the position steps back in as (1000 + n) mod 40
  Feed(sender, 40, steady, 40);
  EXPECT_TRUE(Drain(sender).empty());
  Feed(sender, 1, steady, 1);
  EXPECT_EQ(Drain(sender).size(), 1u);
}
