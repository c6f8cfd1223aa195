// Mouse, wheel and key routing: which control an event reaches, capture while dragging, hover,
// the host gestures around a press, and the corner resizer with the editor's size and zoom.

#include "Controls/ICornerResizerControl.h"
#include "Controls/IPanelControl.h"
#include "Controls/IPopupMenuControl.h"
#include "Controls/ISliderControlBase.h"
#include "Controls/ITextControl.h"
#include "Controls/ITextEntryControl.h"
#include "ICanvasEditorDelegate.h"
#include "RoutingTestHelpers.h"

namespace umbra::ui::test {
namespace {

using Routing = EditorFixture;

// ---------------------------------------------------------------------------------------------
// Which control

TEST_F(Routing, LaterAttachedControlWins)
{
  auto* below = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  auto* above = Attach(new ProbeControl(IRECT(50, 50, 150, 150)));
  Click(75, 75);
  EXPECT_EQ(above->Count("down"), 1);
  EXPECT_EQ(below->Count("down"), 0);
  Click(25, 25);
  EXPECT_EQ(below->Count("down"), 1);
  EXPECT_EQ(canvas.GetMouseDownX(), 25.f);
  EXPECT_EQ(canvas.GetMouseDownY(), 25.f);
}

TEST_F(Routing, HiddenIgnoringAndDisabledControlsLetTheClickThrough)
{
  auto* below = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  auto* above = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));

  above->Hide(true);
  EXPECT_EQ(canvas.GetMouseControl(50, 50, false), below);
  above->Hide(false);
  above->SetIgnoreMouse(true);
  EXPECT_EQ(canvas.GetMouseControl(50, 50, false), below);
  above->SetIgnoreMouse(false);
  above->SetDisabled(true);
  Click(50, 50);
  EXPECT_EQ(below->Count("down"), 1);
  EXPECT_EQ(above->Count("down"), 0);

  // Unless the disabled control asks for the mouse all the same.
  above->SetMouseEventsWhenDisabled(true);
  Click(50, 50);
  EXPECT_EQ(above->Count("down"), 1);
}

TEST_F(Routing, NothingUnderThePointerIsIgnored)
{
  Attach(new ProbeControl(IRECT(0, 0, 10, 10)));
  Click(500, 500);
  EXPECT_FALSE(canvas.OnMouseDblClick(500, 500, LeftButton()));
  EXPECT_FALSE(canvas.OnMouseWheel(500, 500, IMouseMod(), 1.f));
}

TEST_F(Routing, MouseOverNeverReportsTheBackground)
{
  canvas.AttachPanelBackground(IPattern(COLOR_BLACK));
  auto* probe = Attach(new ProbeControl(IRECT(100, 100, 200, 200)));

  EXPECT_FALSE(canvas.OnMouseOver(10, 10, IMouseMod()));
  EXPECT_EQ(canvas.GetMouseOverIdx(), -1);
  EXPECT_EQ(canvas.GetMouseOverControl(), nullptr);

  EXPECT_TRUE(canvas.OnMouseOver(150, 150, IMouseMod()));
  EXPECT_EQ(canvas.GetMouseOverIdx(), 1);
  EXPECT_EQ(canvas.GetMouseOverControl(), probe);
  EXPECT_TRUE(probe->GetMouseIsOver());

  EXPECT_FALSE(canvas.OnMouseOver(10, 10, IMouseMod()));
  EXPECT_EQ(probe->outs, 1);
  EXPECT_FALSE(probe->GetMouseIsOver());

  // Leaving the window: every control hears it, and the cursor is the arrow again.
  canvas.OnMouseOver(150, 150, IMouseMod());
  canvas.OnMouseOut();
  EXPECT_EQ(canvas.GetMouseOverIdx(), -1);
  EXPECT_FALSE(probe->GetMouseIsOver());
  EXPECT_EQ(canvas.GetMouseCursor(), ECursor::kArrow);
}

TEST_F(Routing, HoverOverADisabledControlOnlyWhenItAsks)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  probe->SetDisabled(true);
  // Index 0 never hovers, so the probe sits on something.
  auto* lower = probe;
  auto* upper = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  upper->SetDisabled(true);
  EXPECT_FALSE(canvas.OnMouseOver(50, 50, IMouseMod()));
  upper->SetMouseOverWhenDisabled(true);
  EXPECT_TRUE(canvas.OnMouseOver(50, 50, IMouseMod()));
  EXPECT_EQ(canvas.GetMouseOverControl(), upper);
  EXPECT_EQ(lower->overs, 0);
}

