#pragma once

// Shared by the control and frame-loop tests: a plug-in to stand behind the controls, and a
// control that draws a plain rectangle and records what happens to it.

#include <string>
#include <utility>
#include <vector>

#include "DrawingTestHelpers.h"
#include "ICanvas.h"
#include "TestHelpers.h"

namespace umbra::ui::test {

enum ETestParam { kPlain = 0, kCurved, kStepped, kChoice, kNumTestParams };

// A plug-in with one parameter of each kind the controls treat differently, which counts what
// the editor sends it.
class TestPlug : public umbra::test::SmallPlug {
public:
  TestPlug() : SmallPlug(umbra::test::SmallConfig(kNumTestParams))
  {
    GetParam(kPlain)->InitDouble("Plain", 50., 0., 100., 0.1, "%");
    GetParam(kCurved)->InitDouble("Curved", 25., 0., 100., 0.1, "", 0, "", umbra::ShapePowCurve(2.));
    GetParam(kStepped)->InitDouble("Stepped", 3.4, 0., 10., 1., "", IParam::kFlagStepped);
    GetParam(kChoice)->InitEnum("Choice", 1, 3, "", 0, "", {"Low", "Mid", "High"});
  }

  void SendParameterValueFromUI(int paramIdx, double normalized) override
  {
    sent.emplace_back(paramIdx, normalized);
    SmallPlug::SendParameterValueFromUI(paramIdx, normalized);
  }

  std::vector<std::pair<int, double>> sent;
};

// Fills its bounds with its colour through its blend.
class SwatchControl : public IControl {
public:
  explicit SwatchControl(const IRECT& bounds, int paramIdx = kNoParameter,
                         const IColor& c = COLOR_RED, std::vector<std::string>* log = nullptr)
    : IControl(bounds, paramIdx), color(c), mLog(log)
  {
  }

  void Draw(ICanvas& g) override
  {
    ++draws;
    g.FillRect(color, mRECT, &mBlend);
    if (dirtyWhileDrawing)
      SetDirty(false);
  }
  void OnInit() override { Note("OnInit"); }
  void OnResize() override { Note("OnResize"); }
  void OnRescale() override { Note("OnRescale"); }
  void OnAttached() override
  {
    Note("OnAttached");
    attachedWithDelegate = GetDelegate() != nullptr;
    attachedWithGraphics = GetUI() != nullptr;
  }

  IColor color;
  int draws = 0;
  bool dirtyWhileDrawing = false;
  bool attachedWithDelegate = false;
  bool attachedWithGraphics = false;

private:
  void Note(const char* what)
  {
    if (mLog)
      mLog->push_back(what);
  }
  std::vector<std::string>* mLog;
};

} // namespace umbra::ui::test
