#pragma once

// Shared by the routing and prompt tests: the real plug-in behind a headless editor, a host
// listener counting gestures, a control that records the events it receives, and short ways to
// inject mouse and key events the way a platform would.

#include <memory>
#include <string>
#include <vector>

#include "ControlTestHelpers.h"
#include "Umbravox.h"

namespace umbra::ui::test {

// What the host hears of the editor's gestures.
class GestureCounter : public umbra::IOfflineHostListener {
public:
  void OnBeginGesture(int paramIdx) override { begins.push_back(paramIdx); }
  void OnEndGesture(int paramIdx) override { ends.push_back(paramIdx); }
  std::vector<int> begins;
  std::vector<int> ends;
};

// Records every event; a vertical slider when bound to a parameter and asked to drag.
class ProbeControl : public IControl {
public:
  explicit ProbeControl(const IRECT& bounds, int paramIdx = kNoParameter)
    : IControl(bounds, paramIdx)
  {
  }

  void Draw(ICanvas& g) override { g.FillRect(COLOR_BLUE, mRECT); }
  void OnMouseDown(float x, float y, const IMouseMod&) override { Note("down", x, y); }
  void OnMouseUp(float x, float y, const IMouseMod&) override { Note("up", x, y); }
  void OnMouseDrag(float x, float y, float, float, const IMouseMod&) override
  {
    Note("drag", x, y);
    if (snapOnDrag)
      SnapToMouse(x, y, kVertical, mRECT);
  }
  void OnMouseDblClick(float x, float y, const IMouseMod&) override { Note("dblclick", x, y); }
  void OnMouseWheel(float x, float y, const IMouseMod&, float d) override
  {
    Note("wheel", x, y);
    lastWheel = d;
  }
  bool OnKeyDown(float x, float y, const IKeyPress& key) override
  {
    Note("key", x, y);
    lastKey = key.VK;
    return handlesKeys;
  }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override
  {
    ++overs;
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override
  {
    ++outs;
    IControl::OnMouseOut();
  }
  void CreateContextMenu(IPopupMenu& menu) override
  {
    for (const std::string& item : contextItems)
      menu.AddItem(item);
  }
  void OnContextSelection(int itemSelected) override { contextSelections.push_back(itemSelected); }

  int Count(const std::string& what) const
  {
    int n = 0;
    for (const std::string& e : events)
      n += e == what;
    return n;
  }

  std::vector<std::string> events;
  std::vector<std::string> contextItems;
  std::vector<int> contextSelections;
  float lastWheel = 0.f;
  int lastKey = 0;
  int overs = 0;
  int outs = 0;
  bool handlesKeys = false;
  bool snapOnDrag = false;

private:
  void Note(const char* what, float, float) { events.emplace_back(what); }
};

inline IMouseMod LeftButton()
{
  IMouseMod mod;
  mod.L = true;
  return mod;
}

inline IMouseMod RightButton()
{
  IMouseMod mod;
  mod.R = true;
  return mod;
}

inline IKeyPress Key(int vk, const char* typed = "")
{
  IKeyPress key;
  key.VK = vk;
  for (int i = 0; i < 4 && typed[i]; ++i)
    key.utf8[i] = typed[i];
  return key;
}

// The plug-in with its gestures counted, and a headless editor of its size serving it.
class EditorFixture : public ::testing::Test {
protected:
  EditorFixture() : plug(MakePlug()), canvas(1200, 800)
  {
    plug->SetHostListener(&host);
    canvas.SetDelegate(*plug);
  }
  ~EditorFixture() override { plug->SetHostListener(nullptr); }

  template <typename T>
  T* Attach(T* control, int tag = -1)
  {
    canvas.AttachControl(control, tag);
    return control;
  }

  void Down(float x, float y, const IMouseMod& mod = LeftButton())
  {
    canvas.OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, mod}});
  }
  void Up(float x, float y, const IMouseMod& mod = LeftButton())
  {
    canvas.OnMouseUp({IMouseInfo{x, y, 0.f, 0.f, mod}});
  }
  void Drag(float x, float y, float dX, float dY, const IMouseMod& mod = LeftButton())
  {
    canvas.OnMouseDrag({IMouseInfo{x, y, dX, dY, mod}});
  }
  void Click(float x, float y, const IMouseMod& mod = LeftButton())
  {
    Down(x, y, mod);
    Up(x, y, mod);
  }
  bool Press(int vk, const char* typed = "", float x = 0.f, float y = 0.f)
  {
    return canvas.OnKeyDown(x, y, Key(vk, typed));
  }
  void Type(const char* text)
  {
    for (const char* c = text; *c; ++c) {
      const char one[2] = {*c, '\0'};
      Press(0, one);
    }
  }

  std::unique_ptr<Umbravox> plug;
  GestureCounter host;
  ICanvasHeadless canvas;
};

} // namespace umbra::ui::test
