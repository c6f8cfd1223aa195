// The preset browser over real plug-ins: its geometry for 0, 9, 10 and 20 presets, scrolling,
// recall by click, double click and "Select", closing, Escape, hover, and loading and saving real
// FXP files through the file chooser hook.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "Platforms/PromptForFile.h"
#include "PopupTestHelpers.h"

namespace umbra::test {
namespace {

using namespace ui;

constexpr int kEscape = 27;

// An editor with the header and popups over a plug-in with n presets.
class Browser : public ::testing::Test {
protected:
  void Make(int n)
  {
    plug = std::make_unique<PresetsPlug>(n);
    editor = std::make_unique<PopupEditor>(*plug);
    editor->AttachHeaderAndPopups();
    popup = editor->Presets();
  }
  void Open()
  {
    editor->Click(1170, 28);
    ASSERT_TRUE(popup->IsOpen());
  }

  std::unique_ptr<PresetsPlug> plug;
  std::unique_ptr<PopupEditor> editor;
  PresetPopup* popup = nullptr;
};

TEST_F(Browser, NinePresetsFitWithoutScrolling)
{
  Make(9);
  Open();
  editor->canvas.RunFrames(1);
  EXPECT_EQ(popup->NumRows(), 9);
  EXPECT_EQ(popup->ListRect().H(), 298.f);
  EXPECT_EQ(popup->PanelRect().H(), 473.f);
  EXPECT_EQ(popup->PanelRect(), IRECT(390, 163.5f, 810, 636.5f));
  EXPECT_EQ(popup->ListRect(), IRECT(410, 228.5f, 790, 526.5f));
  EXPECT_EQ(popup->RowRect(0), IRECT(415, 233.5f, 785, 265.5f));
  EXPECT_EQ(popup->RowRect(8), IRECT(415, 489.5f, 785, 521.5f));
  EXPECT_TRUE(popup->RowRect(9).Empty());
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(popup->RowPreset(i), i);
  // Buttons 20 below the list, 100 x 32, around the panel's middle.
  EXPECT_EQ(popup->LoadButtonRect(), IRECT(435, 546.5f, 535, 578.5f));
  EXPECT_EQ(popup->SaveButtonRect(), IRECT(550, 546.5f, 650, 578.5f));
  EXPECT_EQ(popup->SelectButtonRect(), IRECT(665, 546.5f, 765, 578.5f));

  // The wheel has nowhere to go.
  editor->Wheel(600, 300, -1.f);
  EXPECT_EQ(popup->FirstVisibleRow(), 0);
  editor->Wheel(600, 300, 3.f);
  EXPECT_EQ(popup->FirstVisibleRow(), 0);
}

TEST_F(Browser, TwentyPresetsScrollWithinBounds)
{
  Make(20);
  Open();
  editor->canvas.RunFrames(1);
  EXPECT_EQ(popup->NumRows(), 12);
  EXPECT_EQ(popup->ListRect().H(), 12 * 32 + 10.f);
  EXPECT_EQ(popup->RowPreset(0), 0);
  EXPECT_EQ(popup->RowPreset(11), 11);

  // One notch down moves two rows.
  EXPECT_TRUE(editor->Wheel(600, 300, -1.f));
  EXPECT_EQ(popup->FirstVisibleRow(), 2);
  editor->canvas.RunFrames(1);
  EXPECT_EQ(popup->RowPreset(0), 2);
  EXPECT_EQ(popup->RowPreset(11), 13);

  for (int i = 0; i < 10; ++i)
    editor->Wheel(600, 300, -1.f);
  EXPECT_EQ(popup->FirstVisibleRow(), 8);
  editor->Wheel(600, 300, -1000.f);
  EXPECT_EQ(popup->FirstVisibleRow(), 8);
  editor->canvas.RunFrames(1);
  EXPECT_EQ(popup->RowPreset(11), 19);

  // Half a notch is no step; one and a half notches are three rows.
  editor->Wheel(600, 300, 0.4f);
  EXPECT_EQ(popup->FirstVisibleRow(), 8);
  editor->Wheel(600, 300, 1.5f);
  EXPECT_EQ(popup->FirstVisibleRow(), 5);
  editor->Wheel(600, 300, 1e30f);
  EXPECT_EQ(popup->FirstVisibleRow(), 0);
  editor->Wheel(600, 300, -1e30f);
  EXPECT_EQ(popup->FirstVisibleRow(), 8);

  // Outside the list (on the buttons, the dimmed editor) the wheel does nothing, but the open
  // popup still takes it.
  EXPECT_TRUE(editor->Wheel(600, popup->LoadButtonRect().MH(), 2.f));
  EXPECT_TRUE(editor->Wheel(50, 50, 2.f));
  EXPECT_EQ(popup->FirstVisibleRow(), 8);
}

TEST_F(Browser, WithoutPresetsTheListIsEmpty)
{
  Make(0);
  Open();
  editor->canvas.RunFrames(1);
  EXPECT_EQ(popup->NumRows(), 0);
  EXPECT_EQ(popup->ListRect().H(), 10.f);
  EXPECT_EQ(popup->PanelRect().H(), 185.f);
  // A click where a first row would be does nothing and keeps the popup open.
  editor->Click(600, popup->ListRect().T + 8.f);
  EXPECT_TRUE(popup->IsOpen());
  EXPECT_EQ(popup->SelectedPreset(), 0);
}

TEST_F(Browser, AClickOnARowRecallsAtOnceAndStaysOpen)
{
  Make(10);
  Open();
  editor->canvas.RunFrames(1);
  editor->ClickCentre(popup->RowRect(4));
  EXPECT_TRUE(popup->IsOpen());
  EXPECT_EQ(popup->SelectedPreset(), 4);
  EXPECT_EQ(plug->CurrentPresetIndex(), 4);
  EXPECT_EQ(plug->GetParam(0)->Value(), 4.0);
  EXPECT_STREQ(editor->Name()->GetStr(), "Preset 4");

  // The values drift; "Select" recalls the highlighted preset again, then closes.
  plug->GetParam(0)->StoreValue(77.0);
  editor->ClickCentre(popup->SelectButtonRect());
  EXPECT_FALSE(popup->IsOpen());
  EXPECT_TRUE(popup->GetTargetRECT().Empty());
  EXPECT_EQ(plug->GetParam(0)->Value(), 4.0);
  EXPECT_STREQ(editor->Name()->GetStr(), "Preset 4");
}

TEST_F(Browser, ADoubleClickRecallsAndCloses)
{
  Make(10);
  Open();
  editor->canvas.RunFrames(1);
  editor->DoubleClick(popup->RowRect(7).MW(), popup->RowRect(7).MH());
  EXPECT_FALSE(popup->IsOpen());
  EXPECT_EQ(plug->CurrentPresetIndex(), 7);
  EXPECT_STREQ(editor->Name()->GetStr(), "Preset 7");

  // Elsewhere in the panel a double click does nothing.
  Open();
  editor->canvas.RunFrames(1);
  const IRECT& panel = popup->PanelRect();
  editor->DoubleClick(panel.L + 5.f, panel.T + 5.f);
  EXPECT_TRUE(popup->IsOpen());
  EXPECT_EQ(plug->CurrentPresetIndex(), 7);
}

TEST_F(Browser, AClickOutsideClosesWithoutChange)
{
  Make(10);
  plug->RestorePreset(2);
  Open();
  editor->canvas.RunFrames(1);
  editor->ClickCentre(popup->RowRect(5));
  ASSERT_EQ(plug->CurrentPresetIndex(), 5);
  // Close beside the panel: nothing more is recalled.
  plug->GetParam(0)->StoreValue(33.0);
  editor->Click(popup->PanelRect().L - 1.f, 400.f);
  EXPECT_FALSE(popup->IsOpen());
  EXPECT_EQ(plug->CurrentPresetIndex(), 5);
  EXPECT_EQ(plug->GetParam(0)->Value(), 33.0);

  // Inside the panel, on nothing: stays open.
  Open();
  editor->canvas.RunFrames(1);
  editor->Click(popup->PanelRect().L + 2.f, popup->PanelRect().T + 2.f);
  EXPECT_TRUE(popup->IsOpen());
}

TEST_F(Browser, EscapeOnlyWhileOpen)
{
  Make(3);
  EXPECT_FALSE(editor->Press(kEscape));
  EXPECT_FALSE(popup->OnKeyDown(600, 400, IKeyPress{kEscape}));
  Open();
  EXPECT_FALSE(editor->Press('A'));
  EXPECT_TRUE(popup->IsOpen());
  EXPECT_TRUE(editor->Press(kEscape));
  EXPECT_FALSE(popup->IsOpen());
  EXPECT_FALSE(editor->Press(kEscape));
}

TEST_F(Browser, ClosedItDrawsNothingAndTakesNoClicks)
{
  Make(10);
  editor->canvas.RunFrames(1);
  const IColor before = editor->canvas.GetPixel(600, 400);
  popup->SetDirty(false);
  editor->canvas.RunFrames(1);
  EXPECT_EQ(editor->canvas.GetPixel(600, 400), before);
  EXPECT_NE(editor->canvas.GetMouseControl(600, 400, false), popup);
  EXPECT_FALSE(editor->Wheel(600, 400, -1.f));
  editor->Click(600, 400);
  EXPECT_FALSE(popup->IsOpen());

  Open();
  editor->canvas.RunFrames(1);
  // Dimmed by (180, 0, 0, 0) outside the panel; the panel's own colour inside.
  const IColor dimmed = editor->canvas.GetPixel(100, 400);
  EXPECT_NEAR(dimmed.R, kEditorPanelColor.R * 75 / 255, 1);
  const IColor panel = editor->canvas.GetPixel(popup->PanelRect().L + 8, 400);
  EXPECT_NEAR(panel.R, 20, 2);
  EXPECT_NEAR(panel.G, 18, 2);
  EXPECT_NEAR(panel.B, 27, 2);
}

TEST_F(Browser, HoverFollowsTheMouseWithoutRedrawing)
{
  Make(10);
  Open();
  editor->canvas.RunFrames(1);
  IRECT row = popup->RowRect(3);
  editor->canvas.OnMouseOver(row.MW(), row.MH(), IMouseMod());
  EXPECT_EQ(popup->Hover(), 3);
  editor->canvas.OnMouseOver(popup->LoadButtonRect().MW(), popup->LoadButtonRect().MH(), IMouseMod());
  EXPECT_EQ(popup->Hover(), PresetPopup::kHoverLoad);
  editor->canvas.OnMouseOver(popup->SaveButtonRect().MW(), popup->SaveButtonRect().MH(), IMouseMod());
  EXPECT_EQ(popup->Hover(), PresetPopup::kHoverSave);
  editor->canvas.OnMouseOver(popup->SelectButtonRect().MW(), popup->SelectButtonRect().MH(),
                             IMouseMod());
  EXPECT_EQ(popup->Hover(), PresetPopup::kHoverSelect);
  editor->canvas.OnMouseOver(50, 50, IMouseMod());
  EXPECT_EQ(popup->Hover(), PresetPopup::kHoverNone);
  EXPECT_FALSE(popup->IsDirty());
}

// ---------------------------------------------------------------------------------------------
// Files

std::vector<uint8_t> ReadBytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Answers every prompt with the next path (none: cancelled), remembering what was asked.
class ChooserScript {
public:
  explicit ChooserScript(std::vector<std::optional<std::string>> answers)
    : mAnswers(std::move(answers))
  {
    SetFileChooserHook([this](const IFileRequest& request) -> std::optional<std::string> {
      requests.push_back(request);
      if (mNext >= mAnswers.size())
        return std::nullopt;
      return mAnswers[mNext++];
    });
  }
  ~ChooserScript() { SetFileChooserHook({}); }

