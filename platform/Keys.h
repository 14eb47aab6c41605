#pragma once
// Qt key events as the Windows virtual-key codes that the main window's key
// tables are written in. The piano rows follow the physical geometry of the
// Japanese 106/109 keyboard, so a key is translated by its physical position
// (the native scan code: on X11 and Wayland the evdev code + 8) and only by
// its Qt::Key where no scan code is known. Keys without a legend go by their
// Qt::Key, which every layout and X server agrees on. Keys that exist only on the
// Japanese keyboard are also bound to the nearest physical key of a US
// keyboard, so that every command is reachable there.

#include <cstdint>

class QKeyEvent;

namespace tavolin {

inline constexpr uint8_t VK_BACK = 0x08;
inline constexpr uint8_t VK_TAB = 0x09;
inline constexpr uint8_t VK_RETURN = 0x0D;
inline constexpr uint8_t VK_SHIFT = 0x10;
inline constexpr uint8_t VK_CONTROL = 0x11;
inline constexpr uint8_t VK_ESCAPE = 0x1B;
inline constexpr uint8_t VK_SPACE = 0x20;
inline constexpr uint8_t VK_PRIOR = 0x21;  // Page Up
inline constexpr uint8_t VK_NEXT = 0x22;   // Page Down
inline constexpr uint8_t VK_END = 0x23;
inline constexpr uint8_t VK_HOME = 0x24;
inline constexpr uint8_t VK_LEFT = 0x25;
inline constexpr uint8_t VK_UP = 0x26;
inline constexpr uint8_t VK_RIGHT = 0x27;
inline constexpr uint8_t VK_DOWN = 0x28;
inline constexpr uint8_t VK_INSERT = 0x2D;
inline constexpr uint8_t VK_DELETE = 0x2E;
inline constexpr uint8_t VK_NUMPAD0 = 0x60;  // to VK_NUMPAD9 = 0x69
inline constexpr uint8_t VK_MULTIPLY = 0x6A;
inline constexpr uint8_t VK_ADD = 0x6B;
inline constexpr uint8_t VK_SEPARATOR = 0x6C;
inline constexpr uint8_t VK_SUBTRACT = 0x6D;
inline constexpr uint8_t VK_DECIMAL = 0x6E;
inline constexpr uint8_t VK_DIVIDE = 0x6F;
inline constexpr uint8_t VK_F1 = 0x70;
inline constexpr uint8_t VK_F12 = 0x7B;
inline constexpr uint8_t VK_OEM_1 = 0xBA;     // JP ':'
inline constexpr uint8_t VK_OEM_PLUS = 0xBB;  // JP ';'
inline constexpr uint8_t VK_OEM_COMMA = 0xBC;
inline constexpr uint8_t VK_OEM_MINUS = 0xBD;
inline constexpr uint8_t VK_OEM_PERIOD = 0xBE;
inline constexpr uint8_t VK_OEM_2 = 0xBF;    // '/'
inline constexpr uint8_t VK_OEM_3 = 0xC0;    // JP '@'
inline constexpr uint8_t VK_OEM_4 = 0xDB;    // JP '['
inline constexpr uint8_t VK_OEM_5 = 0xDC;    // JP yen sign
inline constexpr uint8_t VK_OEM_6 = 0xDD;    // JP ']'
inline constexpr uint8_t VK_OEM_7 = 0xDE;    // JP '^'
inline constexpr uint8_t VK_OEM_102 = 0xE2;  // JP '\' left of the right Shift

// The virtual key of the physical key with this XKB keycode (evdev code + 8);
// 0 when the key has no fixed meaning here (keys without a command, and the
// keypad, which goes by its Qt::Key).
uint8_t VirtualKeyFromScanCode(uint32_t xkbKeycode);

// The virtual key for a Qt::Key of a key off the keypad, for events that
// carry no scan code. Symbols are read with their Japanese legends, except
// that a shifted symbol of a US digit key (Shift+2 gives '@') stands for its
// digit. 0 when unknown.
uint8_t VirtualKeyFromQtKey(int qtKey, bool shifted);

// A keypad key by its Qt::Key, with Num Lock on or off: its own keypad code
// (VK_NUMPAD0 ... VK_DIVIDE), none of which has a command, except Enter,
// which is Return. 0 when unknown.
uint8_t KeypadVirtualKey(int qtKey);

// The virtual key of a key event: keypad keys as keypad keys, keys without
// a legend (function, editing and arrow keys, Return, Space, the modifiers)
// by their Qt::Key, the others by scan code, else by Qt::Key; 0 when unknown.
uint8_t VirtualKeyOf(const QKeyEvent& event);

// A key pressed with Alt or AltGr held: the window ignores such key-downs,
// as it ignores system keys.
bool IsSystemKeyPress(const QKeyEvent& event);

}  // namespace tavolin
