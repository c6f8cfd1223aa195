// The canvas's control list and frame loop: attaching, tags, values from the plug-in, and which
// pixels a frame repaints.

#include "ControlTestHelpers.h"
#include "Controls/IPanelControl.h"
#include "ICanvasEditorDelegate.h"
#include "Umbravox.h"

namespace umbra::ui::test {
namespace {

constexpr IColor kBlue{255, 0, 0, 255};
constexpr IColor kGreen{255, 0, 255, 0};

class FrameLoop : public ::testing::Test {
protected:
  FrameLoop() { canvas.SetDelegate(plug); }

  SwatchControl* Swatch(const IRECT& r, const IColor& color, int tag = -1,
                        int paramIdx = kNoParameter)
  {
    auto* c = new SwatchControl(r, paramIdx, color, &log);
    canvas.AttachControl(c, tag);
    return c;
  }

  TestPlug plug;
  ICanvasHeadless canvas{60, 40};
  std::vector<std::string> log;
};

// ---------------------------------------------------------------------------------------------
// Control list

TEST_F(FrameLoop, AttachRunsSetUpInOrderWithDelegateAndContextSet)
{
  auto* c = Swatch(IRECT(0, 0, 10, 10), kBlue);
  EXPECT_EQ(log, (std::vector<std::string>{"OnInit", "OnResize", "OnRescale", "OnAttached"}));
  EXPECT_TRUE(c->attachedWithDelegate);
  EXPECT_TRUE(c->attachedWithGraphics);
  EXPECT_EQ(c->GetUI(), &canvas);
  EXPECT_EQ(canvas.NControls(), 1);
  EXPECT_EQ(canvas.GetControl(0), c);
}

TEST_F(FrameLoop, GroupIsStored)
{
  auto* c = new SwatchControl(IRECT(0, 0, 10, 10));
  canvas.AttachControl(c, -1, "pitch");
  EXPECT_EQ(c->GetGroup(), "pitch");
}

TEST_F(FrameLoop, FirstControlKeepsItsTag)
{
  auto* first = Swatch(IRECT(0, 0, 10, 10), kBlue, 7);
  auto* second = Swatch(IRECT(0, 0, 10, 10), kBlue, 7);
  Swatch(IRECT(0, 0, 10, 10), kBlue);
  EXPECT_EQ(canvas.GetControlWithTag(7), first);
  EXPECT_NE(canvas.GetControlWithTag(7), second);
  EXPECT_EQ(canvas.GetControlWithTag(-1), nullptr);
  EXPECT_EQ(canvas.GetControlWithTag(3), nullptr);
}

TEST_F(FrameLoop, PanelBackgroundGoesUnderEverything)
{
  auto* c = Swatch(IRECT(0, 0, 10, 10), kBlue);
  log.clear();
  canvas.AttachPanelBackground(COLOR_WHITE);
  ASSERT_EQ(canvas.NControls(), 2);
  EXPECT_EQ(canvas.GetControl(1), c);
  EXPECT_EQ(canvas.GetControl(0)->GetRECT(), IRECT(0, 0, 60, 40));
  EXPECT_EQ(canvas.GetControl(0)->GetDelegate(), &plug);
}

TEST_F(FrameLoop, FindsTheFirstControlOfAParameter)
{
  Swatch(IRECT(0, 0, 10, 10), kBlue);
  auto* a = Swatch(IRECT(0, 0, 10, 10), kBlue, -1, kCurved);
  Swatch(IRECT(0, 0, 10, 10), kBlue, -1, kCurved);
  EXPECT_EQ(canvas.GetControlWithParamIdx(kCurved), a);
  EXPECT_EQ(canvas.GetControlWithParamIdx(kStepped), nullptr);
}

TEST_F(FrameLoop, UpdatePeersReachesOnlyOtherControlsOfTheParameter)
{
  auto* caller = Swatch(IRECT(0, 0, 10, 10), kBlue, -1, kPlain);
  auto* peer = Swatch(IRECT(0, 0, 10, 10), kBlue, -1, kPlain);
  auto* stranger = Swatch(IRECT(0, 0, 10, 10), kBlue, -1, kCurved);
  caller->SetValue(0.3);
  canvas.UpdatePeers(caller, 0);
  EXPECT_DOUBLE_EQ(peer->GetValue(), 0.3);
  EXPECT_DOUBLE_EQ(stranger->GetValue(), 0.0);
  EXPECT_TRUE(plug.sent.empty());
}

TEST_F(FrameLoop, DelegateCallsReachControlsByParameterAndTag)
{
  auto* bound = Swatch(IRECT(0, 0, 10, 10), kBlue, -1, kStepped);
  auto* tagged = Swatch(IRECT(0, 0, 10, 10), kBlue, 4);
  struct MsgControl : SwatchControl {
    using SwatchControl::SwatchControl;
    void OnMsgFromDelegate(int msgTag, int dataSize, const void*) override
    {
      lastMsg = msgTag;
      lastSize = dataSize;
    }
    int lastMsg = -1, lastSize = -1;
  };
  auto* receiver = new MsgControl(IRECT(0, 0, 10, 10));
  canvas.AttachControl(receiver, 5);

  umbra::IEditorContext& context = canvas;
  context.SetParamValueFromDelegate(kStepped, 0.7);
  context.SetControlValueFromDelegate(4, 0.2);
  context.SetControlValueFromDelegate(99, 0.9); // no such tag: nothing
  const int data = 3;
  context.SendControlMsgFromDelegate(5, 12, sizeof data, &data);

  EXPECT_DOUBLE_EQ(bound->GetValue(), 0.7);
  EXPECT_DOUBLE_EQ(tagged->GetValue(), 0.2);
  EXPECT_EQ(receiver->lastMsg, 12);
  EXPECT_EQ(receiver->lastSize, static_cast<int>(sizeof data));
  EXPECT_TRUE(plug.sent.empty());
}

TEST_F(FrameLoop, CloseWindowRemovesEveryControl)
{
  Swatch(IRECT(0, 0, 10, 10), kBlue, 1);
  umbra::IEditorContext& context = canvas;
  EXPECT_EQ(context.OpenWindow(nullptr), nullptr);
  context.CloseWindow();
  EXPECT_EQ(canvas.NControls(), 0);
  EXPECT_EQ(canvas.GetControlWithTag(1), nullptr);
}

TEST(EditorDelegate, HostChangeReachesTheBoundControlThroughAnOpenCanvas)
{
  std::unique_ptr<Umbravox> plug(MakePlug());
  SwatchControl* octave = nullptr;
  plug->SetMakeGraphicsFunc([&]() -> std::unique_ptr<umbra::IEditorContext> {
    auto canvas = std::make_unique<ICanvasHeadless>(1200, 800);
    canvas->SetDelegate(*plug);
    return canvas;
  });
  plug->SetLayoutFunc([&](umbra::IEditorContext* context) {
    auto* canvas = static_cast<ICanvas*>(context);
    octave = new SwatchControl(IRECT(0, 0, 10, 10), kOctave);
    canvas->AttachControl(octave);
  });
  plug->OpenWindow(nullptr);
  ASSERT_NE(octave, nullptr);

  // A host change of 2.6 octave steps is stored as 3, the fourth of five choices.
  plug->SendParameterValueFromDelegate(kOctave, 2.6, false);
  EXPECT_DOUBLE_EQ(octave->GetValue(), 0.75);

  // And the control's move goes the other way, to the parameter.
  octave->SetValueFromUserInput(0.25);
  EXPECT_DOUBLE_EQ(plug->GetParam(kOctave)->Value(), 1.0);
  plug->CloseWindow();
}

// ---------------------------------------------------------------------------------------------
// Frames and pixels

TEST_F(FrameLoop, NothingDirtyDrawsNothing)
{
  auto* c = Swatch(IRECT(0, 0, 10, 10), kBlue);
  EXPECT_EQ(canvas.RunFrames(1), 1);
  EXPECT_EQ(c->draws, 1);
  EXPECT_EQ(canvas.RunFrames(3), 0);
  EXPECT_EQ(c->draws, 1);
}

TEST_F(FrameLoop, DirtyRegionsAreTheGrownBounds)
{
  Swatch(IRECT(10, 10, 20, 20), kBlue);
  IRECTList rects;
  EXPECT_TRUE(canvas.IsDirty(rects));
  ASSERT_EQ(rects.Size(), 1);
  EXPECT_EQ(rects.Get(0), IRECT(9.25f, 9.25f, 20.75f, 20.75f));
}

TEST_F(FrameLoop, ControlOutsideEveryDirtyRegionIsNotRedrawn)
{
  auto* left = Swatch(IRECT(0, 0, 20, 20), kBlue);
  auto* right = Swatch(IRECT(40, 0, 60, 20), kBlue);
  canvas.RunFrames(1);
  ASSERT_TRUE(ColorNear(canvas.GetPixel(10, 10), kBlue, 0));

  left->color = kGreen; // changed, but not marked dirty
  right->color = kGreen;
  right->SetDirty(false);
  canvas.RunFrames(1);

  EXPECT_EQ(left->draws, 1);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(10, 10), kBlue, 0));
  EXPECT_TRUE(ColorNear(canvas.GetPixel(50, 10), kGreen, 0));
}