  std::vector<IFileRequest> requests;

private:
  std::vector<std::optional<std::string>> mAnswers;
  size_t mNext = 0;
};

class BrowserFiles : public ::testing::Test {
protected:
  BrowserFiles() : plug(MakePlug()), editor(*plug)
  {
    LayoutUmbravoxEditor(editor.canvas, *plug,
                         UmbravoxLiveValues{&plug->mTempo, &plug->mInputPeakDb, &plug->mOutputPeakDb});
    editor.ClickCentre(IRECT(1152, 10, 1188, 46));
    popup = editor.Presets();
    editor.canvas.RunFrames(1);
  }

  TempDir dir;
  std::unique_ptr<Umbravox> plug;
  PopupEditor editor;
  PresetPopup* popup = nullptr;
};

TEST_F(BrowserFiles, SaveAndLoadRoundTripAnFxpFile)
{
  ASSERT_TRUE(dir.Valid());
  ASSERT_TRUE(popup->IsOpen());
  const std::string file = dir.File("ghostly.fxp");

  // "Ghost Choir" with a changed Haunt, saved.
  ASSERT_TRUE(plug->RestorePreset("Ghost Choir"));
  const int choir = plug->CurrentPresetIndex();
  plug->GetParam(kHaunt)->StoreValue(42.0);
  const std::vector<double> saved = ParamValues(*plug);
  {
    ChooserScript chooser({file});
    editor.ClickCentre(popup->SaveButtonRect());
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].action, EFileAction::kSave);
    EXPECT_EQ(chooser.requests[0].extensions, "fxp");
  }
  EXPECT_TRUE(popup->IsOpen());
  const std::vector<uint8_t> bytes = ReadBytes(file);
  ASSERT_GE(bytes.size(), 60u);
  EXPECT_EQ(std::memcmp(bytes.data(), "CcnK", 4), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, "FxCk", 4), 0);

  // Elsewhere, on another preset, with the name display showing it.
  editor.ClickCentre(popup->RowRect(0));
  ASSERT_EQ(plug->CurrentPresetIndex(), 0);
  ASSERT_NE(ParamValues(*plug), saved);
  ASSERT_STREQ(editor.Name()->GetStr(), "Init");

  {
    ChooserScript chooser({file});
    editor.ClickCentre(popup->LoadButtonRect());
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].action, EFileAction::kOpen);
    EXPECT_EQ(chooser.requests[0].extensions, "fxp");
  }
  EXPECT_TRUE(popup->IsOpen());
  // The file's values in the current preset, under the file's program name.
  const std::vector<double> loaded = ParamValues(*plug);
  ASSERT_EQ(loaded.size(), saved.size());
  for (size_t i = 0; i < saved.size(); ++i)
    EXPECT_NEAR(loaded[i], saved[i], 1e-4 * (1.0 + std::abs(saved[i]))) << "parameter " << i;
  EXPECT_EQ(popup->SelectedPreset(), plug->CurrentPresetIndex());
  EXPECT_EQ(plug->CurrentPresetIndex(), 0);
  EXPECT_STREQ(editor.Name()->GetStr(), plug->GetPresetName(choir));
}

