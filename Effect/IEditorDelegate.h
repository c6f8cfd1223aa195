#pragma once

#include <memory>
#include <vector>

#include "IByteChunk.h"
#include "IEffectConstants.h"
#include "IEffectParameter.h"
#include "IEffectStructs.h"

namespace umbra {

// The plug-in's face toward its editor: the parameter list, the editor's size limits, and the
// calls that carry changes between the editor and the plug-in.
class IEditorDelegate {
public:
  explicit IEditorDelegate(int nParams);
  virtual ~IEditorDelegate();

  IEditorDelegate(const IEditorDelegate&) = delete;
  IEditorDelegate& operator=(const IEditorDelegate&) = delete;

  IParam* GetParam(int paramIdx) { return mParams[paramIdx].get(); }
  const IParam* GetParam(int paramIdx) const { return mParams[paramIdx].get(); }
  int NParams() const { return static_cast<int>(mParams.size()); }
  bool IsValidParamIdx(int paramIdx) const { return paramIdx >= 0 && paramIdx < NParams(); }

  virtual void* OpenWindow(void* parent) { (void)parent; return nullptr; }
  virtual void CloseWindow() {}
  virtual void OnParentWindowResize(int width, int height) { (void)width; (void)height; }
  virtual void OnUIOpen();
  virtual void OnUIClose() {}

  virtual void OnParamChange(int paramIdx, EParamSource source, int sampleOffset);
  virtual void OnParamChange(int paramIdx) { (void)paramIdx; }
  virtual void OnParamChangeUI(int paramIdx, EParamSource source) { (void)paramIdx; (void)source; }
  virtual void OnParamReset(EParamSource source);
  virtual void OnMidiMsgUI(const IMidiMsg& msg) { (void)msg; }
  virtual void OnSysexMsgUI(const ISysEx& msg) { (void)msg; }
  virtual bool OnMessage(int msgTag, int ctrlTag, int dataSize, const void* data);
  virtual void OnRestoreState();
  virtual bool OnKeyDown(int key) { (void)key; return false; }
  virtual bool OnKeyUp(int key) { (void)key; return false; }

  // Delegate to editor (main thread). The editor-owning subclass delivers these.
  virtual void SendControlValueFromDelegate(int ctrlTag, double normalized) { (void)ctrlTag; (void)normalized; }
  virtual void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data)
  { (void)ctrlTag; (void)msgTag; (void)dataSize; (void)data; }
  virtual void SendArbitraryMsgFromDelegate(int msgTag, int dataSize, const void* data)
  { (void)msgTag; (void)dataSize; (void)data; }
  virtual void SendMidiMsgFromDelegate(const IMidiMsg& msg) { OnMidiMsgUI(msg); }
  virtual void SendSysexMsgFromDelegate(const ISysEx& msg) { OnSysexMsgUI(msg); }
  virtual void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);

  // Editor to plug-in and host (main thread). The API base implements these.
  virtual void DirtyParametersFromUI() {}
  virtual void BeginInformHostOfParamChangeFromUI(int paramIdx) = 0;
  virtual void SendParameterValueFromUI(int paramIdx, double normalized) = 0;
  virtual void EndInformHostOfParamChangeFromUI(int paramIdx) = 0;
  virtual bool EditorResizeFromUI(int width, int height, bool needsPlatformResize);
  virtual void SendMidiMsgFromUI(const IMidiMsg& msg) { (void)msg; }
  virtual void SendSysexMsgFromUI(const ISysEx& msg) { (void)msg; }
  virtual void SendArbitraryMsgFromUI(int msgTag, int ctrlTag, int dataSize, const void* data)
  { (void)msgTag; (void)ctrlTag; (void)dataSize; (void)data; }
  virtual void DeferMidiMsg(const IMidiMsg& msg) { (void)msg; }
  virtual void DeferSysexMsg(const ISysEx& msg) { (void)msg; }

  virtual bool ConstrainEditorResize(int& width, int& height) const;
  virtual bool SerializeEditorState(IByteChunk& chunk) const;
  virtual int UnserializeEditorState(const IByteChunk& chunk, int startPos);
  virtual void SetScreenScale(float scale) { (void)scale; }

  int GetEditorWidth() const { return mEditorWidth; }
  int GetEditorHeight() const { return mEditorHeight; }
  int GetMinWidth() const { return mMinWidth; }
  int GetMaxWidth() const { return mMaxWidth; }
  int GetMinHeight() const { return mMinHeight; }
  int GetMaxHeight() const { return mMaxHeight; }
  void SetEditorSize(int width, int height) { mEditorWidth = width; mEditorHeight = height; }
  // Keeps the limits sorted: the smaller of the two given values is the minimum.
  void SetSizeConstraints(int widthA, int widthB, int heightA, int heightB);

protected:
  std::vector<std::unique_ptr<IParam>> mParams;
  int mEditorWidth = 0;
  int mEditorHeight = 0;
  int mMinWidth = 0;
  int mMaxWidth = 0;
  int mMinHeight = 0;
  int mMaxHeight = 0;
};

} // namespace umbra
