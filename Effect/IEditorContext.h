#pragma once

namespace umbra {

// What the plug-in side needs from an open editor. The UI layer's graphics context implements
// it; the core sees nothing else of the UI, so the dependency points one way only.
class IEditorContext {
public:
  virtual ~IEditorContext() = default;

  // Every control bound to this parameter (in any of its value slots) takes the normalised value.
  virtual void SetParamValueFromDelegate(int paramIdx, double normalized) = 0;
  // The control carrying this tag (if any) takes the value, or the message.
  virtual void SetControlValueFromDelegate(int ctrlTag, double normalized) = 0;
  virtual void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize,
                                          const void* data) = 0;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual float GetDrawScale() const = 0;
  virtual void Resize(int width, int height, float scale) = 0;
  // The same, when the host has already resized the window: the platform window is not asked to
  // resize again.
  virtual void ResizeFromHost(int width, int height, float scale) { Resize(width, height, scale); }
  virtual void SetScreenScale(float scale) = 0;

  // Opens the platform window inside parent (none for a top-level window) and returns the
  // platform view; closes it again.
  virtual void* OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
};

} // namespace umbra
