#include "IEffectParameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace umbra {

std::string CopyTextField(const char* src, int maxLen)
{
  if (!src)
    return {};
  return std::string(src, strnlen(src, static_cast<size_t>(maxLen - 1)));
}

// ---------------------------------------------------------------------------------------------
// Shapes

double ShapeLinear::NormalizedToValue(double normalized, const IParam& param) const
{
  return param.GetMin() + normalized * (param.GetMax() - param.GetMin());
}

double ShapeLinear::ValueToNormalized(double value, const IParam& param) const
{
  return (value - param.GetMin()) / (param.GetMax() - param.GetMin());
}

int ShapePowCurve::GetDisplayType() const
{
  if (mShape > 2.5) return kDisplayCubeRoot;
  if (mShape > 1.5) return kDisplaySquareRoot;
  if (mShape < (2.0 / 5.0)) return kDisplayCubed;
  if (mShape < (2.0 / 3.0)) return kDisplaySquared;
  return kDisplayLinear;
}

double ShapePowCurve::NormalizedToValue(double normalized, const IParam& param) const
{
  return param.GetMin() + std::pow(normalized, mShape) * (param.GetMax() - param.GetMin());
}

double ShapePowCurve::ValueToNormalized(double value, const IParam& param) const
{
  return std::pow((value - param.GetMin()) / (param.GetMax() - param.GetMin()), 1.0 / mShape);
}

void ShapeExp::Init(const IParam& param)
{
  const double lo = param.GetMin() > 0.0 ? param.GetMin() : 1e-8;
  mAdd = std::log(lo);
  mMul = std::log(param.GetMax() / lo);
}

double ShapeExp::NormalizedToValue(double normalized, const IParam&) const
{
  return std::exp(mAdd + normalized * mMul);
}

double ShapeExp::ValueToNormalized(double value, const IParam&) const
{
  return (std::log(value) - mAdd) / mMul;
}

// ---------------------------------------------------------------------------------------------
// Initialisers

IParam::IParam() : mShape(std::make_unique<ShapeLinear>()) {}

namespace {

bool IsWhole(double x)
{
  return std::fabs(x - std::round(x)) <= 1e-9 * std::max(1.0, std::fabs(x));
}

int PrecisionForStep(double step)
{
  if (IsWhole(step))
    return 0;
  double scaled = step;
  for (int k = 1; k <= 5; ++k)
  {
    scaled *= 10.0;
    if (IsWhole(scaled))
      return k;
  }
  return 6;
}

} // namespace

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal,
                        double step, const char* label, int flags, const char* group,
                        const Shape& shape, EParamUnit unit, DisplayFunc displayFunc)
{
  if (mType == kTypeNone)
    mType = kTypeDouble;

  mName = CopyTextField(name, kMaxParamNameLen);
  mLabel = CopyTextField(label, kMaxParamLabelLen);
  mGroup = CopyTextField(group, kMaxParamGroupLen);

  mMin = minVal;
  mMax = std::max(maxVal, minVal + step);
  mStep = step;
  mDefault = defaultVal;
  mUnit = unit;
  mFlags = flags;
  mDisplayFunction = std::move(displayFunc);

  mValue.store(ConstrainValue(defaultVal));
  mDisplayPrecision = PrecisionForStep(step);

  mShape.reset(shape.Clone());
  mShape->Init(*this);
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, int flags,
                      const char* group)
{
  if (mType == kTypeNone)
    mType = kTypeEnum;
  InitDouble(name, defaultVal, 0.0, nEnums - 1, 1.0, label, flags | kFlagStepped, group,
             ShapeLinear(), kUnitCustom);
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, int flags,
                      const char* group, std::initializer_list<const char*> texts)
{
  InitEnum(name, defaultVal, nEnums, label, flags, group);
  int i = 0;
  for (const char* text : texts)
  {
    if (i >= nEnums)
      break;
    SetDisplayText(i++, text);
  }
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, int flags,
                      const char* group, const char* offText, const char* onText)
{
  if (mType == kTypeNone)
    mType = kTypeBool;
  InitEnum(name, defaultVal ? 1 : 0, 2, label, flags, group, {offText, onText});
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     int flags, const char* group)
{
  if (mType == kTypeNone)
    mType = kTypeInt;
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, label, flags | kFlagStepped, group);
}