TEST_F(FrameLoop, ControlIsClippedToItsOwnGrownBounds)
{
  // Draws far beyond its bounds; only its bounds (grown by 0.75, pixel aligned) may show it.
  struct Spill : SwatchControl {
    using SwatchControl::SwatchControl;
    void Draw(ICanvas& g) override { g.FillRect(color, IRECT(0, 0, 60, 40)); }
  };
  canvas.AttachControl(new Spill(IRECT(20, 10, 30, 20), kNoParameter, kBlue));
  canvas.RunFrames(1);
  const Ink ink = FindInk(canvas);
  EXPECT_EQ(ink.left, 19);
  EXPECT_EQ(ink.top, 9);
  EXPECT_EQ(ink.right, 31);
  EXPECT_EQ(ink.bottom, 21);
}

TEST_F(FrameLoop, ClipAtScaleTwoFollowsTheDeviceGrid)
{
  ICanvasHeadless big(60, 40, 1.f, 2.f);
  struct Spill : SwatchControl {
    using SwatchControl::SwatchControl;
    void Draw(ICanvas& g) override { g.FillRect(color, IRECT(0, 0, 60, 40)); }
  };
  big.AttachControl(new Spill(IRECT(20, 10, 30, 20), kNoParameter, kBlue));
  big.RunFrames(1);
  const Ink ink = FindInk(big);
  // 20 - 0.75 = 19.25 → 38.5 device pixels, floored to 38.
  EXPECT_EQ(ink.left, 38);
  EXPECT_EQ(ink.top, 18);
  EXPECT_EQ(ink.right, 62);
  EXPECT_EQ(ink.bottom, 42);
}

