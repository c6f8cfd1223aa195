#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IEffectConstants.h"

namespace umbra {

class IParam;

// How a parameter's normalised position (0..1) maps to its real value.
class Shape {
public:
  virtual ~Shape() = default;
  virtual Shape* Clone() const = 0;
  virtual void Init(const IParam&) {}
  virtual int GetDisplayType() const = 0;
  virtual double NormalizedToValue(double normalized, const IParam& param) const = 0;
  virtual double ValueToNormalized(double value, const IParam& param) const = 0;
};

// Curve kinds a host may use to draw a parameter's scale.
enum EDisplayCurve {
  kDisplayLinear = 0,
  kDisplayLog = 1,
  kDisplayExp = 2,
  kDisplaySquared = 3,
  kDisplaySquareRoot = 4,
  kDisplayCubed = 5,
  kDisplayCubeRoot = 6,
};

class ShapeLinear : public Shape {
public:
  Shape* Clone() const override { return new ShapeLinear(*this); }
  int GetDisplayType() const override { return kDisplayLinear; }
  double NormalizedToValue(double normalized, const IParam& param) const override;
  double ValueToNormalized(double value, const IParam& param) const override;
};

class ShapePowCurve : public Shape {
public:
  explicit ShapePowCurve(double shape) : mShape(shape) {}
  Shape* Clone() const override { return new ShapePowCurve(*this); }
  int GetDisplayType() const override;
  double NormalizedToValue(double normalized, const IParam& param) const override;
  double ValueToNormalized(double value, const IParam& param) const override;

private:
  double mShape;
};

class ShapeExp : public Shape {
public:
  Shape* Clone() const override { return new ShapeExp(*this); }
  void Init(const IParam& param) override;
  int GetDisplayType() const override { return kDisplayLog; }
  double NormalizedToValue(double normalized, const IParam& param) const override;
  double ValueToNormalized(double value, const IParam& param) const override;

private:
  double mAdd = 1.0;
  double mMul = 1.0;
};

// One automatable parameter. The value is a single atomic double so that the host, the editor
// and the audio thread can share it without locks; every other field is written only while the
// plug-in is being constructed.
class IParam {
public:
  enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

  enum EParamUnit {
    kUnitPercentage = 0, kUnitSeconds, kUnitMilliseconds, kUnitSamples, kUnitDB, kUnitLinearGain,
    kUnitPan, kUnitPhase, kUnitDegrees, kUnitMeters, kUnitRate, kUnitRatio, kUnitFrequency,
    kUnitOctaves, kUnitCents, kUnitAbsCents, kUnitSemitones, kUnitMIDINote, kUnitMIDICtrlNum,
    kUnitBPM, kUnitBeats, kUnitCustom,
  };

  enum EFlags {
    kFlagsNone = 0,
    kFlagCannotAutomate = 1,
    kFlagStepped = 2,
    kFlagNegateDisplay = 4,
    kFlagSignDisplay = 8,
    kFlagMeta = 16,
  };

  using DisplayFunc = std::function<void(double value, std::string& display)>;

  IParam();
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", int flags = 0, const char* group = "",
                  const Shape& shape = ShapeLinear(), EParamUnit unit = kUnitCustom,
                  DisplayFunc displayFunc = nullptr);
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label,
                int flags, const char* group, std::initializer_list<const char*> texts);
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "",
                int flags = 0, const char* group = "");
  void InitBool(const char* name, bool defaultVal, const char* label = "", int flags = 0,
                const char* group = "", const char* offText = "off", const char* onText = "on");
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               int flags = 0, const char* group = "");

  void SetDisplayText(double value, const char* text);
  void SetDisplayPrecision(int precision) { mDisplayPrecision = precision; }

  // Value access; safe from any thread.
  double Value() const { return mValue.load(std::memory_order_relaxed); }
  double CurrentValue() const { return Value(); }
  double ConstrainValue(double value) const;
  void StoreValue(double value);
  void StoreDefault() { StoreValue(mDefault); }
  double NormalizedFromValue(double value) const;
  double CurrentNormalized() const { return NormalizedFromValue(Value()); }
  double ValueFromNormalized(double normalized) const;
  void StoreNormalized(double normalized);

  // Display.
  void GetDisplay(double value, bool normalized, std::string& display,
                  bool withDisplayText = true) const;
  void GetDisplayWithLabel(std::string& display, bool withDisplayText = true) const;
  std::string GetDisplayWithLabel(bool withDisplayText = true) const;
  const char* GetDisplayText(double value) const;
  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  const char* GetDisplayTextAtIdx(int idx, double* value = nullptr) const;
  bool MapDisplayText(const char* text, double* value) const;
  double StringToValue(const char* text) const;

  const char* GetName() const { return mName.c_str(); }
  const char* GetLabel() const;
  const char* GetCustomLabel() const { return mLabel.c_str(); }
  const char* GetGroup() const { return mGroup.c_str(); }
  void GetBounds(double& lo, double& hi) const { lo = mMin; hi = mMax; }

  EParamType Type() const { return mType; }
  EParamUnit Unit() const { return mUnit; }
  double GetDefault() const { return mDefault; }
  double GetStep() const { return mStep; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetRange() const { return mMax - mMin; }
  int GetDisplayPrecision() const { return mDisplayPrecision; }
  int GetFlags() const { return mFlags; }
  bool GetStepped() const { return mFlags & kFlagStepped; }
  bool GetCanAutomate() const { return !(mFlags & kFlagCannotAutomate); }
  bool GetNegate() const { return mFlags & kFlagNegateDisplay; }
  bool GetSignDisplay() const { return mFlags & kFlagSignDisplay; }
  bool GetMeta() const { return mFlags & kFlagMeta; }
  const Shape& GetShape() const { return *mShape; }
  int GetDisplayType() const { return mShape->GetDisplayType(); }

private:
  struct DisplayText {
    double value;
    std::string text;
  };

  EParamType mType = kTypeNone;
  EParamUnit mUnit = kUnitCustom;
  std::atomic<double> mValue{0.0};
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  int mFlags = 0;
  std::string mName;
  std::string mLabel;
  std::string mGroup;
  std::unique_ptr<Shape> mShape;
  DisplayFunc mDisplayFunction;
  std::vector<DisplayText> mDisplayTexts;
};

// Copies at most maxLen - 1 bytes of src: the fixed text fields hold a terminator.
std::string CopyTextField(const char* src, int maxLen);

} // namespace umbra
