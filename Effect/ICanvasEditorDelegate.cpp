#include "ICanvasEditorDelegate.h"

namespace umbra {

ICanvasEditorDelegate::ICanvasEditorDelegate(int nParams) : IEditorDelegate(nParams) {}

ICanvasEditorDelegate::~ICanvasEditorDelegate() = default;

std::unique_ptr<IEditorContext> ICanvasEditorDelegate::CreateGraphics()
{
  return mMakeGraphicsFunc ? mMakeGraphicsFunc() : nullptr;
}

void ICanvasEditorDelegate::LayoutUI(IEditorContext* graphics)
{
  if (mLayoutFunc)
    mLayoutFunc(graphics);
}

void* ICanvasEditorDelegate::OpenWindow(void* parent)
{
  if (!mGraphics)
  {
    mGraphics = CreateGraphics();
    if (!mGraphics)
      return nullptr;
    LayoutUI(mGraphics.get());
    if (mLastWidth > 0 && mLastHeight > 0 && mLastScale != 0.f)
      mGraphics->Resize(mLastWidth, mLastHeight, mLastScale);
  }

  void* view = mGraphics->OpenWindow(parent);
  OnUIOpen();
  return view;
}

void ICanvasEditorDelegate::CloseWindow()
{
  if (mClosing || !mGraphics)
    return;

  mClosing = true;
  OnUIClose();
  mLastWidth = mGraphics->Width();
  mLastHeight = mGraphics->Height();
  mLastScale = mGraphics->GetDrawScale();
  mGraphics->CloseWindow();
  mGraphics.reset();
  mClosing = false;
}

void ICanvasEditorDelegate::OnParentWindowResize(int width, int height)
{
  if (mGraphics)
  {
    const float scale = mGraphics->GetDrawScale();
    mGraphics->ResizeFromHost(static_cast<int>(width / scale), static_cast<int>(height / scale),
                              scale);
  }
}

void ICanvasEditorDelegate::SetScreenScale(float scale)
{
  if (mGraphics)
    mGraphics->SetScreenScale(scale);
}

void ICanvasEditorDelegate::SendControlValueFromDelegate(int ctrlTag, double normalized)
{
  if (mGraphics)
    mGraphics->SetControlValueFromDelegate(ctrlTag, normalized);
}

void ICanvasEditorDelegate::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize,
                                                       const void* data)
{
  if (mGraphics)
    mGraphics->SendControlMsgFromDelegate(ctrlTag, msgTag, dataSize, data);
}

void ICanvasEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value,
                                                           bool normalized)
{
  if (mGraphics && IsValidParamIdx(paramIdx))
  {
    if (!normalized)
      value = GetParam(paramIdx)->NormalizedFromValue(value);
    mGraphics->SetParamValueFromDelegate(paramIdx, value);
  }
  IEditorDelegate::SendParameterValueFromDelegate(paramIdx, value, normalized);
}

bool ICanvasEditorDelegate::SerializeEditorState(IByteChunk& chunk) const
{
  const int32_t width = mGraphics ? mGraphics->Width() : mLastWidth;
  const int32_t height = mGraphics ? mGraphics->Height() : mLastHeight;
  const float scale = mGraphics ? mGraphics->GetDrawScale() : mLastScale;
  chunk.Put(&width);
  chunk.Put(&height);
  chunk.Put(&scale);
  return true;
}

int ICanvasEditorDelegate::UnserializeEditorState(const IByteChunk& chunk, int startPos)
{
  int32_t width = 0, height = 0;
  float scale = 0.f;
  int pos = chunk.Get(&width, startPos);
  pos = chunk.Get(&height, pos);
  pos = chunk.Get(&scale, pos);
  if (pos < 0)
    return -1;
  mLastWidth = width;
  mLastHeight = height;
  mLastScale = scale;
  return pos;
}

} // namespace umbra
