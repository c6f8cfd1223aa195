// The view factory on a private X server: the host asks for the editor of a unit, alone or
// inside a window of its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "AUTestHost.h"
#include "AUv2/AUUtilities.h"
#include "ICanvasFactory.h"
#include "Platforms/ICanvasX11.h"
#include "UmbravoxAU.h"
#include "XvfbServer.h"

#include <X11/Xlib.h>

using namespace umbra;
using namespace umbra::test;

namespace {

class AUView : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!XvfbServer::Available())
      GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(mServer.Start()) << mServer.Error();
    setenv("DISPLAY", mServer.DisplayName().c_str(), 1);
    ui::SetDefaultPlatform(ui::EPlatform::kX11);
  }
  void TearDown() override { ui::SetDefaultPlatform(ui::EPlatform::kHeadless); }

  XvfbServer mServer;
};

IEffectAU& PlugOf(AUTestHost& host)
{
  IEffectAU* plug = nullptr;
  EXPECT_EQ(host.Get(kUmbraPluginObjectProperty, kAudioUnitScope_Global, 0, plug), noErr);
  return *plug;
}

} // namespace

TEST_F(AUView, TheCocoaUIPropertyNamesTheViewFactory)
{
  AUTestHost host;
  AudioUnitCocoaViewInfo info{};
  ASSERT_EQ(host.Get(kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, info), noErr);
  EXPECT_EQ(TakeString(info.mCocoaAUViewClass[0]), "Umbravox_View");
  char path[512] = {};
  ASSERT_TRUE(CFURLGetFileSystemRepresentation(info.mCocoaAUViewBundleLocation, true,
                                               reinterpret_cast<UInt8*>(path), sizeof(path)));
  EXPECT_STREQ(path, "/Library/Audio/Plug-Ins/Components/Umbravox.component");
  CFRelease(info.mCocoaAUViewBundleLocation);

  EXPECT_EQ(UmbravoxViewFactory().InterfaceVersion(), 0u);
  EXPECT_EQ(UmbravoxViewFactory().Description(), "Umbravox View");
}

TEST_F(AUView, OpensTheEditorAsATopLevelWindow)
{
  AUTestHost host;
  void* view = Umbravox_View(host.Unit(), nullptr);
  ASSERT_NE(view, nullptr);
  IEffectAU& plug = PlugOf(host);
  auto* window = dynamic_cast<ui::ICanvasX11*>(plug.GetUI());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(view), window->GetWindowID());
  EXPECT_EQ(window->Width(), 1200);
  EXPECT_EQ(window->Height(), 800);
  for (int i = 0; i < 200 && !(window->IsMapped() && window->FramesPresented() > 0); ++i)
  {
    window->Pump();
    window->WaitForEvents(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(window->IsMapped());
  EXPECT_GT(window->FramesPresented(), 0);
  plug.CloseWindow();
  EXPECT_EQ(plug.GetUI(), nullptr);
}

TEST_F(AUView, OpensTheEditorInsideTheHostsWindow)
{
  Display* display = XOpenDisplay(mServer.DisplayName().c_str());
  ASSERT_NE(display, nullptr);
  const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1300, 900, 0, 0, 0);
  XMapWindow(display, parent);
  XSync(display, False);

  AUTestHost host;
  void* view = Umbravox_View(host.Unit(), reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)));
  ASSERT_NE(view, nullptr);
  Window root = 0, found = 0;
  Window* children = nullptr;
  unsigned nChildren = 0;
  ASSERT_TRUE(XQueryTree(display, static_cast<Window>(reinterpret_cast<std::uintptr_t>(view)), &root,
                         &found, &children, &nChildren));
  if (children)
    XFree(children);
  EXPECT_EQ(found, parent);

  PlugOf(host).CloseWindow();
  XDestroyWindow(display, parent);
  XCloseDisplay(display);
}

TEST_F(AUView, NoViewWithoutAUnit)
{
  EXPECT_EQ(Umbravox_View(nullptr, nullptr), nullptr);
}