// ---------------------------------------------------------------------------------------------
// Capture and gestures

TEST_F(Routing, CapturedSliderFollowsADragOutsideAndEndsTheGestureOnce)
{
  auto* slider = Attach(new ProbeControl(IRECT(100, 100, 120, 400), kMix));
  slider->snapOnDrag = true;

  Down(110, 250);
  EXPECT_TRUE(canvas.IsCaptured(slider));
  EXPECT_EQ(host.begins, std::vector<int>{kMix});

  Drag(110, 175, 0, -75); // a quarter from the top
  EXPECT_NEAR(plug->GetParam(kMix)->Value(), 75.0, 1e-9);
  Drag(600, 700, 490, 525); // far outside, below the track
  EXPECT_EQ(slider->Count("drag"), 2);
  EXPECT_NEAR(plug->GetParam(kMix)->Value(), 0.0, 1e-9);

  Up(600, 700);
  EXPECT_EQ(slider->Count("up"), 1);
  EXPECT_EQ(host.ends, std::vector<int>{kMix});
  EXPECT_FALSE(canvas.IsCaptured(slider));

  // Released, it hears no more drags.
  Drag(110, 150, 0, 5);
  EXPECT_EQ(slider->Count("drag"), 2);
  Up(110, 150);
  EXPECT_EQ(host.ends.size(), 1u);
}

TEST_F(Routing, GestureForEveryLinkedValue)
{
  class Pair : public ProbeControl {
  public:
    Pair() : ProbeControl(IRECT(0, 0, 50, 50)) { mVals = {{kHaunt, 0.0}, {kPossess, 0.0}, {-1, 0.0}}; }
  };
  Attach(new Pair);
  Click(10, 10);
  EXPECT_EQ(host.begins, (std::vector<int>{kHaunt, kPossess}));
  EXPECT_EQ(host.ends, (std::vector<int>{kHaunt, kPossess}));
}

TEST_F(Routing, ZeroDeltaDragIsNotDelivered)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  Down(50, 50);
  Drag(50, 50, 0, 0);
  EXPECT_EQ(probe->Count("drag"), 0);
  Drag(51, 50, 1, 0);
  Drag(51, 49, 0, -1);
  EXPECT_EQ(probe->Count("drag"), 2);
  Up(51, 49);
}

TEST_F(Routing, HostEchoesAreIgnoredWhileCaptured)
{
  auto* slider = Attach(new ProbeControl(IRECT(0, 0, 20, 100), kHaunt));
  slider->SetValue(0.5);
  Down(10, 50);
  canvas.SetParamValueFromDelegate(kHaunt, 0.2);
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.5);
  Up(10, 50);
  canvas.SetParamValueFromDelegate(kHaunt, 0.2);
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.2);
}

TEST_F(Routing, DoubleClickOnACaptionIsASecondMouseDown)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kHaunt));
  caption->SetValue(0.9);

  EXPECT_TRUE(canvas.OnMouseDblClick(150, 110, LeftButton()));
  EXPECT_EQ(host.begins, std::vector<int>{kHaunt});
  EXPECT_DOUBLE_EQ(caption->GetValue(), 0.9); // not back to the default
  EXPECT_EQ(canvas.GetControlInTextEntry(), caption); // the press prompted for a value
  Up(150, 110);
  EXPECT_EQ(host.ends, std::vector<int>{kHaunt});
  EXPECT_TRUE(Press(kVK_ESCAPE));
}

TEST_F(Routing, DoubleClickOnAnOrdinaryControlIsADoubleClickAndReleasesIt)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100), kHaunt));
  EXPECT_TRUE(canvas.OnMouseDblClick(50, 50, LeftButton()));
  EXPECT_EQ(probe->Count("dblclick"), 1);
  EXPECT_EQ(probe->Count("down"), 0);
  EXPECT_FALSE(canvas.IsCaptured(probe));
  EXPECT_TRUE(host.begins.empty());
}

TEST_F(Routing, RightClickWithAnEmptyContextMenuDoesNothing)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100), kHaunt));
  Down(50, 50, RightButton());
  EXPECT_EQ(probe->Count("down"), 0);
  EXPECT_FALSE(canvas.IsCaptured(probe));
  Up(50, 50, RightButton());
  EXPECT_TRUE(host.begins.empty());
  EXPECT_TRUE(host.ends.empty());
  // No menu was even made.
  EXPECT_EQ(canvas.GetPopupMenuControl(), nullptr);
}