TEST_F(FrameLoop, ParentLimitsAChildsRegion)
{
  auto* parent = Swatch(IRECT(0, 0, 20, 20), kBlue);
  auto* child = Swatch(IRECT(10, 10, 40, 40), kGreen);
  child->SetParent(parent);
  canvas.RunFrames(1);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(15, 15), kGreen, 0));
  EXPECT_EQ(canvas.GetPixel(30, 30).A, 0);
}

TEST_F(FrameLoop, ControlDirtyingItselfWhileDrawingIsDrawnNextFrame)
{
  auto* c = Swatch(IRECT(0, 0, 10, 10), kBlue);
  c->dirtyWhileDrawing = true;
  EXPECT_EQ(canvas.RunFrames(3), 3);
  EXPECT_EQ(c->draws, 3);
  c->dirtyWhileDrawing = false;
  canvas.RunFrames(2);
  EXPECT_EQ(c->draws, 4);
}

TEST_F(FrameLoop, HiddenControlsAreSkippedButNotTheBackground)
{
  auto* background = Swatch(IRECT(0, 0, 60, 40), kBlue);
  auto* hidden = Swatch(IRECT(10, 10, 20, 20), kGreen);
  background->Hide(true);
  hidden->Hide(true);
  canvas.RunFrames(1);
  EXPECT_EQ(background->draws, 1);
  EXPECT_EQ(hidden->draws, 0);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(15, 15), kBlue, 0));
}

