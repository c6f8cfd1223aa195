#include "IEditorDelegate.h"

#include <algorithm>

namespace umbra {

IEditorDelegate::IEditorDelegate(int nParams)
{
  mParams.reserve(static_cast<size_t>(std::max(nParams, 0)));
  for (int i = 0; i < nParams; ++i)
    mParams.push_back(std::make_unique<IParam>());
}

IEditorDelegate::~IEditorDelegate() = default;

void IEditorDelegate::OnUIOpen()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->CurrentNormalized(), true);
}

void IEditorDelegate::OnRestoreState()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->CurrentNormalized(), true);
}

void IEditorDelegate::OnParamChange(int paramIdx, EParamSource source, int sampleOffset)
{
  (void)source;
  (void)sampleOffset;
  OnParamChange(paramIdx);
}

void IEditorDelegate::OnParamReset(EParamSource source)
{
  for (int i = 0; i < NParams(); ++i)
  {
    OnParamChange(i, source, -1);
    OnParamChangeUI(i, source);
  }
}

bool IEditorDelegate::OnMessage(int msgTag, int ctrlTag, int dataSize, const void* data)
{
  (void)msgTag;
  (void)ctrlTag;
  (void)dataSize;
  (void)data;
  return false;
}

void IEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  (void)value;
  (void)normalized;
  OnParamChangeUI(paramIdx, kDelegate);
}

bool IEditorDelegate::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  (void)width;
  (void)height;
  (void)needsPlatformResize;
  return true;
}

bool IEditorDelegate::ConstrainEditorResize(int& width, int& height) const
{
  if (width >= mMinWidth && width <= mMaxWidth && height >= mMinHeight && height <= mMaxHeight)
    return true;
  width = std::clamp(width, mMinWidth, mMaxWidth);
  height = std::clamp(height, mMinHeight, mMaxHeight);
  return false;
}

bool IEditorDelegate::SerializeEditorState(IByteChunk& chunk) const
{
  (void)chunk;
  return false;
}

int IEditorDelegate::UnserializeEditorState(const IByteChunk& chunk, int startPos)
{
  (void)chunk;
  return startPos;
}

void IEditorDelegate::SetSizeConstraints(int widthA, int widthB, int heightA, int heightB)
{
  mMinWidth = std::min(widthA, widthB);
  mMaxWidth = std::max(widthA, widthB);
  mMinHeight = std::min(heightA, heightB);
  mMaxHeight = std::max(heightA, heightB);
}

} // namespace umbra