void IParam::SetDisplayText(double value, const char* text)
{
  mDisplayTexts.push_back({value, CopyTextField(text, kMaxParamDisplayLen)});
}

// ---------------------------------------------------------------------------------------------
// Value access

double IParam::ConstrainValue(double value) const
{
  if ((mFlags & kFlagStepped) && mStep != 0.0)
    value = std::round(value / mStep) * mStep; // std::round takes halves away from zero
  return std::clamp(value, mMin, mMax);
}

void IParam::StoreValue(double value)
{
  // One bad host or file value must not reach the audio thread and stay there.
  if (!std::isfinite(value))
    return;
  mValue.store(ConstrainValue(value));
}

double IParam::NormalizedFromValue(double value) const
{
  return std::clamp(mShape->ValueToNormalized(ConstrainValue(value), *this), 0.0, 1.0);
}

double IParam::ValueFromNormalized(double normalized) const
{
  return ConstrainValue(mShape->NormalizedToValue(normalized, *this));
}

void IParam::StoreNormalized(double normalized)
{
  if (!std::isfinite(normalized))
    return;
  StoreValue(ValueFromNormalized(normalized));
}

// ---------------------------------------------------------------------------------------------
// Display

namespace {

std::string FormatText(const char* fmt, auto... args)
{
  char buf[kMaxParamDisplayLen];
  std::snprintf(buf, sizeof(buf), fmt, args...);
  return buf;
}

} // namespace

void IParam::GetDisplay(double value, bool normalized, std::string& display,
                        bool withDisplayText) const
{
  if (normalized)
    value = ConstrainValue(mShape->NormalizedToValue(value, *this));

  if (mDisplayFunction)
  {
    mDisplayFunction(value, display);
    return;
  }

  if (withDisplayText)
  {
    const char* text = GetDisplayText(value);
    if (*text)
    {
      display = text;
      return;
    }
  }

  double shown = (mFlags & kFlagNegateDisplay) ? -value : value;
  if (shown == 0.0)
    shown = 0.0; // never show a negative zero

  if (mDisplayPrecision == 0)
  {
    const double rounded = std::round(shown);
    if (rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max())
      display = FormatText("%d", static_cast<int>(rounded));
    else
      display = FormatText("%.0f", rounded); // out of int range (or not finite)
  }
  else if ((mFlags & kFlagSignDisplay) && shown != 0.0)
  {
    char fmt[16];
    std::snprintf(fmt, sizeof(fmt), "%%+.%df", mDisplayPrecision);
    display = FormatText(fmt, shown);
  }
  else
  {
    display = FormatText("%.*f", mDisplayPrecision, shown);
  }
}

void IParam::GetDisplayWithLabel(std::string& display, bool withDisplayText) const
{
  GetDisplay(Value(), false, display, withDisplayText);
  const char* label = GetLabel();
  if (*label)
  {
    display += ' ';
    display += label;
  }
}

std::string IParam::GetDisplayWithLabel(bool withDisplayText) const
{
  std::string display;
  GetDisplayWithLabel(display, withDisplayText);
  return display;
}

const char* IParam::GetLabel() const
{
  const double whole = std::trunc(Value());
  return *GetDisplayText(whole) ? "" : mLabel.c_str();
}

const char* IParam::GetDisplayText(double value) const
{
  for (const auto& entry : mDisplayTexts)
    if (entry.value == value)
      return entry.text.c_str();
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, double* value) const
{
  if (idx < 0 || idx >= NDisplayTexts())
    return "";
  if (value)
    *value = mDisplayTexts[idx].value;
  return mDisplayTexts[idx].text.c_str();
}

bool IParam::MapDisplayText(const char* text, double* value) const
{
  if (!text)
    return false;
  for (const auto& entry : mDisplayTexts)
  {
    if (entry.text == text)
    {
      if (value)
        *value = entry.value;
      return true;
    }
  }
  return false;
}

double IParam::StringToValue(const char* text) const
{
  double value = 0.0;
  if (MapDisplayText(text, &value))
    return value;

  if (mType == kTypeBool || mType == kTypeEnum)
    return 0.0;

  value = text ? std::strtod(text, nullptr) : 0.0;
  // Typing "nan" must not produce a value that every later computation inherits.
  if (std::isnan(value))
    return Value();
  if (mFlags & kFlagNegateDisplay)
    value = -value;
  return ConstrainValue(value);
}

} // namespace umbra
