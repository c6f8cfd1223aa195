// The canvas's own resource operations against real files: bitmap variants by screen scale,
// the per-canvas bitmap cache, fonts through the process cache; the headless animation clock;
// and the canvas factory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "DrawingTestHelpers.h"
#include "FontDataCache.h"
#include "ICanvasFactory.h"
#include "ICanvasEditorDelegate.h"
#include "IEditorDelegate.h"

namespace umbra::ui::test {
namespace {

namespace fs = std::filesystem;

// A headless canvas that counts how often the back end decodes a file.
class CountingCanvas : public ICanvasHeadless {
public:
  using ICanvasHeadless::ICanvasHeadless;
  using ICanvasHeadless::LoadAPIBitmap;

  std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::string& path, int scale) override
  {
    ++decodes;
    return ICanvasHeadless::LoadAPIBitmap(path, scale);
  }

  int decodes = 0;
};

// Resources come from a fresh folder for each test; UMBRAVOX_RESOURCES, which the test program
// points at the build tree before the first test, is put back afterwards.
class CanvasResources : public ::testing::Test {
protected:
  void SetUp() override
  {
    static std::atomic<int> counter{0};
    mFolder = fs::temp_directory_path()
            / ("umbravox-canvas-res-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(mFolder);
    fs::create_directories(mFolder);
    if (const char* previous = std::getenv("UMBRAVOX_RESOURCES")) mPrevious = previous;
    setenv("UMBRAVOX_RESOURCES", mFolder.c_str(), 1);
  }

  void TearDown() override
  {
    if (mPrevious)
      setenv("UMBRAVOX_RESOURCES", mPrevious->c_str(), 1);
    else
      unsetenv("UMBRAVOX_RESOURCES");
    std::error_code ec;
    fs::remove_all(mFolder, ec);
  }

  // An opaque image of one colour, w × h device pixels.
  void WritePNG(const std::string& name, int w, int h, const IColor& color)
  {
    std::vector<unsigned char> rgba(static_cast<std::size_t>(w * h * 4));
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
      rgba[i] = static_cast<unsigned char>(color.R);
      rgba[i + 1] = static_cast<unsigned char>(color.G);
      rgba[i + 2] = static_cast<unsigned char>(color.B);
      rgba[i + 3] = 255;
    }
    ASSERT_NE(stbi_write_png(Path(name).c_str(), w, h, 4, rgba.data(), w * 4), 0);
  }

  // knob.png 10 × 10 red, knob@2x.png 20 × 20 green, knob@3x.png 30 × 30 blue: each file is
  // recognisable by its colour and its scale by its pixel size.
  void WriteKnobVariants(bool plain, bool twice, bool thrice)
  {
    if (plain) WritePNG("knob.png", 10, 10, COLOR_RED);
    if (twice) WritePNG("knob@2x.png", 20, 20, COLOR_GREEN);
    if (thrice) WritePNG("knob@3x.png", 30, 30, COLOR_BLUE);
  }

  std::string Path(const std::string& name) const { return (mFolder / name).string(); }

  // The colour of the bitmap drawn at its logical size in the top-left corner of the canvas.
  static IColor DrawnColor(ICanvasHeadless& canvas, const IBitmap& bitmap)
  {
    canvas.RenderFrame([&](ICanvas& c) {
      c.DrawBitmap(bitmap, IRECT(0.f, 0.f, static_cast<float>(bitmap.W()),
                                 static_cast<float>(bitmap.H())), 0, 0);
    });
    return canvas.GetPixel(1, 1);
  }

