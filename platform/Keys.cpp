#include "platform/Keys.h"

#include <QKeyEvent>
#include <array>
#include <utility>

namespace tavolin {

namespace {

constexpr uint32_t kXkbOffset = 8;  // XKB keycode = evdev code + 8

// evdev code -> virtual key, by the key's place on a Japanese 106/109
// keyboard. The US keyboard shares every code but two (KEY_YEN, KEY_RO);
// those two are also bound to US keys that have no command of their own.
// clang-format off
constexpr std::pair<uint8_t, uint8_t> kPhysicalKeys[] = {
    {1, VK_ESCAPE},
    {2, '1'}, {3, '2'}, {4, '3'}, {5, '4'}, {6, '5'}, {7, '6'}, {8, '7'}, {9, '8'}, {10, '9'}, {11, '0'},
    {12, VK_OEM_MINUS},  // JP '-'
    {13, VK_OEM_7},      // JP '^', US '='
    {14, VK_BACK},
    {15, VK_TAB},
    {16, 'Q'}, {17, 'W'}, {18, 'E'}, {19, 'R'}, {20, 'T'}, {21, 'Y'}, {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'},
    {26, VK_OEM_3},  // JP '@', US '['
    {27, VK_OEM_4},  // JP '[', US ']'
    {28, VK_RETURN},
    {29, VK_CONTROL},
    {30, 'A'}, {31, 'S'}, {32, 'D'}, {33, 'F'}, {34, 'G'}, {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'},
    {39, VK_OEM_PLUS},   // JP ';', US ';'
    {40, VK_OEM_102},    // JP ':' (no command), US '\'': stands in for the JP '\' below
    {41, VK_OEM_5},      // JP half/full width (no command), US '`': stands in for the JP yen key
    {42, VK_SHIFT},
    {43, VK_OEM_6},      // JP ']' right of ':', US '\' above Return
    {44, 'Z'}, {45, 'X'}, {46, 'C'}, {47, 'V'}, {48, 'B'}, {49, 'N'}, {50, 'M'},
    {51, VK_OEM_COMMA},
    {52, VK_OEM_PERIOD},
    {53, VK_OEM_2},
    {54, VK_SHIFT},
    {57, VK_SPACE},
    {59, VK_F1}, {60, VK_F1 + 1}, {61, VK_F1 + 2}, {62, VK_F1 + 3}, {63, VK_F1 + 4},
    {64, VK_F1 + 5}, {65, VK_F1 + 6}, {66, VK_F1 + 7}, {67, VK_F1 + 8}, {68, VK_F1 + 9},
    {86, VK_OEM_102},  // the ISO key left of Z, as Windows names it
    {87, VK_F1 + 10}, {88, VK_F12},
    {89, VK_OEM_102},  // JP '\' (ro) left of the right Shift
    {96, VK_RETURN},   // keypad Enter
    {97, VK_CONTROL},
    {102, VK_HOME}, {103, VK_UP}, {104, VK_PRIOR}, {105, VK_LEFT}, {106, VK_RIGHT},
    {107, VK_END}, {108, VK_DOWN}, {109, VK_NEXT}, {110, VK_INSERT}, {111, VK_DELETE},
    {124, VK_OEM_5},   // JP yen
};
// clang-format on

constexpr std::array<uint8_t, 256> MakeScanTable() {
  std::array<uint8_t, 256> table{};
  for (const auto& [code, vk] : kPhysicalKeys) table[code] = vk;
  return table;
}

constexpr std::array<uint8_t, 256> kScanTable = MakeScanTable();

// Shifted symbols of the US digit row, back to their digits.
uint8_t UsShiftedDigit(int key) {
  switch (key) {
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return 0;
  }
}

// Keys without a legend: the same wherever they sit, and named the same
// by every layout. Their scan codes are not (X servers that use the older
// xfree86 codes put Home where evdev has the ro key).
uint8_t UnprintedKey(int key) {
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return static_cast<uint8_t>(VK_F1 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
  }
}

// Symbol keys by their Japanese legends.
uint8_t SymbolKey(int key) {
  switch (key) {
    case Qt::Key_Minus: return VK_OEM_MINUS;
    case Qt::Key_AsciiCircum: return VK_OEM_7;
    case Qt::Key_yen: return VK_OEM_5;
    case Qt::Key_At: return VK_OEM_3;
    case Qt::Key_BracketLeft: return VK_OEM_4;
    case Qt::Key_Semicolon: return VK_OEM_PLUS;
    case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_BracketRight: return VK_OEM_6;
    case Qt::Key_Comma: return VK_OEM_COMMA;
    case Qt::Key_Period: return VK_OEM_PERIOD;
    case Qt::Key_Slash: return VK_OEM_2;
    case Qt::Key_Backslash: return VK_OEM_102;
    default: return 0;
  }
}

// The keypad's keys with Num Lock off, by the digit they carry.
int KeypadDigitOfEditingKey(int key) {
  switch (key) {
    case Qt::Key_Insert: return 0;
    case Qt::Key_End: return 1;
    case Qt::Key_Down: return 2;
    case Qt::Key_PageDown: return 3;
    case Qt::Key_Left: return 4;
    case Qt::Key_Clear: return 5;
    case Qt::Key_Right: return 6;
    case Qt::Key_Home: return 7;
    case Qt::Key_Up: return 8;
    case Qt::Key_PageUp: return 9;
    default: return -1;
  }
}

}  // namespace

uint8_t KeypadVirtualKey(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<uint8_t>(VK_NUMPAD0 + (qtKey - Qt::Key_0));
  if (const int digit = KeypadDigitOfEditingKey(qtKey); digit >= 0) return static_cast<uint8_t>(VK_NUMPAD0 + digit);
  switch (qtKey) {
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Slash: return VK_DIVIDE;
    case Qt::Key_Period:
    case Qt::Key_Comma:  // the decimal key of layouts that write a comma
    case Qt::Key_Delete: return VK_DECIMAL;
    case Qt::Key_Enter:
    case Qt::Key_Return: return VK_RETURN;
    default: return 0;
  }
}

uint8_t VirtualKeyFromScanCode(uint32_t xkbKeycode) {
  if (xkbKeycode < kXkbOffset || xkbKeycode - kXkbOffset >= kScanTable.size()) return 0;
  return kScanTable[xkbKeycode - kXkbOffset];
}

uint8_t VirtualKeyFromQtKey(int qtKey, bool shifted) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<uint8_t>(qtKey);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint8_t>(qtKey);
  if (const uint8_t vk = UnprintedKey(qtKey)) return vk;
  if (shifted) {
    if (const uint8_t digit = UsShiftedDigit(qtKey)) return digit;
  }
  return SymbolKey(qtKey);
}

uint8_t VirtualKeyOf(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  // Before anything else: with Num Lock off the keypad's '.' is named
  // Delete, its 0 Insert, and so on.
  if (mods.testFlag(Qt::KeypadModifier)) return KeypadVirtualKey(event.key());
  if (const uint8_t vk = UnprintedKey(event.key())) return vk;
  if (const uint8_t vk = VirtualKeyFromScanCode(event.nativeScanCode())) return vk;
  return VirtualKeyFromQtKey(event.key(), mods.testFlag(Qt::ShiftModifier));
}

bool IsSystemKeyPress(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  return mods.testFlag(Qt::AltModifier) || mods.testFlag(Qt::GroupSwitchModifier) || event.key() == Qt::Key_AltGr;
}

}  // namespace tavolin