TEST_F(Routing, RightClickOpensTheContextMenuWithoutAGesture)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100), kHaunt));
  probe->contextItems = {"Copy", "Paste"};
  Down(40, 40, RightButton());
  IPopupMenuControl* popup = canvas.GetPopupMenuControl();
  ASSERT_TRUE(popup->IsOpen());
  Up(40, 40, RightButton());

  const IRECT paste = popup->GetItemRECT(1);
  Click(paste.MW(), paste.MH());
  EXPECT_EQ(probe->contextSelections, std::vector<int>{1});
  EXPECT_EQ(probe->Count("down"), 0);
  EXPECT_TRUE(host.begins.empty());
  EXPECT_TRUE(host.ends.empty());
}

TEST_F(Routing, RightClickOnAControlWithoutAParameterIsAnOrdinaryPress)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  Click(50, 50, RightButton());
  EXPECT_EQ(probe->Count("down"), 1);
}

// ---------------------------------------------------------------------------------------------
// Wheel and keys

TEST_F(Routing, WheelGoesToTheControlUnderThePointer)
{
  auto* left = Attach(new ProbeControl(IRECT(0, 0, 100, 100)));
  auto* right = Attach(new ProbeControl(IRECT(100, 0, 200, 100)));
  EXPECT_TRUE(canvas.OnMouseWheel(150, 50, IMouseMod(), -1.f));
  EXPECT_EQ(right->Count("wheel"), 1);
  EXPECT_EQ(right->lastWheel, -1.f);
  EXPECT_EQ(left->Count("wheel"), 0);
  EXPECT_FALSE(canvas.IsCaptured(right));
}

TEST_F(Routing, WheelOnASliderNudgesTheParameter)
{
  class Slider : public ISliderControlBase {
  public:
    using ISliderControlBase::ISliderControlBase;
    void Draw(ICanvas&) override {}
  };
  auto* slider = Attach(new Slider(IRECT(0, 0, 20, 100), kHaunt));
  slider->SetValue(0.5);
  canvas.OnMouseWheel(10, 50, IMouseMod(), 1.f);
  EXPECT_NEAR(plug->GetParam(kHaunt)->Value(), 51.0, 1e-9);
}

TEST_F(Routing, KeysGoToTheControlUnderTheMouseButNeverTheBackground)
{
  auto* background = Attach(new ProbeControl(IRECT(0, 0, 1200, 800)));
  background->handlesKeys = true;
  auto* probe = Attach(new ProbeControl(IRECT(100, 100, 200, 200)));

  EXPECT_FALSE(Press('A', "a", 150, 150)); // the probe saw it and passed
  EXPECT_EQ(probe->Count("key"), 1);
  probe->handlesKeys = true;
  EXPECT_TRUE(Press('A', "a", 150, 150));
  EXPECT_EQ(probe->lastKey, 'A');

  EXPECT_FALSE(Press('B', "b", 10, 10)); // over the background only: unhandled
  EXPECT_EQ(background->Count("key"), 0);

  // The key handler decides about what no control took.
  std::vector<std::pair<int, bool>> seen;
  canvas.SetKeyHandlerFunc([&](const IKeyPress& key, bool isUp) {
    seen.emplace_back(key.VK, isUp);
    return key.VK == 'B';
  });
  EXPECT_TRUE(Press('B', "b", 10, 10));
  EXPECT_FALSE(Press('C', "c", 10, 10));
  EXPECT_FALSE(canvas.OnKeyUp(10, 10, Key('C', "c")));
  EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{'B', false}, {'C', false}, {'C', true}}));
}

TEST_F(Routing, GUIIdleReachesEveryControl)
{
  class Idler : public ProbeControl {
  public:
    using ProbeControl::ProbeControl;
    void OnGUIIdle() override { ++idles; }
    int idles = 0;
  };
  auto* a = Attach(new Idler(IRECT(0, 0, 10, 10)));
  auto* b = Attach(new Idler(IRECT(10, 0, 20, 10)));
  canvas.OnGUIIdle();
  EXPECT_EQ(a->idles, 1);
  EXPECT_EQ(b->idles, 1);
}

// ---------------------------------------------------------------------------------------------
// Corner resizer, size and zoom

TEST_F(Routing, CornerResizerSitsInTheCornerAtItsScreenSize)
{
  canvas.AttachCornerResizer();
  ICornerResizerControl* resizer = canvas.GetCornerResizer();
  ASSERT_NE(resizer, nullptr);
  EXPECT_EQ(resizer->GetRECT(), IRECT(1180, 780, 1200, 800));
  EXPECT_EQ(resizer->GetMode(), EUIResizerMode::kScale);

  canvas.AttachCornerResizer(EUIResizerMode::kSize); // a second one is discarded
  EXPECT_EQ(canvas.GetCornerResizer(), resizer);
  EXPECT_EQ(resizer->GetMode(), EUIResizerMode::kScale);

  canvas.Resize(1200, 800, 2.f);
  EXPECT_EQ(resizer->GetRECT(), IRECT(1190, 790, 1200, 800));
}

