#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "IEditorHostLink.h"
#include "IEffectBase.h"
#include "IEffectQueue.h"
#include "IEffectTimer.h"

namespace umbra {

// The plug-in's face toward the host wrapper: parameter changes between host, editor and
// processor, and the flags, queues and main-thread timer that carry messages to the editor
// without ever touching a control from the host's thread.
class IEffectAPIBase : public IEffectBase {
public:
  static constexpr int kMidiQueueSize = 32;
  static constexpr int kSysExQueueSize = 4;
  static constexpr std::chrono::milliseconds kTimerInterval{20};

  explicit IEffectAPIBase(const Config& config);
  ~IEffectAPIBase() override;

  // Host side, from any thread (the host's main, render or automation threads, several at once):
  // marks the parameter for the editor, which shows the value the parameter holds at the next
  // timer tick. The wrapper stores value first; value itself is only checked here.
  virtual void SendParameterValueFromAPI(int paramIdx, double value, bool normalized);
  virtual bool EditorResize(int width, int height) { (void)width; (void)height; return false; }
  virtual void BeginInformHostOfParamChange(int paramIdx) { (void)paramIdx; }
  virtual void EndInformHostOfParamChange(int paramIdx) { (void)paramIdx; }
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) { (void)paramIdx; (void)normalizedValue; }
  virtual bool TransmitMidiMsgFromProcessor(const IMidiMsg& msg);
  virtual bool TransmitSysExDataFromProcessor(const ISysEx& data);

  // Editor side.
  void SetParameterValue(int paramIdx, double normalizedValue);
  void DirtyParametersFromUI() override;
  void BeginInformHostOfParamChangeFromUI(int paramIdx) override;
  void SendParameterValueFromUI(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChangeFromUI(int paramIdx) override;
  bool EditorResizeFromUI(int width, int height, bool needsPlatformResize) override;
  void SendMidiMsgFromUI(const IMidiMsg& msg) override;
  void SendSysexMsgFromUI(const ISysEx& msg) override;

  // Main thread: whoever owns it pumps the 20 ms timer (host idle, window event loop, tool).
  bool PumpTimer() { return mTimer->Pump(); }
  bool PumpTimer(IEffectTimer::Clock::time_point now) { return mTimer->Pump(now); }
  IEffectTimer& GetTimer() { return *mTimer; }
  virtual void OnTimer();

  // An editor-side host channel (see IEditorHostLink); null to stop. Main thread only.
  void SetEditorHostLink(IEditorHostLink* link) { mEditorHostLink.store(link); }
  IEditorHostLink* GetEditorHostLink() const { return mEditorHostLink.load(); }
  void OnRestoreState() override;

  bool HasUI() const { return mHasUI; }
  bool HostMayResize() const { return mHostResize; }

protected:
  // Processor side: messages the editor sent, for the render thread to pick up (it alone pops).
  IEffectQueue<IMidiMsg>& MidiMsgsFromEditor() { return mMidiMsgsFromEditor; }
  IEffectQueue<ISysEx>& SysExFromEditor() { return mSysExDataFromEditor; }

private:
  std::unique_ptr<IEffectTimer> mTimer;
  bool mHasUI;
  bool mHostResize;
  std::atomic<IEditorHostLink*> mEditorHostLink{nullptr};
  // One flag per parameter: set by any host thread after it stored a value, cleared by the timer
  // (main thread) before it reads the value. Repeats between two ticks merge into one delivery
  // and nothing is lost, however many threads set parameters at once.
  std::vector<std::atomic<bool>> mParamChangedFromHost;
  // Single producer, single consumer; the thread named first owns the writing end.
  IEffectQueue<IMidiMsg> mMidiMsgsFromEditor{kMidiQueueSize};       // main (editor) -> render
  IEffectQueue<IMidiMsg> mMidiMsgsFromProcessor{kMidiQueueSize};    // render -> main (timer)
  IEffectQueue<ISysEx> mSysExDataFromEditor{kSysExQueueSize};       // main (editor) -> render
  IEffectQueue<ISysEx> mSysExDataFromProcessor{kSysExQueueSize};    // render -> main (timer)
  ISysEx mSysExScratch; // half a kilobyte: kept off the timer's stack
};

} // namespace umbra
