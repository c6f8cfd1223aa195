#pragma once

#include <functional>
#include <memory>

#include "IEditorContext.h"
#include "IEditorDelegate.h"

namespace umbra {

// An editor delegate whose editor is a graphics context made by an installed make-graphics
// function and filled by an installed layout function. The context exists only while the editor
// is open; its size and scale are remembered so the next editor opens the way the last one closed.
class ICanvasEditorDelegate : public IEditorDelegate {
public:
  using MakeGraphicsFunc = std::function<std::unique_ptr<IEditorContext>()>;
  using LayoutFunc = std::function<void(IEditorContext*)>;

  explicit ICanvasEditorDelegate(int nParams);
  ~ICanvasEditorDelegate() override;

  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void OnParentWindowResize(int width, int height) override;
  void SetScreenScale(float scale) override;

  void SendControlValueFromDelegate(int ctrlTag, double normalized) override;
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override;
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) override;

  bool SerializeEditorState(IByteChunk& chunk) const override;
  int UnserializeEditorState(const IByteChunk& chunk, int startPos) override;

  virtual std::unique_ptr<IEditorContext> CreateGraphics();
  virtual void LayoutUI(IEditorContext* graphics);

  void SetMakeGraphicsFunc(MakeGraphicsFunc func) { mMakeGraphicsFunc = std::move(func); }
  const MakeGraphicsFunc& GetMakeGraphicsFunc() const { return mMakeGraphicsFunc; }
  void SetLayoutFunc(LayoutFunc func) { mLayoutFunc = std::move(func); }

  IEditorContext* GetUI() const { return mGraphics.get(); }
  bool HasEditorOpen() const { return mGraphics != nullptr; }
  int GetLastWidth() const { return mLastWidth; }
  int GetLastHeight() const { return mLastHeight; }
  float GetLastScale() const { return mLastScale; }

protected:
  MakeGraphicsFunc mMakeGraphicsFunc;
  LayoutFunc mLayoutFunc;

private:
  std::unique_ptr<IEditorContext> mGraphics;
  int mLastWidth = 0;
  int mLastHeight = 0;
  float mLastScale = 0.f;
  bool mClosing = false;
};

} // namespace umbra
