#pragma once

#include "IControl.h"

namespace umbra::ui {

// The menu of value prompts and context menus, drawn by the canvas over the editor. While it is
// open it takes every mouse and key event: the mouse or the up/down keys and Return choose,
// Escape or a click outside dismisses. Then the canvas hears the outcome through
// SetControlValueAfterPopupMenu.
class IPopupMenuControl : public IControl {
public:
  IPopupMenuControl();

  // Shows menu with its top-left corner on the top-left of anchor, moved inside the editor when
  // it would stick out. The checked item starts highlighted. menu must outlive the prompt.
  void OpenMenu(IPopupMenu& menu, const IRECT& anchor);
  bool IsOpen() const { return mMenu != nullptr; }
  // chosenIdx -1 dismisses; a disabled item cannot be chosen.
  void CloseMenu(int chosenIdx);

  IPopupMenu* GetMenu() const { return mMenu; }
  int GetHighlightedItem() const { return mHighlighted; }
  // Where item itemIdx is drawn; empty while closed.
  IRECT GetItemRECT(int itemIdx) const;
  // The item at (x, y), -1 when none.
  int GetItemAt(float x, float y) const;

  void Draw(ICanvas& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

  static constexpr float kItemHeight = 20.f;
  static constexpr float kPadding = 6.f;

private:
  bool ItemEnabled(int itemIdx) const;
  // The next enabled item from itemIdx in direction (+1 or -1), or itemIdx when there is none.
  int NextEnabled(int itemIdx, int direction) const;

  IPopupMenu* mMenu = nullptr;
  int mHighlighted = -1;
  bool mHasTitle = false;
};

} // namespace umbra::ui
