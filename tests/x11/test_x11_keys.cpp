// X11 key symbols as the canvas's key presses.
#include <gtest/gtest.h>

#include <cstring>

#include "Platforms/X11Keys.h"

#include <X11/X.h>
#include <X11/keysym.h>

using namespace umbra::ui;

namespace {

TEST(X11Keys, EscapeIsVirtualKey27WithoutText)
{
  const IKeyPress key = X11KeyPress(XK_Escape, "\x1b", 1, 0);
  EXPECT_EQ(key.VK, 27);
  EXPECT_STREQ(key.utf8, "");
}

TEST(X11Keys, EditingAndArrowKeysCarryTheirCodes)
{
  EXPECT_EQ(X11KeyPress(XK_Return, "\r", 1, 0).VK, kVK_RETURN);
  EXPECT_EQ(X11KeyPress(XK_KP_Enter, "\r", 1, 0).VK, kVK_RETURN);
  EXPECT_EQ(X11KeyPress(XK_BackSpace, "\b", 1, 0).VK, kVK_BACK);
  EXPECT_EQ(X11KeyPress(XK_Delete, "\x7f", 1, 0).VK, kVK_DELETE);
  EXPECT_EQ(X11KeyPress(XK_Tab, "\t", 1, 0).VK, kVK_TAB);
  EXPECT_EQ(X11KeyPress(XK_Left, nullptr, 0, 0).VK, kVK_LEFT);
  EXPECT_EQ(X11KeyPress(XK_Right, nullptr, 0, 0).VK, kVK_RIGHT);
  EXPECT_EQ(X11KeyPress(XK_Up, nullptr, 0, 0).VK, kVK_UP);
  EXPECT_EQ(X11KeyPress(XK_Down, nullptr, 0, 0).VK, kVK_DOWN);
  EXPECT_EQ(X11KeyPress(XK_Home, nullptr, 0, 0).VK, kVK_HOME);
  EXPECT_EQ(X11KeyPress(XK_End, nullptr, 0, 0).VK, kVK_END);
  EXPECT_STREQ(X11KeyPress(XK_Return, "\r", 1, 0).utf8, "");
}

TEST(X11Keys, LettersAndDigitsTypeTheirCharacter)
{
  IKeyPress a = X11KeyPress(XK_a, "a", 1, 0);
  EXPECT_EQ(a.VK, 'A');
  EXPECT_STREQ(a.utf8, "a");
  IKeyPress shiftedA = X11KeyPress(XK_A, "A", 1, ShiftMask);
  EXPECT_EQ(shiftedA.VK, 'A');
  EXPECT_STREQ(shiftedA.utf8, "A");
  EXPECT_TRUE(shiftedA.S);
  IKeyPress four = X11KeyPress(XK_4, "4", 1, 0);
  EXPECT_EQ(four.VK, '4');
  EXPECT_STREQ(four.utf8, "4");
  IKeyPress minus = X11KeyPress(XK_minus, "-", 1, 0);
  EXPECT_EQ(minus.VK, 0);
  EXPECT_STREQ(minus.utf8, "-");
}

TEST(X11Keys, Latin1CharactersBecomeUtf8)
{
  const char eAcute[] = {static_cast<char>(0xe9), 0};
  const IKeyPress key = X11KeyPress(XK_eacute, eAcute, 1, 0);
  EXPECT_STREQ(key.utf8, "\xc3\xa9");
}

TEST(X11Keys, ModifiersComeFromTheState)
{
  const IKeyPress key = X11KeyPress(XK_c, "\x03", 1, ControlMask | Mod1Mask);
  EXPECT_FALSE(key.S);
  EXPECT_TRUE(key.C);
  EXPECT_TRUE(key.A);
  // Control turns the letter into a control character, which is not text.
  EXPECT_STREQ(key.utf8, "");
  EXPECT_EQ(key.VK, 'C');
}

} // namespace
