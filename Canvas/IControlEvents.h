#pragma once

// What the graphics context hands a control besides mouse positions: key presses, gestures and
// the popup menus of value prompts and context menus.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ICanvasStructs.h"

namespace umbra::ui {

// One pointer of a mouse event: position and movement in logical pixels, and the modifiers.
struct IMouseInfo {
  float x = 0.f;
  float y = 0.f;
  float dX = 0.f;
  float dY = 0.f;
  IMouseMod ms;
};

// The cursors the canvas asks the platform for.
enum class ECursor { kArrow, kSizeNWSE };

// A key as the platform reports it: a virtual key code (27 is escape), the typed character as
// UTF-8 (up to four bytes and a terminator), and the modifier keys.
struct IKeyPress {
  int VK = 0;
  char utf8[5] = {};
  bool S = false;
  bool C = false;
  bool A = false;
};

// The virtual key codes the framework's own controls act on. The numbering is the common
// desktop one (escape 27), so a platform layer maps its key symbols onto these and passes every
// other key with its typed character.
inline constexpr int kVK_BACK = 8;
inline constexpr int kVK_TAB = 9;
inline constexpr int kVK_RETURN = 13;
inline constexpr int kVK_ESCAPE = 27;
inline constexpr int kVK_END = 35;
inline constexpr int kVK_HOME = 36;
inline constexpr int kVK_LEFT = 37;
inline constexpr int kVK_UP = 38;
inline constexpr int kVK_RIGHT = 39;
inline constexpr int kVK_DOWN = 40;
inline constexpr int kVK_DELETE = 46;

enum class EGestureType { Unknown, DoubleTap, TripleTap, LongPress1, LongPress2, SwipeLeft,
                          SwipeRight, SwipeUp, SwipeDown, Pinch, Rotate, Pan };
enum class EGestureState { Unknown, Began, InProcess, Ended };

struct IGestureInfo {
  float x = 0.f;
  float y = 0.f;
  float scale = 0.f;
  float velocity = 0.f;
  float angle = 0.f;
  EGestureState state = EGestureState::Unknown;
  EGestureType type = EGestureType::Unknown;
};

// A menu for a value prompt or a context menu. After it closes it remembers the chosen item,
// -1 when the user dismissed it.
class IPopupMenu {
public:
  struct Item {
    enum EFlags { kNoFlags = 0, kDisabled = 1, kChecked = 2 };
    std::string text;
    int flags = kNoFlags;
    int tag = -1;
    std::unique_ptr<IPopupMenu> submenu;
  };

  explicit IPopupMenu(std::string rootTitle = "") : mRootTitle(std::move(rootTitle)) {}

  Item& AddItem(std::string text, int flags = Item::kNoFlags, int tag = -1)
  {
    mItems.push_back(Item{std::move(text), flags, tag, nullptr});
    return mItems.back();
  }
  int NItems() const { return static_cast<int>(mItems.size()); }
  const Item& GetItem(int i) const { return mItems[static_cast<size_t>(i)]; }
  void Clear() { mItems.clear(); mChosenItemIdx = -1; }

  const std::string& GetRootTitle() const { return mRootTitle; }
  void SetRootTitle(std::string title) { mRootTitle = std::move(title); }
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int idx) { mChosenItemIdx = idx; }

private:
  std::string mRootTitle;
  std::vector<Item> mItems;
  int mChosenItemIdx = -1;
};

} // namespace umbra::ui
