#include "LiveWindow.h"

#include <chrono>
#include <cmath>

#include "Controls/ILambdaControl.h"
#include "LiveSession.h"
#include "LiveWatch.h"
#include "Platforms/ICanvasX11.h"
#include "PresetNameControl.h"
#include "Umbravox.h"

namespace umbra::live {

namespace {

// Drawn over the editor while the server is gone: the settings stay and can still be changed,
// but nothing is heard.
ui::IControl* AttachServerGoneVeil(ui::ICanvas& canvas)
{
  auto* veil = new ui::ILambdaControl(
    ui::IRECT(0.f, 0.f, static_cast<float>(canvas.Width()), static_cast<float>(canvas.Height())),
    [](ui::ILambdaControl*, ui::ICanvas& g, const ui::IRECT& r) {
      g.FillRect(ui::IColor(170, 0, 0, 0), r);
      const ui::IText big(40.f, ui::IColor(255, 235, 225, 255));
      const ui::IText small(22.f, ui::IColor(255, 200, 190, 225));
      g.DrawText(big, "The JACK server is gone", r.GetCentredInside(r.W(), 60.f).GetTranslated(0.f, -30.f));
      g.DrawText(small, "waiting for it to come back; the settings are kept",
                 r.GetCentredInside(r.W(), 40.f).GetTranslated(0.f, 25.f));
    },
    1000, false, false, ui::kNoParameter, true);
  canvas.AttachControl(veil);
  veil->Hide(true);
  return veil;
}

} // namespace

bool RunWindow(Umbravox& plug, Watch& watch, std::string& error)
{
  const std::string title = watch.Title();
  auto make = plug.GetMakeGraphicsFunc();
  const WindowSize size = watch.Window();
  plug.SetMakeGraphicsFunc([make, title, size]() {
    auto graphics = make ? make() : nullptr;
    if (auto* window = dynamic_cast<ui::ICanvasX11*>(graphics.get()))
    {
      window->SetWindowTitle(title);
      // A window the user resizes shows the whole editor, zoomed; it opens as it was left.
      window->SetZoomsToWindow(true, size.width, size.height);
    }
    return graphics;
  });
  void* view = plug.OpenWindow(nullptr);
  auto* window = dynamic_cast<ui::ICanvasX11*>(plug.GetUI());
  if (!view || !window)
  {
    error = window ? window->GetLastError() : "no X11 window could be made";
    plug.CloseWindow();
    return false;
  }
  window->SetTimerFunc([&plug]() { plug.OnTimer(); });
  ui::IControl* veil = AttachServerGoneVeil(*window);
  SessionClient* session = watch.Session();
  if (session)
    session->TellWindowShown(true);
  while (!watch.ShouldStop())
  {
    window->Pump();
    if (watch.Tick())
    {
      window->SetWindowTitle(watch.Title());
      veil->Hide(!watch.ServerGone());
    }
    if (watch.TakePresetNamed())
      if (auto* name = dynamic_cast<PresetNameControl*>(window->GetControlWithTag(kCtrlTagPresetName)))
        name->UpdatePresetName(&plug);
    // In a session the session manager ends the program; closing the window only hides it.
    if (window->IsClosed() && !session)
      break;
    int show = session ? session->TakeShowRequest() : -1;
    if (window->IsClosed())
    {
      window->AcknowledgeCloseRequest();
      show = 0;
    }
    if (show >= 0)
    {
      window->SetShown(show == 1);
      session->TellWindowShown(show == 1);
    }
    window->WaitForEvents(std::chrono::milliseconds(session ? 20 : 100));
  }
  const float device = window->GetBackingPixelScale();
  watch.Window() = {static_cast<int>(std::lround(static_cast<float>(window->Width()) * device)),
                 static_cast<int>(std::lround(static_cast<float>(window->Height()) * device))};
  plug.CloseWindow();
  return true;
}

} // namespace umbra::live
