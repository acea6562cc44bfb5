#pragma once
// Keys are named by Windows virtual-key codes throughout the program; the
// platform keeps its own table of which keys are held, so that the state of
// a key can be asked at any time (and set by tests).

#include <cstdint>

namespace platform {

enum : uint32_t {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_MBUTTON = 0x04,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,  // Alt
  VK_PAUSE = 0x13,
  VK_CAPITAL = 0x14,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,  // Page Up
  VK_NEXT = 0x22,   // Page Down
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_SNAPSHOT = 0x2C,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  // '0'-'9' and 'A'-'Z' are their ASCII codes.
  VK_LWIN = 0x5B,
  VK_RWIN = 0x5C,
  VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60,  // to VK_NUMPAD9 = 0x69
  VK_MULTIPLY = 0x6A,
  VK_ADD = 0x6B,
  VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E,
  VK_DIVIDE = 0x6F,
  VK_F1 = 0x70,  // to VK_F24 = 0x87
  VK_F10 = 0x79,
  VK_NUMLOCK = 0x90,
  VK_SCROLL = 0x91,
  VK_LSHIFT = 0xA0,
  VK_RSHIFT = 0xA1,
  VK_LCONTROL = 0xA2,
  VK_RCONTROL = 0xA3,
  VK_LMENU = 0xA4,
  VK_RMENU = 0xA5,
  VK_OEM_1 = 0xBA,  // ;
  VK_OEM_PLUS = 0xBB,
  VK_OEM_COMMA = 0xBC,
  VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE,
  VK_OEM_2 = 0xBF,  // /
  VK_OEM_3 = 0xC0,  // `
  VK_OEM_4 = 0xDB,  // [
  VK_OEM_5 = 0xDC,  // backslash
  VK_OEM_6 = 0xDD,  // ]
  VK_OEM_7 = 0xDE,  // '
};

// Like GetKeyState: negative (bit 15 set) while the key is held; bit 0
// toggles with every press.  Codes outside 0-255 are never held.
int16_t getKeyState(uint32_t virtualKey);

// VK_SHIFT, VK_CONTROL or VK_MENU for the left or right key of that
// modifier; 0 for any other key.
uint32_t commonModifierOf(uint32_t virtualKey);

// Records a press or release.  The left and right Shift, Control and Alt
// keys also drive the common VK_SHIFT, VK_CONTROL and VK_MENU, which are
// held while either side is.
void setKeyState(uint32_t virtualKey, bool down);

// Releases every key (tests; also when the window loses the keyboard).
void releaseAllKeys();

}  // namespace platform
