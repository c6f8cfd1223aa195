// Value prompts: the menu of an enumerated parameter and the text field of the others, both the
// framework's own controls, driven by injected clicks and keys.

#include "Controls/IPopupMenuControl.h"
#include "Controls/ITextControl.h"
#include "Controls/ITextEntryControl.h"
#include "RoutingTestHelpers.h"

namespace umbra::ui::test {
namespace {

class Prompts : public EditorFixture {
protected:
  IPopupMenuControl* Menu() const { return canvas.GetPopupMenuControl(); }
  ITextEntryControl* Entry() const { return canvas.GetTextEntryControl(); }
  void ClickItem(int itemIdx)
  {
    const IRECT r = Menu()->GetItemRECT(itemIdx);
    Click(r.MW(), r.MH());
  }
};

// ---------------------------------------------------------------------------------------------
// Menus

TEST_F(Prompts, EnumeratedCaptionOpensAMenuOfItsTexts)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kWhisperMode));
  caption->SetValueFromDelegate(1.0); // "Ghosts"
  Click(150, 110);

  ASSERT_NE(Menu(), nullptr);
  ASSERT_TRUE(Menu()->IsOpen());
  const IPopupMenu* menu = Menu()->GetMenu();
  EXPECT_EQ(menu->GetRootTitle(), "Whisper Mode");
  ASSERT_EQ(menu->NItems(), 2);
  EXPECT_EQ(menu->GetItem(0).text, "Sizzle");
  EXPECT_EQ(menu->GetItem(1).text, "Ghosts");
  EXPECT_FALSE(menu->GetItem(0).flags & IPopupMenu::Item::kChecked);
  EXPECT_TRUE(menu->GetItem(1).flags & IPopupMenu::Item::kChecked);
  EXPECT_EQ(Menu()->GetHighlightedItem(), 1);
  EXPECT_EQ(canvas.GetControlInPopupMenu(), caption);
  // Opened over the caption.
  EXPECT_EQ(Menu()->GetRECT().L, 100.f);
  EXPECT_EQ(Menu()->GetRECT().T, 100.f);
  // The gesture that began with the press stays open until the choice.
  EXPECT_EQ(host.begins, std::vector<int>{kWhisperMode});
  EXPECT_TRUE(host.ends.empty());
}

TEST_F(Prompts, ClickingAnItemSetsTheParameter)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kWhisperMode));
  Click(150, 110);
  ClickItem(1);
  EXPECT_FALSE(Menu()->IsOpen());
  EXPECT_EQ(plug->GetParam(kWhisperMode)->Value(), 1.0);
  EXPECT_DOUBLE_EQ(caption->GetValue(), 1.0);
  EXPECT_EQ(host.begins, std::vector<int>{kWhisperMode});
  EXPECT_EQ(host.ends, std::vector<int>{kWhisperMode});
  EXPECT_EQ(canvas.GetControlInPopupMenu(), nullptr);
}

TEST_F(Prompts, KeysChooseFromTheMenu)
{
  auto* octave = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kOctave));
  octave->SetValueFromDelegate(0.5); // "0", the middle of five
  Click(150, 110);
  ASSERT_TRUE(Menu()->IsOpen());
  EXPECT_EQ(Menu()->GetHighlightedItem(), 2);
  EXPECT_TRUE(Press(kVK_DOWN));
  EXPECT_TRUE(Press(kVK_DOWN));
  EXPECT_TRUE(Press(kVK_DOWN)); // already at the last item
  EXPECT_EQ(Menu()->GetHighlightedItem(), 4);
  EXPECT_TRUE(Press(kVK_UP));
  EXPECT_TRUE(Press(kVK_RETURN));
  EXPECT_FALSE(Menu()->IsOpen());
  EXPECT_EQ(plug->GetParam(kOctave)->Value(), 3.0);
  EXPECT_EQ(host.ends, std::vector<int>{kOctave});
}

