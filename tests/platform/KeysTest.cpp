#include "platform/Keys.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <tuple>

namespace tavolin {
namespace {

constexpr uint32_t Xkb(uint32_t evdev) { return evdev + 8; }

QKeyEvent Press(int key, uint32_t scanCode, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  return QKeyEvent(QEvent::KeyPress, key, mods, scanCode, 0, 0);
}

// The two piano rows by their physical keys on a Japanese keyboard, in the
// order of the note map: evdev code and the virtual key it must give.
TEST(Keys, PianoRowsFollowTheJapaneseGeometry) {
  // clang-format off
  const std::pair<uint32_t, uint8_t> lower[] = {
      {44, 'Z'}, {31, 'S'}, {45, 'X'}, {32, 'D'}, {46, 'C'}, {47, 'V'}, {34, 'G'},
      {48, 'B'}, {35, 'H'}, {49, 'N'}, {36, 'J'}, {50, 'M'}, {51, VK_OEM_COMMA}, {38, 'L'},
      {52, VK_OEM_PERIOD}, {39, VK_OEM_PLUS}, {53, VK_OEM_2}, {89, VK_OEM_102}, {43, VK_OEM_6}};
  // clang-format on
  // clang-format off
  const std::pair<uint32_t, uint8_t> upper[] = {
      {16, 'Q'}, {3, '2'}, {17, 'W'}, {4, '3'}, {18, 'E'}, {19, 'R'}, {6, '5'},
      {20, 'T'}, {7, '6'}, {21, 'Y'}, {8, '7'}, {22, 'U'}, {23, 'I'}, {10, '9'},
      {24, 'O'}, {11, '0'}, {25, 'P'}, {26, VK_OEM_3}, {13, VK_OEM_7}, {27, VK_OEM_4}, {124, VK_OEM_5}};
  // clang-format on
  for (const auto& [evdev, vk] : lower) EXPECT_EQ(VirtualKeyFromScanCode(Xkb(evdev)), vk) << evdev;
  for (const auto& [evdev, vk] : upper) EXPECT_EQ(VirtualKeyFromScanCode(Xkb(evdev)), vk) << evdev;
}

// The yen and ro keys exist only on the Japanese keyboard; a US keyboard
// reaches them through '`' and '\''. Commands and modifiers have their keys.
TEST(Keys, EveryCommandKeyIsOnAUsKeyboard) {
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(41)), VK_OEM_5);    // '`'
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(40)), VK_OEM_102);  // '\''
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(13)), VK_OEM_7);    // '='
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(12)), VK_OEM_MINUS);
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(86)), VK_OEM_102);  // ISO key left of Z
  // clang-format off
  const std::pair<uint32_t, uint8_t> commands[] = {
      {59, 0x70}, {66, 0x77}, {67, 0x78}, {68, 0x79}, {87, 0x7A}, {88, 0x7B}, {57, VK_SPACE},
      {28, VK_RETURN}, {96, VK_RETURN}, {14, VK_BACK}, {111, VK_DELETE}, {110, VK_INSERT},
      {104, VK_PRIOR}, {109, VK_NEXT}, {102, VK_HOME}, {107, VK_END}, {103, VK_UP},
      {108, VK_DOWN}, {105, VK_LEFT}, {106, VK_RIGHT}, {42, VK_SHIFT}, {54, VK_SHIFT},
      {29, VK_CONTROL}, {97, VK_CONTROL}, {30, 'A'}, {38, 'L'}};
  // clang-format on
  for (const auto& [evdev, vk] : commands) EXPECT_EQ(VirtualKeyFromScanCode(Xkb(evdev)), vk) << evdev;
}

TEST(Keys, CodesOutsideTheTableGiveNothing) {
  EXPECT_EQ(VirtualKeyFromScanCode(0), 0);
  EXPECT_EQ(VirtualKeyFromScanCode(7), 0);
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(79)), 0);  // keypad 1: depends on Num Lock
  EXPECT_EQ(VirtualKeyFromScanCode(Xkb(255)), 0);
  EXPECT_EQ(VirtualKeyFromScanCode(100000), 0);
}