TEST_F(Routing, CornerResizerTakesTheClickBeforeAnyControl)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 1200, 800)));
  canvas.AttachCornerResizer();
  EXPECT_EQ(canvas.GetMouseControl(1195, 795, false), canvas.GetCornerResizer());
  EXPECT_EQ(canvas.GetMouseControl(1000, 795, false), probe);
}

TEST_F(Routing, CornerResizerHoverShowsTheResizeCursorAndRestoresTheOldOne)
{
  Attach(new ProbeControl(IRECT(0, 0, 10, 10)));
  Attach(new ProbeControl(IRECT(0, 0, 1200, 800)));
  canvas.AttachCornerResizer();
  canvas.OnMouseOver(1195, 795, IMouseMod());
  EXPECT_EQ(canvas.GetMouseCursor(), ECursor::kSizeNWSE);
  EXPECT_TRUE(canvas.GetCornerResizer()->GetMouseIsOver());
  canvas.OnMouseOver(600, 400, IMouseMod());
  EXPECT_EQ(canvas.GetMouseCursor(), ECursor::kArrow);
  EXPECT_FALSE(canvas.GetCornerResizer()->GetMouseIsOver());
}

TEST_F(Routing, DraggingTheCornerZoomsTheEditor)
{
  canvas.AttachCornerResizer();
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 10, 10)));
  canvas.RunFrames(1);

  Down(1190, 790);
  EXPECT_TRUE(canvas.GetResizingInProcess());
  // The pointer goes to 1.1 times its window position; the platform reports it in the
  // editor's logical pixels at the current zoom, which is still 1.
  Drag(1309, 869, 119, 79);
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 1.1f);
  EXPECT_EQ(canvas.Width(), 1200);
  EXPECT_EQ(canvas.Height(), 800);
  EXPECT_EQ(probe->Count("drag"), 0);
  EXPECT_NEAR(canvas.GetCornerResizer()->GetRECT().W(), 20.f / 1.1f, 1e-4);
  EXPECT_TRUE(probe->IsDirty());

  // The smaller of the two ratios wins; now at zoom 1.1 the window position is x · 1.1.
  Drag(1300 / 1.1f, 2000 / 1.1f, 1, 1);
  EXPECT_NEAR(canvas.GetDrawScale(), 1300.f / 1190.f, 1e-5);

  Up(1300 / 1.1f, 2000 / 1.1f);
  EXPECT_FALSE(canvas.GetResizingInProcess());
  EXPECT_EQ(canvas.NControls(), 1);
}

TEST_F(Routing, ZoomByTheCornerStaysWithinTheConstraints)
{
  canvas.AttachCornerResizer();
  canvas.SetScaleConstraints(1.5f, 0.75f);
  EXPECT_EQ(canvas.GetMinScale(), 0.75f);
  EXPECT_EQ(canvas.GetMaxScale(), 1.5f);

  Down(1190, 790);
  Drag(5000, 5000, 10, 10);
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 1.5f);
  Drag(10, 10, -10, -10);
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 0.75f);
  Up(10, 10);

  canvas.Resize(1200, 800, 3.f);
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 1.5f);
  canvas.Resize(1200, 800, 0.1f);
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 0.75f);
}

TEST_F(Routing, ResizeReleasesTheCaptureAndRedrawsEverything)
{
  auto* probe = Attach(new ProbeControl(IRECT(0, 0, 100, 100), kHaunt));
  canvas.RunFrames(1);
  Down(50, 50);
  canvas.Resize(1300, 900, 1.f);
  EXPECT_FALSE(canvas.IsCaptured(probe));
  EXPECT_TRUE(probe->IsDirty());
  EXPECT_EQ(canvas.Width(), 1300);

  canvas.RunFrames(1);
  canvas.Resize(1300, 900, 1.f); // unchanged: nothing happens
  EXPECT_FALSE(probe->IsDirty());
}

TEST_F(Routing, SizeModeResizerGivesTheLayoutMoreRoom)
{
  canvas.AttachCornerResizer(EUIResizerMode::kSize);
  Down(1190, 790);
  Drag(1400, 900, 210, 110);
  Up(1400, 900);
  EXPECT_EQ(canvas.Width(), 1400);
  EXPECT_EQ(canvas.Height(), 900);
  EXPECT_FLOAT_EQ(canvas.GetDrawScale(), 1.f);
  EXPECT_EQ(canvas.GetCornerResizer()->GetRECT(), IRECT(1380, 880, 1400, 900));
}