TEST_F(Prompts, EscapeOrAClickOutsideDismissesTheMenu)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kWhisperMode));
  auto* elsewhere = Attach(new ProbeControl(IRECT(600, 600, 700, 700)));

  Click(150, 110);
  EXPECT_TRUE(Press(kVK_ESCAPE));
  EXPECT_FALSE(Menu()->IsOpen());
  EXPECT_EQ(plug->GetParam(kWhisperMode)->Value(), 0.0);
  EXPECT_EQ(host.ends, std::vector<int>{kWhisperMode}); // the gesture still ends

  Click(150, 110);
  Click(650, 650);
  EXPECT_FALSE(Menu()->IsOpen());
  EXPECT_EQ(elsewhere->Count("down"), 0); // the click only closed the menu
  EXPECT_DOUBLE_EQ(caption->GetValue(), 0.0);
  EXPECT_EQ(host.ends.size(), 2u);
}

TEST_F(Prompts, OpenMenuIsDrawnOverTheEditorAndItsPlaceRedrawnAfter)
{
  Attach(new ProbeControl(IRECT(0, 0, 1200, 800))); // blue everywhere
  Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kWhisperMode));
  canvas.RunFrames(1);
  Click(150, 110);
  canvas.RunFrames(1);
  const IRECT item = Menu()->GetItemRECT(0);
  EXPECT_NE(canvas.GetPixel(static_cast<int>(item.R) - 3, static_cast<int>(item.MH())), COLOR_BLUE);
  Press(kVK_ESCAPE);
  canvas.RunFrames(1);
  EXPECT_EQ(canvas.GetPixel(static_cast<int>(item.R) - 3, static_cast<int>(item.MH())), COLOR_BLUE);
}

TEST_F(Prompts, MenuStaysInsideTheEditor)
{
  Attach(new ICaptionControl(IRECT(1150, 780, 1200, 800), kOctave));
  Click(1175, 790);
  ASSERT_TRUE(Menu()->IsOpen());
  EXPECT_LE(Menu()->GetRECT().R, 1200.f);
  EXPECT_LE(Menu()->GetRECT().B, 800.f);
}

// ---------------------------------------------------------------------------------------------
// Text entry

TEST_F(Prompts, CaptionOfADoubleOpensATextFieldWithItsDisplayValue)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  caption->SetValueFromDelegate(plug->GetParam(kMix)->CurrentNormalized());
  Click(150, 110);
  ASSERT_NE(Entry(), nullptr);
  ASSERT_TRUE(Entry()->IsEditing());
  std::string display;
  plug->GetParam(kMix)->GetDisplay(caption->GetValue(), true, display);
  EXPECT_EQ(Entry()->GetEditStr(), display);
  EXPECT_EQ(Entry()->GetRECT(), caption->GetRECT());
  EXPECT_EQ(canvas.GetControlInTextEntry(), caption);
  // The press's gesture ended with its release.
  EXPECT_EQ(host.ends, std::vector<int>{kMix});
}

TEST_F(Prompts, TextFieldRefusesLettersForADoubleAndCommits42)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  Click(150, 110);
  ASSERT_TRUE(Entry()->IsEditing());
  while (!Entry()->GetEditStr().empty())
    Press(kVK_BACK);
  Type("4x2");
  EXPECT_EQ(Entry()->GetEditStr(), "42");
  EXPECT_TRUE(Press(kVK_RETURN));
  EXPECT_FALSE(Entry()->IsEditing());
  EXPECT_EQ(canvas.GetControlInTextEntry(), nullptr);
  EXPECT_DOUBLE_EQ(plug->GetParam(kMix)->Value(), 42.0);
  EXPECT_DOUBLE_EQ(caption->GetValue(), 0.42);
}

TEST_F(Prompts, TextFieldLengthAndCharactersFollowTheParameter)
{
  auto* fine = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kFine));
  Click(150, 110);
  while (!Entry()->GetEditStr().empty())
    Press(kVK_BACK);
  Type("-1.2345678");
  EXPECT_EQ(Entry()->GetEditStr(), "-1.2345"); // seven characters
  Press(kVK_ESCAPE);

  // Integer-valued kinds take no decimal point.
  auto* octave = Attach(new ProbeControl(IRECT(300, 100, 400, 120), kOctave));
  canvas.CreateTextEntry(*octave, DEFAULT_TEXT, octave->GetRECT(), "", 0);
  ASSERT_TRUE(Entry()->IsEditing());
  Type("+1.5");
  EXPECT_EQ(Entry()->GetEditStr(), "+15");
  Press(kVK_ESCAPE);
  (void)fine;
}

