#include "IPopupMenuControl.h"

#include <algorithm>

#include "ICanvas.h"

namespace umbra::ui {

namespace {

constexpr IColor kMenuBackground{245, 40, 40, 44};
constexpr IColor kMenuFrame{255, 110, 110, 120};
constexpr IColor kMenuHighlight{255, 70, 90, 140};
constexpr IColor kMenuText{255, 230, 230, 230};
constexpr IColor kMenuDisabledText{255, 120, 120, 120};
constexpr IColor kMenuTitle{255, 170, 170, 180};
// Room on the left of each item for the check mark.
constexpr float kCheckColumn = 16.f;
constexpr float kMinWidth = 80.f;

} // namespace

IPopupMenuControl::IPopupMenuControl() : IControl(IRECT())
{
  mHide = true;
  mText = IText(14.f, kAlignNear, kMenuText).WithVAlign(kVAlignMiddle);
  // A quick second click on the menu is a click on it, not a reset of anything.
  mDblAsSingleClick = true;
}

void IPopupMenuControl::OpenMenu(IPopupMenu& menu, const IRECT& anchor)
{
  mMenu = &menu;
  mHasTitle = !menu.GetRootTitle().empty();

  float width = std::max(anchor.W(), kMinWidth);
  if (mGraphics) {
    auto widen = [&](const std::string& str) {
      IRECT measured;
      width = std::max(width, mGraphics->MeasureText(mText, str.c_str(), measured) +
                                kCheckColumn + 2.f * kPadding);
    };
    for (int i = 0; i < menu.NItems(); ++i)
      widen(menu.GetItem(i).text);
    if (mHasTitle)
      widen(menu.GetRootTitle());
  }
  const float height = kItemHeight * static_cast<float>(menu.NItems() + (mHasTitle ? 1 : 0));

  float left = anchor.L;
  float top = anchor.T;
  if (mGraphics) {
    left = std::min(left, static_cast<float>(mGraphics->Width()) - width);
    top = std::min(top, static_cast<float>(mGraphics->Height()) - height);
  }
  left = std::max(left, 0.f);
  top = std::max(top, 0.f);
  SetTargetAndDrawRECTs(IRECT(left, top, left + width, top + height));

  mHighlighted = -1;
  for (int i = 0; i < menu.NItems(); ++i)
    if (menu.GetItem(i).flags & IPopupMenu::Item::kChecked)
      mHighlighted = i;
  menu.SetChosenItemIdx(-1);
  Hide(false);
}

void IPopupMenuControl::CloseMenu(int chosenIdx)
{
  IPopupMenu* menu = mMenu;
  if (!menu)
    return;
  if (!ItemEnabled(chosenIdx))
    chosenIdx = -1;
  menu->SetChosenItemIdx(chosenIdx);
  mMenu = nullptr;
  mHighlighted = -1;
  // Still dirty over its old bounds, so the frame redraws what it covered.
  Hide(true);
  if (mGraphics)
    mGraphics->SetControlValueAfterPopupMenu(chosenIdx >= 0 ? menu : nullptr);
}

IRECT IPopupMenuControl::GetItemRECT(int itemIdx) const
{
  if (!mMenu || itemIdx < 0 || itemIdx >= mMenu->NItems())
    return IRECT();
  const float top = mRECT.T + kItemHeight * static_cast<float>(itemIdx + (mHasTitle ? 1 : 0));
  return IRECT(mRECT.L, top, mRECT.R, top + kItemHeight);
}

int IPopupMenuControl::GetItemAt(float x, float y) const
{
  if (!mMenu)
    return -1;
  for (int i = 0; i < mMenu->NItems(); ++i)
    if (GetItemRECT(i).Contains(x, y))
      return i;
  return -1;
}

bool IPopupMenuControl::ItemEnabled(int itemIdx) const
{
  return mMenu && itemIdx >= 0 && itemIdx < mMenu->NItems() &&
         !(mMenu->GetItem(itemIdx).flags & IPopupMenu::Item::kDisabled);
}

int IPopupMenuControl::NextEnabled(int itemIdx, int direction) const
{
  if (!mMenu)
    return itemIdx;
  for (int i = itemIdx + direction; i >= 0 && i < mMenu->NItems(); i += direction)
    if (ItemEnabled(i))
      return i;
  return itemIdx;
}

void IPopupMenuControl::Draw(ICanvas& g)
{
  if (!mMenu)
    return;
  g.FillRect(kMenuBackground, mRECT);

  if (mHasTitle) {
    const IRECT title(mRECT.L + kPadding, mRECT.T, mRECT.R - kPadding, mRECT.T + kItemHeight);
    g.DrawText(mText.WithFGColor(kMenuTitle), mMenu->GetRootTitle().c_str(), title);
    g.DrawLine(kMenuFrame, mRECT.L, title.B, mRECT.R, title.B);
  }

  for (int i = 0; i < mMenu->NItems(); ++i) {
    const IPopupMenu::Item& item = mMenu->GetItem(i);
    const IRECT r = GetItemRECT(i);
    const bool enabled = ItemEnabled(i);
    if (i == mHighlighted && enabled)
      g.FillRect(kMenuHighlight, r);
    if (item.flags & IPopupMenu::Item::kChecked)
      g.FillCircle(enabled ? kMenuText : kMenuDisabledText, r.L + kPadding + 4.f, r.MH(), 3.f);
    const IRECT textRect(r.L + kPadding + kCheckColumn, r.T, r.R - kPadding, r.B);
    g.DrawText(mText.WithFGColor(enabled ? kMenuText : kMenuDisabledText), item.text.c_str(),
               textRect);
  }
  g.DrawRect(kMenuFrame, mRECT);
}

void IPopupMenuControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  if (!mMenu)
    return;
  if (!mRECT.Contains(x, y)) {
    CloseMenu(-1);
    return;
  }
  const int item = GetItemAt(x, y);
  if (ItemEnabled(item))
    CloseMenu(item);
}

void IPopupMenuControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  const int item = GetItemAt(x, y);
  if (item >= 0 && item != mHighlighted) {
    mHighlighted = item;
    SetDirty(false);
  }
  IControl::OnMouseOver(x, y, mod);
}

bool IPopupMenuControl::OnKeyDown(float, float, const IKeyPress& key)
{
  if (!mMenu)
    return false;
  switch (key.VK) {
    case kVK_ESCAPE:
      CloseMenu(-1);
      break;
    case kVK_RETURN:
      if (ItemEnabled(mHighlighted))
        CloseMenu(mHighlighted);
      break;
    case kVK_UP:
    case kVK_DOWN: {
      const int direction = key.VK == kVK_UP ? -1 : 1;
      const int from = mHighlighted < 0 ? (direction > 0 ? -1 : mMenu->NItems()) : mHighlighted;
      const int next = NextEnabled(from, direction);
      if (next != mHighlighted && ItemEnabled(next)) {
        mHighlighted = next;
        SetDirty(false);
      }
      break;
    }
    default:
      break;
  }
  // An open menu holds the keyboard, as a platform menu would.
  return true;
}

} // namespace umbra::ui