// With a scan code the legend does not matter: Shift+1 is '1' whatever
// symbol the layout puts on it, and a French 'A' key is still Q.
TEST(Keys, EventsTranslateByScanCodeFirst) {
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Exclam, Xkb(2), Qt::ShiftModifier)), '1');
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_A, Xkb(16))), 'Q');
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_BracketLeft, Xkb(26))), VK_OEM_3);
}

// An X server with the older xfree86 codes sends Home as 97, which is the
// ro key's evdev code + 8; editing and arrow keys go by their name.
TEST(Keys, KeysWithoutLegendGoByTheirName) {
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Home, 97)), VK_HOME);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_PageDown, 105)), VK_NEXT);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Down, 104)), VK_DOWN);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_F9, 75)), 0x78);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Backslash, 97)), VK_OEM_102);
}

TEST(Keys, EventsWithoutScanCodeFallBackToTheQtKey) {
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Z, 0)), 'Z');
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_5, 0)), '5');
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_F9, 0)), 0x78);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_At, 0)), VK_OEM_3);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_At, 0, Qt::ShiftModifier)), '2');
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_ParenRight, 0, Qt::ShiftModifier)), '0');
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_yen, 0)), VK_OEM_5);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_AsciiCircum, 0)), VK_OEM_7);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Backslash, 0)), VK_OEM_102);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Shift, 0, Qt::ShiftModifier)), VK_SHIFT);
  EXPECT_EQ(VirtualKeyOf(Press(Qt::Key_Eacute, 0)), 0);
}

// Keypad keys are keypad keys with Num Lock on or off: none of them turns
// into a command (Delete, Insert, Ctrl+-) or a piano note ('/', digits).
TEST(Keys, KeypadKeysKeepTheirOwnCodes) {
  // clang-format off
  const std::tuple<int, uint32_t, uint8_t> keypad[] = {
      {Qt::Key_7, 71, VK_NUMPAD0 + 7},   {Qt::Key_Home, 71, VK_NUMPAD0 + 7}, {Qt::Key_1, 79, VK_NUMPAD0 + 1},
      {Qt::Key_End, 79, VK_NUMPAD0 + 1}, {Qt::Key_0, 82, VK_NUMPAD0},        {Qt::Key_Insert, 82, VK_NUMPAD0},
      {Qt::Key_Clear, 76, VK_NUMPAD0 + 5}, {Qt::Key_PageUp, 73, VK_NUMPAD0 + 9},
      {Qt::Key_Period, 83, VK_DECIMAL},  {Qt::Key_Delete, 83, VK_DECIMAL},   {Qt::Key_Comma, 83, VK_DECIMAL},
      {Qt::Key_Slash, 98, VK_DIVIDE},    {Qt::Key_Asterisk, 55, VK_MULTIPLY}, {Qt::Key_Minus, 74, VK_SUBTRACT},
      {Qt::Key_Plus, 78, VK_ADD},        {Qt::Key_Enter, 96, VK_RETURN}};
  // clang-format on
  for (const auto& [key, evdev, vk] : keypad) {
    EXPECT_EQ(VirtualKeyOf(Press(key, Xkb(evdev), Qt::KeypadModifier)), vk) << key;
    EXPECT_EQ(VirtualKeyOf(Press(key, 0, Qt::KeypadModifier)), vk) << key << " without scan code";
  }
}

// Alt and AltGr make a key a system key, which the window ignores.
TEST(Keys, AltAndAltGrKeysAreSystemKeys) {
  EXPECT_TRUE(IsSystemKeyPress(Press(Qt::Key_Z, Xkb(44), Qt::AltModifier)));
  EXPECT_TRUE(IsSystemKeyPress(Press(Qt::Key_Delete, Xkb(111), Qt::AltModifier | Qt::ControlModifier)));
  EXPECT_TRUE(IsSystemKeyPress(Press(Qt::Key_At, Xkb(16), Qt::GroupSwitchModifier)));
  EXPECT_TRUE(IsSystemKeyPress(Press(Qt::Key_AltGr, Xkb(100))));
  EXPECT_FALSE(IsSystemKeyPress(Press(Qt::Key_Z, Xkb(44), Qt::ShiftModifier | Qt::ControlModifier)));
}

}  // namespace
}  // namespace tavolin