TEST_F(Prompts, EscapeCancelsTheTextField)
{
  auto* caption = Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  caption->SetValueFromDelegate(1.0);
  Click(150, 110);
  Type("5");
  EXPECT_TRUE(Press(kVK_ESCAPE));
  EXPECT_FALSE(Entry()->IsEditing());
  EXPECT_EQ(canvas.GetControlInTextEntry(), nullptr);
  EXPECT_DOUBLE_EQ(plug->GetParam(kMix)->Value(), 100.0);
  EXPECT_DOUBLE_EQ(caption->GetValue(), 1.0);
}

TEST_F(Prompts, ClickOutsideCommitsTheTextField)
{
  Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  Click(150, 110);
  while (!Entry()->GetEditStr().empty())
    Press(kVK_BACK);
  Type("30");
  Click(700, 500);
  EXPECT_FALSE(Entry()->IsEditing());
  EXPECT_DOUBLE_EQ(plug->GetParam(kMix)->Value(), 30.0);
}

TEST_F(Prompts, WheelEndsTheEditingFirst)
{
  Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  auto* probe = Attach(new ProbeControl(IRECT(600, 600, 700, 700)));
  Click(150, 110);
  while (!Entry()->GetEditStr().empty())
    Press(kVK_BACK);
  Type("12.5");
  EXPECT_TRUE(canvas.OnMouseWheel(650, 650, IMouseMod(), 1.f));
  EXPECT_FALSE(Entry()->IsEditing());
  EXPECT_DOUBLE_EQ(plug->GetParam(kMix)->Value(), 12.5);
  EXPECT_EQ(probe->Count("wheel"), 1);
}

TEST_F(Prompts, OutOfRangeTextIsClamped)
{
  Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  Click(150, 110);
  while (!Entry()->GetEditStr().empty())
    Press(kVK_BACK);
  Type("250");
  Press(kVK_RETURN);
  EXPECT_DOUBLE_EQ(plug->GetParam(kMix)->Value(), 100.0);
}

TEST_F(Prompts, ControlWithoutAParameterGetsTheTextBack)
{
  class Namer : public ProbeControl {
  public:
    using ProbeControl::ProbeControl;
    void OnTextEntryCompletion(const char* str, int valIdx) override
    {
      text = str;
      index = valIdx;
    }
    std::string text;
    int index = -2;
  };
  auto* namer = Attach(new Namer(IRECT(0, 0, 100, 20)));
  canvas.CreateTextEntry(*namer, DEFAULT_TEXT, namer->GetRECT(), "abc", 0);
  Type("d!");
  Press(kVK_RETURN);
  EXPECT_EQ(namer->text, "abcd!");
  EXPECT_EQ(namer->index, 0);
}

TEST_F(Prompts, OneTextFieldAtATime)
{
  auto* a = Attach(new ProbeControl(IRECT(0, 0, 100, 20), kMix));
  auto* b = Attach(new ProbeControl(IRECT(0, 40, 100, 60), kHaunt));
  canvas.CreateTextEntry(*a, DEFAULT_TEXT, a->GetRECT(), "1", 0);
  canvas.CreateTextEntry(*b, DEFAULT_TEXT, b->GetRECT(), "2", 0);
  EXPECT_EQ(canvas.GetControlInTextEntry(), a);
  EXPECT_EQ(Entry()->GetEditStr(), "1");
  Press(kVK_ESCAPE);
}

TEST_F(Prompts, CaptionHidesItsTextWhileTypedInPlace)
{
  auto* back = Attach(new ProbeControl(IRECT(0, 0, 1200, 800)));
  (void)back;
  Attach(new ICaptionControl(IRECT(100, 100, 200, 120), kMix));
  Click(150, 110);
  canvas.RunFrames(1);
  // The field's white background covers the caption.
  EXPECT_EQ(canvas.GetPixel(102, 102), COLOR_WHITE);
  Press(kVK_ESCAPE);
  canvas.RunFrames(1);
  EXPECT_NE(canvas.GetPixel(102, 102), COLOR_WHITE);
}

} // namespace
} // namespace umbra::ui::test
