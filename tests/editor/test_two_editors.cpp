// Two instances' editors open at once in one process, as in any host session with two Umbra Vox
// tracks: each editor's header icons, Escape and preset browser act on its own popups and its
// own plug-in, before and after the other editor has closed.

#include "ICanvasFactory.h"
#include "PopupTestHelpers.h"
#include "UmbravoxEditorParts.h"

namespace umbra::test {
namespace {

using namespace ui;

constexpr int kEscape = 27;

void Click(ICanvas& g, float x, float y)
{
  g.OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, LeftMouse()}});
  g.OnMouseUp({IMouseInfo{x, y, 0.f, 0.f, LeftMouse()}});
}

void ClickCentre(ICanvas& g, const IRECT& r) { Click(g, r.MW(), r.MH()); }

bool PressEscape(ICanvas& g)
{
  IKeyPress key;
  key.VK = kEscape;
  return g.OnKeyDown(600.f, 400.f, key);
}

ICanvasHeadless& OpenEditor(Umbravox& plug)
{
  plug.OpenWindow(nullptr);
  auto* canvas = dynamic_cast<ICanvasHeadless*>(plug.GetUI());
  EXPECT_NE(canvas, nullptr);
  return *canvas;
}

TEST(TwoEditors, EachReachesOnlyItsOwnPopupsAndPlugIn)
{
  SetDefaultPlatform(EPlatform::kHeadless);
  std::unique_ptr<Umbravox> first(MakePlug()), second(MakePlug());
  ICanvasHeadless& a = OpenEditor(*first);
  ICanvasHeadless& b = OpenEditor(*second);
  ASSERT_NE(AboutPopupOf(a), AboutPopupOf(b));
  ASSERT_NE(PresetPopupOf(a), PresetPopupOf(b));
  ASSERT_NE(PresetNameCtrlOf(a), PresetNameCtrlOf(b));

  // The first editor's ghost icon shows its own About popup; Escape there hides it.
  Click(a, 30, 28);
  EXPECT_TRUE(AboutPopupOf(a)->IsVisible());
  EXPECT_FALSE(AboutPopupOf(b)->IsVisible());
  EXPECT_TRUE(PressEscape(a));
  EXPECT_FALSE(AboutPopupOf(a)->IsVisible());

  // The second editor's preset icon opens its own browser.
  Click(b, 1170, 28);
  EXPECT_TRUE(PresetPopupOf(b)->IsOpen());
  EXPECT_FALSE(PresetPopupOf(a)->IsOpen());

  second->CloseWindow();
  ASSERT_EQ(second->GetUI(), nullptr);

  // The first editor goes on by itself, on its own plug-in.
  Click(a, 30, 28);
  EXPECT_TRUE(AboutPopupOf(a)->IsVisible());
  EXPECT_TRUE(PressEscape(a));
  EXPECT_FALSE(AboutPopupOf(a)->IsVisible());
  EXPECT_FALSE(PressEscape(a)); // nothing left open to take it

  Click(a, 1170, 28);
  PresetPopup& browser = *PresetPopupOf(a);
  ASSERT_TRUE(browser.IsOpen());
  a.RunFrames(1);
  ClickCentre(a, browser.RowRect(3));
  EXPECT_EQ(first->CurrentPresetIndex(), 3);
  EXPECT_STREQ(PresetNameCtrlOf(a)->GetStr(), first->GetPresetName(3));
  ClickCentre(a, browser.SelectButtonRect());
  EXPECT_FALSE(browser.IsOpen());
  EXPECT_EQ(first->CurrentPresetIndex(), 3);
  EXPECT_EQ(second->CurrentPresetIndex(), 0);

  // Reopened, the second editor starts with everything closed and its own preset's name.
  ICanvasHeadless& reopened = OpenEditor(*second);
  EXPECT_FALSE(AboutPopupOf(reopened)->IsVisible());
  EXPECT_FALSE(PresetPopupOf(reopened)->IsOpen());
  EXPECT_STREQ(PresetNameCtrlOf(reopened)->GetStr(), second->GetPresetName(0));
  second->CloseWindow();
  first->CloseWindow();
}

} // namespace
} // namespace umbra::test