  fs::path mFolder;
  std::optional<std::string> mPrevious;
};

// ---------------------------------------------------------------------------------------------
// Bitmap variants

TEST_F(CanvasResources, DoubleVariantChosenAtScreenScaleTwo)
{
  WriteKnobVariants(true, true, true);
  ICanvasHeadless canvas(40, 40, 1.f, 2.f);
  const IBitmap knob = canvas.LoadBitmap("knob.png");
  ASSERT_TRUE(knob.IsValid());
  EXPECT_EQ(knob.GetScale(), 2.f);
  EXPECT_EQ(knob.GetAPIBitmap()->GetWidth(), 20);
  EXPECT_TRUE(ColorNear(DrawnColor(canvas, knob), COLOR_GREEN));
}

TEST_F(CanvasResources, WithoutTheDoubleVariantTripleThenPlain)
{
  WriteKnobVariants(true, false, true);
  {
    ICanvasHeadless canvas(40, 40, 1.f, 2.f);
    const IBitmap knob = canvas.LoadBitmap("knob.png");
    ASSERT_TRUE(knob.IsValid());
    EXPECT_EQ(knob.GetScale(), 3.f);
    EXPECT_EQ(knob.W(), 10);
    EXPECT_TRUE(ColorNear(DrawnColor(canvas, knob), COLOR_BLUE));
  }
  fs::remove(Path("knob@3x.png"));
  {
    ICanvasHeadless canvas(40, 40, 1.f, 2.f);
    const IBitmap knob = canvas.LoadBitmap("knob.png");
    ASSERT_TRUE(knob.IsValid());
    EXPECT_EQ(knob.GetScale(), 1.f);
    EXPECT_EQ(knob.W(), 10);
    EXPECT_TRUE(ColorNear(DrawnColor(canvas, knob), COLOR_RED));
  }
}

TEST_F(CanvasResources, ExplicitTargetScaleOrders)
{
  // At 1: plain, @3x, @2x. At 3: @3x, @2x, plain.
  WriteKnobVariants(false, true, true);
  ICanvasHeadless canvas(40, 40);
  EXPECT_EQ(canvas.LoadBitmap("knob.png", 1, false, 1).GetScale(), 3.f);
  WritePNG("knob.png", 10, 10, COLOR_RED);
  ICanvasHeadless fresh(40, 40);
  EXPECT_EQ(fresh.LoadBitmap("knob.png", 1, false, 1).GetScale(), 1.f);
  fs::remove(Path("knob@3x.png"));
  EXPECT_EQ(fresh.LoadBitmap("knob.png", 1, false, 3).GetScale(), 2.f);
}

TEST_F(CanvasResources, LogicalSizeIsPixelsOverScale)
{
  WritePNG("strip@2x.png", 40, 20, COLOR_GREEN);
  ICanvasHeadless canvas(40, 40, 1.f, 2.f);
  const IBitmap strip = canvas.LoadBitmap("strip.png", 2, true);
  ASSERT_TRUE(strip.IsValid());
  EXPECT_EQ(strip.W(), 20);
  EXPECT_EQ(strip.H(), 10);
  EXPECT_EQ(strip.N(), 2);
  EXPECT_TRUE(strip.GetFramesAreHorizontal());
  EXPECT_EQ(strip.FW(), 10);
  EXPECT_EQ(strip.FH(), 10);
  EXPECT_EQ(strip.GetResourceName(), "strip.png");
}

TEST_F(CanvasResources, CapitalisedExtensionAccepted)
{
  WritePNG("LOUD.PNG", 8, 8, COLOR_RED);
  ICanvasHeadless canvas(20, 20);
  const IBitmap loud = canvas.LoadBitmap("LOUD.PNG");
  ASSERT_TRUE(loud.IsValid());
  EXPECT_EQ(loud.W(), 8);
}

TEST_F(CanvasResources, UnsupportedOrMissingExtensionGivesTheEmptyBitmap)
{
  // Real PNG bytes: only the name decides.
  WritePNG("anim.gif", 8, 8, COLOR_RED);
  WritePNG("plain", 8, 8, COLOR_RED);
  CountingCanvas canvas(20, 20);
  for (const char* name : {"anim.gif", "plain", "missing.png", ""}) {
    const IBitmap bitmap = canvas.LoadBitmap(name);
    EXPECT_FALSE(bitmap.IsValid()) << name;
    EXPECT_EQ(bitmap.W(), 0) << name;
    EXPECT_EQ(bitmap.H(), 0) << name;
  }
  EXPECT_FALSE(canvas.LoadBitmap(nullptr).IsValid());
  EXPECT_EQ(canvas.decodes, 0);
  EXPECT_EQ(canvas.NumCachedBitmaps(), 0u);
}

TEST_F(CanvasResources, EmptyBitmapDrawsNothing)
{
  ICanvasHeadless canvas(20, 20);
  const IBitmap missing = canvas.LoadBitmap("missing.png");
  canvas.RenderFrame([&](ICanvas& c) {
    c.DrawBitmap(missing, IRECT(0.f, 0.f, 20.f, 20.f), 0, 0);
    c.DrawFittedBitmap(missing, IRECT(0.f, 0.f, 20.f, 20.f));
    c.DrawRotatedBitmap(missing, 10.f, 10.f, 45.f);
  });
  EXPECT_FALSE(FindInk(canvas).any);
}

// ---------------------------------------------------------------------------------------------
// The bitmap cache

TEST_F(CanvasResources, DecodedOncePerNameAndScale)
{
  WriteKnobVariants(true, true, false);
  CountingCanvas canvas(40, 40, 1.f, 2.f);
  const IBitmap first = canvas.LoadBitmap("knob.png");
  const IBitmap second = canvas.LoadBitmap("knob.png", 3, true);
  EXPECT_EQ(canvas.decodes, 1);
  EXPECT_EQ(second.GetAPIBitmap(), first.GetAPIBitmap());
  EXPECT_EQ(second.N(), 3);
  EXPECT_TRUE(second.GetFramesAreHorizontal());

  // Gone from the disk, still in the cache.
  fs::remove(Path("knob@2x.png"));
  const IBitmap third = canvas.LoadBitmap("knob.png");
  ASSERT_TRUE(third.IsValid());
  EXPECT_EQ(third.GetAPIBitmap(), first.GetAPIBitmap());
  EXPECT_EQ(canvas.decodes, 1);

  // Another scale is another entry.
  const IBitmap plain = canvas.LoadBitmap("knob.png", 1, false, 1);
  EXPECT_EQ(plain.GetScale(), 1.f);
  EXPECT_EQ(canvas.decodes, 2);
  EXPECT_EQ(canvas.NumCachedBitmaps(), 2u);

  // Every canvas has a cache of its own: its images belong to its drawing context.
  CountingCanvas other(40, 40, 1.f, 2.f);
  WritePNG("knob@2x.png", 20, 20, COLOR_GREEN);
  EXPECT_NE(other.LoadBitmap("knob.png").GetAPIBitmap(), first.GetAPIBitmap());
  EXPECT_EQ(other.decodes, 1);
}

TEST_F(CanvasResources, VariantFoundAtAnotherScaleDecodedOnce)
{
  WriteKnobVariants(true, false, false);
  CountingCanvas canvas(40, 40, 1.f, 2.f);
  const IBitmap first = canvas.LoadBitmap("knob.png");
  const IBitmap second = canvas.LoadBitmap("knob.png");
  EXPECT_EQ(first.GetScale(), 1.f);
  EXPECT_EQ(second.GetAPIBitmap(), first.GetAPIBitmap());
  EXPECT_EQ(canvas.decodes, 1);
  EXPECT_EQ(canvas.NumCachedBitmaps(), 1u);
}

TEST_F(CanvasResources, UndecodableFileNotCached)
{
  std::ofstream(Path("broken.png"), std::ios::binary) << "not a png";
  CountingCanvas canvas(20, 20);
  EXPECT_FALSE(canvas.LoadBitmap("broken.png").IsValid());
  EXPECT_EQ(canvas.NumCachedBitmaps(), 0u);
  WritePNG("broken.png", 4, 4, COLOR_RED);
  EXPECT_TRUE(canvas.LoadBitmap("broken.png").IsValid());
}

TEST_F(CanvasResources, CacheLetsGoOfItsImagesWithTheCanvas)
{
  WriteKnobVariants(true, false, false);
  std::weak_ptr<APIBitmap> image;
  {
    ICanvasHeadless canvas(20, 20);
    image = canvas.LoadBitmap("knob.png").GetSharedAPIBitmap();
    EXPECT_FALSE(image.expired());
  }
  EXPECT_TRUE(image.expired());
}

TEST_F(CanvasResources, ScaledBitmapFollowsTheScreenScale)
{
  WriteKnobVariants(true, true, false);
  ICanvasHeadless canvas(40, 40);
  const IBitmap atOne = canvas.LoadBitmap("knob.png", 2, true);
  EXPECT_EQ(atOne.GetScale(), 1.f);

  canvas.SetScreenScale(2.f);
  const IBitmap atTwo = canvas.GetScaledBitmap(atOne);
  ASSERT_TRUE(atTwo.IsValid());
  EXPECT_EQ(atTwo.GetScale(), 2.f);
  EXPECT_EQ(atTwo.GetResourceName(), "knob.png");
  EXPECT_EQ(atTwo.N(), 2);
  EXPECT_TRUE(atTwo.GetFramesAreHorizontal());
  EXPECT_EQ(atTwo.W(), atOne.W());

  // A fractional screen scale rounds up.
  canvas.SetScreenScale(1.5f);
  EXPECT_EQ(canvas.GetScaledBitmap(atOne).GetScale(), 2.f);
}

// ---------------------------------------------------------------------------------------------
// Fonts

// Runs against the build tree's resources, where the build copies Roboto.
TEST(CanvasFonts, RobotoFromTheBuildTreeIsUsable)
{
  ICanvasHeadless canvas(120, 40);
  ASSERT_TRUE(canvas.LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  canvas.RenderFrame([](ICanvas& c) {
    c.DrawText(IText(20.f, COLOR_BLACK, "Roboto-Regular"), "Vox", IRECT(0.f, 0.f, 120.f, 40.f));
  });
  EXPECT_TRUE(FindInk(canvas).any);
}

TEST_F(CanvasResources, MissingFontFileFails)
{
  ICanvasHeadless canvas(20, 20);
  EXPECT_FALSE(canvas.LoadFont("UmbraTest-Missing", "NoSuchFont.ttf"));
  EXPECT_FALSE(canvas.LoadFont("", "Roboto-Regular.ttf"));
  EXPECT_FALSE(canvas.LoadFont(nullptr, "Roboto-Regular.ttf"));
  EXPECT_FALSE(canvas.LoadFont("UmbraTest-Missing", nullptr));
}

TEST_F(CanvasResources, RejectedFontIsNotKept)
{
  std::ofstream(Path("Garbage.ttf"), std::ios::binary) << "not a font at all";
  ICanvasHeadless canvas(20, 20);
  EXPECT_FALSE(canvas.LoadFont("UmbraTest-Garbage", "Garbage.ttf"));
  EXPECT_EQ(FontDataCache::Process().Find("UmbraTest-Garbage"), nullptr);
}

TEST_F(CanvasResources, SecondCanvasLoadsTheFontWithoutTheFile)
{
  fs::copy_file(kTestFontFile, Path("Shared-Face.ttf"));
  {
    ICanvasHeadless first(20, 20);
    ASSERT_TRUE(first.LoadFont("UmbraTest-Shared", "Shared-Face.ttf"));
  }
  fs::remove(Path("Shared-Face.ttf"));
  ICanvasHeadless second(20, 20);
  EXPECT_TRUE(second.LoadFont("UmbraTest-Shared", "Shared-Face.ttf"));
  // The file really is gone: the same file under a new identifier cannot load.
  EXPECT_FALSE(second.LoadFont("UmbraTest-Shared-Again", "Shared-Face.ttf"));
}

// ---------------------------------------------------------------------------------------------
// The animation clock

TEST(AnimationClock, HeadlessClockStandsStillUntilDriven)
{
  ICanvasHeadless canvas(10, 10);
  EXPECT_EQ(canvas.GetAnimationClockMs(), 0.0);
  canvas.RenderFrame([](ICanvas&) {});
  EXPECT_EQ(canvas.GetAnimationClockMs(), 0.0);

  canvas.SetClockMs(100.0);
  canvas.AdvanceClockMs(5.0);
  EXPECT_EQ(canvas.GetAnimationClockMs(), 105.0);
}

TEST(AnimationClock, FramesAdvanceByTheFramePeriodWithoutDrift)
{
  ICanvasHeadless canvas(10, 10);
  EXPECT_EQ(canvas.GetClockFPS(), 60);
  canvas.AdvanceFrameClock();
  EXPECT_DOUBLE_EQ(canvas.GetAnimationClockMs(), 1000.0 / 60.0);
  for (int i = 1; i < 6000; ++i) canvas.AdvanceFrameClock();
  EXPECT_EQ(canvas.GetAnimationClockMs(), 100000.0);

  // A new rate applies from now on; the time already passed stays.
  canvas.SetClockFPS(50);
  canvas.AdvanceFrameClock();
  EXPECT_EQ(canvas.GetAnimationClockMs(), 100020.0);
  canvas.SetClockFPS(0);
  EXPECT_EQ(canvas.GetClockFPS(), 1);
}

TEST(AnimationClock, TwoRunsDrivenAlikeReadAlike)
{
  ICanvasHeadless a(10, 10), b(10, 10);
  std::vector<double> readingsA, readingsB;
  for (int i = 0; i < 30; ++i) {
    a.AdvanceFrameClock();
    b.AdvanceFrameClock();
    readingsA.push_back(a.GetAnimationClockMs());
    readingsB.push_back(b.GetAnimationClockMs());
  }
  EXPECT_EQ(readingsA, readingsB);
}

TEST(AnimationClock, WindowedCanvasesReadRealTime)
{
  ICanvasHeadless headless(10, 10);
  const ICanvas& base = headless;
  // Through the base the override is what counts; the base's own clock is steady time.
  EXPECT_EQ(base.GetAnimationClockMs(), 0.0);
  const double before = headless.ICanvas::GetAnimationClockMs();
  const double after = headless.ICanvas::GetAnimationClockMs();
  EXPECT_GT(before, 0.0);
  EXPECT_GE(after, before);
}

// ---------------------------------------------------------------------------------------------
// The factory

class NullDelegate : public umbra::IEditorDelegate {
public:
  NullDelegate() : umbra::IEditorDelegate(0) {}
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void SendParameterValueFromUI(int, double) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
};

TEST(CanvasFactory, DefaultPlatformIsSettable)
{
  const EPlatform previous = DefaultPlatform();
  SetDefaultPlatform(EPlatform::kHeadless);
  EXPECT_EQ(DefaultPlatform(), EPlatform::kHeadless);
  SetDefaultPlatform(previous);
}

TEST(CanvasFactory, HeadlessCanvasOfTheAskedSizeRateAndScale)
{
  SetDefaultPlatform(EPlatform::kHeadless);
  NullDelegate delegate;
  auto canvas = MakeGraphics(delegate, 120, 80, 30, 1.5f);
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->Width(), 120);
  EXPECT_EQ(canvas->Height(), 80);
  EXPECT_EQ(canvas->GetDrawScale(), 1.5f);
  auto* headless = dynamic_cast<ICanvasHeadless*>(canvas.get());
  ASSERT_NE(headless, nullptr);
  EXPECT_EQ(headless->GetClockFPS(), 30);
  headless->AdvanceFrameClock();
  EXPECT_DOUBLE_EQ(canvas->GetAnimationClockMs(), 1000.0 / 30.0);
  EXPECT_TRUE(canvas->GetBundleID().empty());
  EXPECT_TRUE(canvas->GetAppGroupID().empty());
  EXPECT_TRUE(canvas->GetSharedResourcesSubPath().empty());
}

TEST(CanvasFactory, CanvasServesTheDelegate)
{
  NullDelegate delegate;
  auto canvas = MakeGraphics(delegate, 100, 100, 60, 1.f);
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->GetDelegate(), &delegate);
}

