// The About popup over the real plug-in: hidden it draws and takes nothing; shown, its click
// rules (tab, update button, download link only while an update is offered, the panel, outside),
// Escape, and a screenshot.

#include <cstdlib>
#include <string>
#include <vector>

#include "PopupTestHelpers.h"

namespace umbra::test {
namespace {

using namespace ui;

constexpr int kEscape = 27;

class About : public ::testing::Test {
protected:
  About() : plug(MakePlug()), editor(*plug)
  {
    LayoutUmbravoxEditor(editor.canvas, *plug,
                         UmbravoxLiveValues{&plug->mTempo, &plug->mInputPeakDb, &plug->mOutputPeakDb});
    popup = editor.About();
    SetDownloadOpenerHook([this](const std::string& url) {
      opened.push_back(url);
      return true;
    });
    // A refused address: a check ends at once as failed, without running anything.
    const char* address = std::getenv(UpdateChecker::kAddressEnvVar);
    savedAddress = address ? address : "";
    setenv(UpdateChecker::kAddressEnvVar, "refused address", 1);
  }
  ~About() override
  {
    SetDownloadOpenerHook({});
    setenv(UpdateChecker::kAddressEnvVar, savedAddress.c_str(), 1);
  }

  void Show()
  {
    ASSERT_TRUE(ShowEditorPopup(editor.canvas, "about"));
    editor.canvas.RunFrames(1);
  }

  // Offers 1.0.1 from the given address, as a check that found it would.
  void OfferUpdate(const std::string& url)
  {
    UpdateChecker& checker = UpdateChecker::Get();
    ASSERT_TRUE(checker.ParseVersionJSON("{\"version\":\"1.0.1\",\"url\":\"" + url +
                                         "\",\"changelog\":\"Quieter\"}"));
    checker.mState.store(UpdateChecker::kUpdateAvailable);
  }

  CheckerReset reset;
  std::unique_ptr<Umbravox> plug;
  PopupEditor editor;
  AboutPopup* popup = nullptr;
  std::vector<std::string> opened;
  std::string savedAddress;
};

TEST_F(About, HiddenItDrawsAndTakesNothing)
{
  editor.canvas.RunFrames(1);
  EXPECT_FALSE(popup->IsVisible());
  EXPECT_TRUE(popup->GetTargetRECT().Empty());
  EXPECT_EQ(popup->GetRECT(), editor.Bounds());
  EXPECT_EQ(popup->Phase(), 0.f);
  EXPECT_NE(editor.canvas.GetMouseControl(600, 400, false), popup);
  EXPECT_FALSE(popup->OnKeyDown(600, 400, IKeyPress{kEscape}));
  // Its own handler ignores clicks too.
  popup->OnMouseDown(10, 10, LeftMouse());
  EXPECT_FALSE(popup->IsVisible());
}

TEST_F(About, PanelAndItsParts)
{
  Show();
  EXPECT_EQ(popup->PanelRect(), IRECT(390, 90, 810, 710));
  EXPECT_EQ(popup->InfoTabRect(), IRECT(485, 170, 595, 200));
  // Content starts at (410, 220); the button is 150 x 30 around its middle, 108 below.
  EXPECT_EQ(popup->UpdateButtonRect(), IRECT(525, 328, 675, 358));
  EXPECT_TRUE(popup->DownloadLinkRect().Empty());
  EXPECT_NEAR(popup->Phase(), 0.03f, 1e-6f);
}

TEST_F(About, ClicksInsideThePanelKeepItOpenAndOutsideHideIt)
{
  Show();
  // The tab.
  editor.ClickCentre(popup->InfoTabRect());
  EXPECT_TRUE(popup->IsVisible());
  // The panel's empty area, its corners included.
  editor.Click(400, 400);
  editor.Click(390, 90);
  editor.Click(809.5f, 709.5f);
  EXPECT_TRUE(popup->IsVisible());
  // One pixel outside.
  editor.Click(389, 400);
  EXPECT_FALSE(popup->IsVisible());
  EXPECT_TRUE(popup->GetTargetRECT().Empty());
  EXPECT_EQ(UpdateChecker::Get().mState.load(), UpdateChecker::kUpdateIdle);

  // Hidden, the next click at that place reaches the editor again.
  EXPECT_NE(editor.canvas.GetMouseControl(389, 400, false), popup);
  Show();
  editor.Click(600, 711);
  EXPECT_FALSE(popup->IsVisible());
}

TEST_F(About, TheButtonChecksForUpdates)
{
  Show();
  ASSERT_EQ(UpdateChecker::Get().mState.load(), UpdateChecker::kUpdateIdle);
  editor.ClickCentre(popup->UpdateButtonRect());
  EXPECT_TRUE(popup->IsVisible());
  // The address is refused: the forced check fails without running anything.
  EXPECT_EQ(UpdateChecker::Get().mState.load(), UpdateChecker::kUpdateFailed);
  EXPECT_TRUE(UpdateChecker::Get().mHasChecked.load());
}

TEST_F(About, WithoutAServiceTheVersionStandsAlone)
{
  if (*UpdateChecker::kServiceAddress != '\0')
    GTEST_SKIP() << "built with an update service";
  unsetenv(UpdateChecker::kAddressEnvVar);
  Show();
  EXPECT_TRUE(popup->UpdateButtonRect().Empty());
  editor.Click(600, 343); // where the button would be
  EXPECT_TRUE(popup->IsVisible());
  EXPECT_FALSE(UpdateChecker::Get().mHasChecked.load());
}

TEST_F(About, TheDownloadLinkOnlyWhileAnUpdateIsOffered)
{
  OfferUpdate("https://umbravox.example/download?v=1.0.1");
  Show();
  ASSERT_FALSE(popup->DownloadLinkRect().Empty());
  EXPECT_EQ(popup->DownloadLinkRect(), IRECT(410, 388, 790, 406));
  editor.ClickCentre(popup->DownloadLinkRect());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "https://umbravox.example/download?v=1.0.1");
  EXPECT_TRUE(popup->IsVisible());