// The editor the plug-in opens: headless canvases from its make-graphics function, laid out
// with a resizer.
class EditorWindow : public EditorFixture {
protected:
  EditorWindow()
  {
    plug->SetMakeGraphicsFunc([this]() -> std::unique_ptr<umbra::IEditorContext> {
      auto made = std::make_unique<ICanvasHeadless>(plug->GetEditorWidth(),
                                                    plug->GetEditorHeight());
      made->SetDelegate(*plug);
      return made;
    });
    plug->SetLayoutFunc([this](umbra::IEditorContext* context) {
      auto* g = static_cast<ICanvas*>(context);
      g->AttachPanelBackground(IPattern(COLOR_BLACK));
      g->AttachCornerResizer();
      ++layouts;
    });
  }
  ~EditorWindow() override { plug->CloseWindow(); }

  ICanvas* UI() const { return static_cast<ICanvas*>(plug->GetUI()); }
  int layouts = 0;
};

TEST_F(EditorWindow, ReopensAtTheSizeItWasResizedTo)
{
  plug->OpenWindow(nullptr);
  ASSERT_NE(UI(), nullptr);
  EXPECT_EQ(UI()->Width(), 1200);
  UI()->Resize(1500, 1000, 1.f);
  plug->CloseWindow();
  EXPECT_EQ(plug->GetUI(), nullptr);

  plug->OpenWindow(nullptr);
  ASSERT_NE(UI(), nullptr);
  EXPECT_EQ(layouts, 2);
  EXPECT_EQ(UI()->Width(), 1500);
  EXPECT_EQ(UI()->Height(), 1000);
  // The new corner handle found the new corner.
  EXPECT_EQ(UI()->GetCornerResizer()->GetRECT(), IRECT(1480, 980, 1500, 1000));
}

TEST_F(EditorWindow, ReopensAtTheZoomTheCornerLeft)
{
  plug->OpenWindow(nullptr);
  UI()->OnMouseDown({IMouseInfo{1190, 790, 0, 0, LeftButton()}});
  UI()->OnMouseDrag({IMouseInfo{1309, 869, 119, 79, LeftButton()}});
  UI()->OnMouseUp({IMouseInfo{1309, 869, 0, 0, LeftButton()}});
  EXPECT_FLOAT_EQ(UI()->GetDrawScale(), 1.1f);
  plug->CloseWindow();
  plug->OpenWindow(nullptr);
  EXPECT_FLOAT_EQ(UI()->GetDrawScale(), 1.1f);
  EXPECT_EQ(UI()->Width(), 1200);
}

TEST_F(EditorWindow, ScreenScaleTellsTheDelegateAndRescales)
{
  plug->OpenWindow(nullptr);
  UI()->SetScreenScale(2.f);
  EXPECT_EQ(UI()->GetScreenScale(), 2.f);
  EXPECT_FLOAT_EQ(UI()->GetBackingPixelScale(), 2.f);
  // The handle keeps its size in logical pixels: only the zoom changes it.
  EXPECT_EQ(UI()->GetCornerResizer()->GetRECT(), IRECT(1180, 780, 1200, 800));
}

} // namespace
} // namespace umbra::ui::test

// A host that resized the editor's window itself is not asked to resize it again.
TEST(EditorResize, OnlyTheEditorsOwnResizesAskTheHost)
{
  struct CountingPlug : umbra::Umbravox {
    CountingPlug() : umbra::Umbravox(umbra::InstanceInfo{}) {}
    bool EditorResize(int, int) override { ++requests; return true; }
    int requests = 0;
  } plug;
  plug.SetMakeGraphicsFunc([&plug]() -> std::unique_ptr<umbra::IEditorContext> {
    auto made = std::make_unique<umbra::ui::ICanvasHeadless>(1200, 800);
    made->SetDelegate(plug);
    return made;
  });
  plug.OpenWindow(nullptr);
  auto* ui = static_cast<umbra::ui::ICanvas*>(plug.GetUI());
  ASSERT_NE(ui, nullptr);

  plug.OnParentWindowResize(1300, 900); // the host's own resize
  EXPECT_EQ(ui->Width(), 1300);
  EXPECT_EQ(plug.requests, 0);

  ui->Resize(1400, 900, 1.f); // the editor's: the host must follow
  EXPECT_EQ(plug.requests, 1);
  plug.CloseWindow();
}