// What a plug-in installs: the editor opens on a canvas from MakeGraphics, whose layout loads
// its resources, and closes it again.
TEST(CanvasFactory, ServesAsTheMakeGraphicsFunction)
{
  class Plug : public umbra::ICanvasEditorDelegate {
  public:
    Plug() : umbra::ICanvasEditorDelegate(0)
    {
      SetMakeGraphicsFunc([this] { return MakeGraphics(*this, 200, 100, 60, 1.f); });
      SetLayoutFunc([this](umbra::IEditorContext* context) {
        auto* canvas = dynamic_cast<ICanvas*>(context);
        fontLoaded = canvas && canvas->LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
      });
    }
    void BeginInformHostOfParamChangeFromUI(int) override {}
    void SendParameterValueFromUI(int, double) override {}
    void EndInformHostOfParamChangeFromUI(int) override {}
    bool fontLoaded = false;
  };

  SetDefaultPlatform(EPlatform::kHeadless);
  Plug plug;
  plug.OpenWindow(nullptr);
  ASSERT_TRUE(plug.HasEditorOpen());
  EXPECT_NE(dynamic_cast<ICanvasHeadless*>(plug.GetUI()), nullptr);
  EXPECT_EQ(plug.GetUI()->Width(), 200);
  EXPECT_TRUE(plug.fontLoaded);
  plug.CloseWindow();
  EXPECT_FALSE(plug.HasEditorOpen());
}

TEST(CanvasFactory, IdentityStoredInTheCanvas)
{
  NullDelegate delegate;
  auto canvas = MakeGraphics(delegate, 100, 100, 60, 1.f,
                             {"com.umbra.vox", "group.com.umbra", "Umbravox"});
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->GetBundleID(), "com.umbra.vox");
  EXPECT_EQ(canvas->GetAppGroupID(), "group.com.umbra");
  EXPECT_EQ(canvas->GetSharedResourcesSubPath(), "Umbravox");
}

} // namespace
} // namespace umbra::ui::test