TEST_F(BrowserFiles, ARefusedFileChangesNothingButTheNameIsRefreshed)
{
  ASSERT_TRUE(dir.Valid());
  const std::string junk = dir.File("junk.fxp");
  std::ofstream(junk, std::ios::binary) << "not a preset file at all, not even close to one";

  editor.ClickCentre(popup->RowRect(3));
  const std::vector<double> before = ParamValues(*plug);
  const std::vector<std::string> names = PresetNames(*plug);
  editor.Name()->SetStr("stale");
  {
    ChooserScript chooser({junk});
    editor.ClickCentre(popup->LoadButtonRect());
  }
  EXPECT_EQ(ParamValues(*plug), before);
  EXPECT_EQ(PresetNames(*plug), names);
  EXPECT_EQ(plug->CurrentPresetIndex(), 3);
  EXPECT_EQ(popup->SelectedPreset(), 3);
  EXPECT_STREQ(editor.Name()->GetStr(), plug->GetPresetName(3));
  EXPECT_TRUE(popup->IsOpen());

  // A file that is not there at all is refused the same way.
  editor.Name()->SetStr("stale");
  {
    ChooserScript chooser({dir.File("missing.fxp")});
    editor.ClickCentre(popup->LoadButtonRect());
  }
  EXPECT_EQ(ParamValues(*plug), before);
  EXPECT_STREQ(editor.Name()->GetStr(), plug->GetPresetName(3));
}