  // A later check with another outcome: the link goes with the next drawing, and a click where
  // it was lands on the panel.
  const IRECT where = popup->DownloadLinkRect();
  editor.ClickCentre(popup->UpdateButtonRect());
  EXPECT_EQ(UpdateChecker::Get().mState.load(), UpdateChecker::kUpdateFailed);
  editor.canvas.RunFrames(1);
  EXPECT_TRUE(popup->DownloadLinkRect().Empty());
  editor.ClickCentre(where);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_TRUE(popup->IsVisible());
  // The strings of the last good answer stay.
  EXPECT_EQ(UpdateChecker::Get().LatestVersion(), "1.0.1");
}

TEST_F(About, TheLinkIsCheckedAgainstTheStateAtTheClick)
{
  OfferUpdate("https://umbravox.example/download");
  Show();
  const IRECT link = popup->DownloadLinkRect();
  ASSERT_FALSE(link.Empty());
  // The state changed since the drawing: the rectangle is still there, but nothing opens.
  UpdateChecker::Get().mState.store(UpdateChecker::kUpdateUpToDate);
  editor.ClickCentre(link);
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(popup->IsVisible());
}

TEST_F(About, AnOfferWithoutAnAddressShowsTheLinkButOpensNothing)
{
  OfferUpdate("");
  Show();
  ASSERT_FALSE(popup->DownloadLinkRect().Empty());
  editor.ClickCentre(popup->DownloadLinkRect());
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(popup->IsVisible());
}

TEST_F(About, AnAddressThatIsNoWebPageIsNotOpened)
{
  OfferUpdate("--version");
  Show();
  editor.ClickCentre(popup->DownloadLinkRect());
  OfferUpdate("file:///etc/passwd");
  editor.canvas.RunFrames(1);
  editor.ClickCentre(popup->DownloadLinkRect());
  EXPECT_TRUE(opened.empty());
}

TEST_F(About, EscapeHidesOtherKeysPassOn)
{
  Show();
  EXPECT_FALSE(editor.Press('a'));
  EXPECT_FALSE(editor.Press(13));
  EXPECT_TRUE(popup->IsVisible());
  EXPECT_TRUE(editor.Press(kEscape));
  EXPECT_FALSE(popup->IsVisible());
  EXPECT_FALSE(editor.Press(kEscape));
}

TEST_F(About, ScreenshotShowsThePanelOverTheDimmedEditor)
{
  OfferUpdate("https://umbravox.example/download");
  editor.canvas.RunFrames(2);
  std::vector<IColor> lit;
  for (int x = 20; x < 380; x += 40)
    lit.push_back(editor.canvas.GetPixel(x, 400));

  Show();
  // Written for a developer to look at; not compared.
  editor.canvas.SavePNG("/tmp/umbravox_about.png");
  double litSum = 0, dimSum = 0;
  for (size_t i = 0; i < lit.size(); ++i) {
    const IColor dim = editor.canvas.GetPixel(20 + 40 * static_cast<int>(i), 400);
    litSum += lit[i].R + lit[i].G + lit[i].B;
    dimSum += dim.R + dim.G + dim.B;
  }
  ASSERT_GT(litSum, 0.0);
  // The overlays move between the two frames, so only roughly 75 / 255.
  EXPECT_NEAR(dimSum / litSum, 75.0 / 255.0, 0.1);

  // The panel colour in an empty part, the green of the update line, the tab's purple.
  const IColor panel = editor.canvas.GetPixel(400, 600);
  EXPECT_NEAR(panel.R, 20, 4);
  EXPECT_NEAR(panel.B, 28, 4);
  int green = 0;
  for (int y = 368; y < 386; ++y)
    for (int x = 480; x < 720; ++x) {
      const IColor c = editor.canvas.GetPixel(x, y);
      green += c.G > 150 && c.G > c.R + 50;
    }
  EXPECT_GT(green, 20);
  const IColor tab = editor.canvas.GetPixel(490, 175);
  EXPECT_GT(tab.B, tab.G);
}

} // namespace
} // namespace umbra::test