TEST_F(FrameLoop, PanelFillsWithItsPattern)
{
  canvas.AttachPanelBackground(
    IPattern::CreateLinearGradient(0, 0, 60, 0, {{COLOR_BLACK, 0.f}, {COLOR_WHITE, 1.f}}));
  canvas.RunFrames(1);
  EXPECT_LT(canvas.GetPixel(2, 20).R, 20);
  EXPECT_GT(canvas.GetPixel(57, 20).R, 235);
  EXPECT_EQ(canvas.GetPixel(30, 20).A, 255);
}

TEST_F(FrameLoop, OverlappingRegionsPaintBlendedControlsOnce)
{
  // Two dirty controls whose regions overlap over a half-transparent one: were the overlap
  // painted twice, it would come out darker than the rest.
  struct Tint : SwatchControl {
    using SwatchControl::SwatchControl;
    void Draw(ICanvas& g) override { g.FillRect(color, IRECT(0, 0, 60, 40), &BLEND_50); }
  };
  auto* tint = new Tint(IRECT(0, 0, 60, 40), kNoParameter, kBlue);
  canvas.AttachControl(tint);
  canvas.RunFrames(1);
  const int once = canvas.GetPixel(15, 15).A;

  auto* a = Swatch(IRECT(0, 0, 20, 20), COLOR_TRANSPARENT);
  auto* b = Swatch(IRECT(10, 10, 30, 30), COLOR_TRANSPARENT);
  tint->SetClean();
  canvas.RunFrames(1); // a and b are new, so dirty; tint is redrawn only inside their regions
  (void)a;
  (void)b;
  EXPECT_GT(canvas.GetPixel(15, 15).A, once); // drawn over its old self once more...
  EXPECT_EQ(canvas.GetPixel(15, 15).A, canvas.GetPixel(5, 5).A); // ...but only once everywhere
}

TEST_F(FrameLoop, StrictDrawingRedrawsTheUnionOnce)
{
  auto* left = Swatch(IRECT(0, 0, 10, 10), kBlue);
  auto* right = Swatch(IRECT(40, 0, 50, 10), kBlue);
  auto* middle = Swatch(IRECT(20, 0, 30, 10), kBlue);
  canvas.SetStrictDrawing(true);
  canvas.RunFrames(1);
  middle->color = kGreen; // not dirty, but inside the union of the other two
  left->SetDirty(false);
  right->SetDirty(false);
  canvas.RunFrames(1);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(25, 5), kGreen, 0));
  EXPECT_EQ(middle->draws, 2);
}

TEST_F(FrameLoop, AnimatingControlIsRedrawnEveryFrame)
{
  auto* c = Swatch(IRECT(0, 0, 10, 10), kBlue);
  c->SetAnimation(DefaultAnimationFunc, 50.0); // three 60 fps frames: 16.7, 33.3, 50 ms
  EXPECT_EQ(canvas.RunFrames(10), 4);
  EXPECT_FALSE(c->GetAnimationFunction());
}

TEST_F(FrameLoop, ScreenScaleRescalesAndDirtiesEveryControl)
{
  auto* c = Swatch(IRECT(0, 0, 10, 10), kBlue);
  canvas.RunFrames(1);
  log.clear();
  canvas.SetScreenScale(2.f);
  EXPECT_EQ(log, std::vector<std::string>{"OnRescale"});
  EXPECT_TRUE(c->IsDirty());
  canvas.RunFrames(1);
  EXPECT_TRUE(ColorNear(canvas.GetPixel(19, 19), kBlue, 0));
}

} // namespace
} // namespace umbra::ui::test