TEST_F(BrowserFiles, ACancelledChooserChangesNothing)
{
  ASSERT_TRUE(dir.Valid());
  const std::vector<double> before = ParamValues(*plug);
  editor.Name()->SetStr("untouched");
  {
    ChooserScript chooser({std::nullopt, std::nullopt});
    editor.ClickCentre(popup->LoadButtonRect());
    editor.ClickCentre(popup->SaveButtonRect());
    EXPECT_EQ(chooser.requests.size(), 2u);
  }
  EXPECT_EQ(ParamValues(*plug), before);
  EXPECT_STREQ(editor.Name()->GetStr(), "untouched");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  EXPECT_TRUE(popup->IsOpen());
}

TEST_F(BrowserFiles, ScreenshotShowsThePanelOverTheDimmedEditor)
{
  ICanvasHeadless plain(1200, 800);
  plain.SetDelegate(*plug);
  LayoutUmbravoxEditor(plain, *plug,
                       UmbravoxLiveValues{&plug->mTempo, &plug->mInputPeakDb, &plug->mOutputPeakDb});
  // Both editors were built the same way; each keeps its own popups.
  plain.RunFrames(2);
  editor.canvas.RunFrames(1);
  // Written for a developer to look at; not compared.
  editor.canvas.SavePNG("/tmp/umbravox_preset_browser.png");

  // Far from the panel the editor shows through at about 30 % of its brightness.
  double litSum = 0, dimSum = 0;
  for (int y = 100; y < 700; y += 50)
    for (int x = 20; x < 200; x += 30) {
      const IColor lit = plain.GetPixel(x, y), dim = editor.canvas.GetPixel(x, y);
      litSum += lit.R + lit.G + lit.B;
      dimSum += dim.R + dim.G + dim.B;
    }
  ASSERT_GT(litSum, 0.0);
  EXPECT_NEAR(dimSum / litSum, 75.0 / 255.0, 0.06);

  // The panel between its rows, and the "Presets" title drawn on it.
  const IColor inside = editor.canvas.GetPixel(396, 400);
  EXPECT_NEAR(inside.R, 20, 4);
  EXPECT_NEAR(inside.B, 28, 4);
  int bright = 0;
  for (int y = 175; y < 215; ++y)
    for (int x = 540; x < 660; ++x)
      bright += editor.canvas.GetPixel(x, y).R > 120;
  EXPECT_GT(bright, 40);
}

} // namespace
} // namespace umbra::test
