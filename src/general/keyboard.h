#pragma once
// The keyboard ring between the window procedure (writer, on the message
// pump task) and the emulator's main task (reader).  A key code is a Windows
// virtual-key code, with the modifiers held at the time of reading added as
// flags.

#include <cstdint>

inline constexpr uint32_t kKeyShift = 0x8000;
inline constexpr uint32_t kKeyCtrl = 0x2000;
inline constexpr uint32_t kKeyAlt = 0x4000;

struct KeyRing {
  uint32_t entries[256];
  uint8_t writeIndex;  // advanced only by the writer
  uint8_t readIndex;   // advanced only by the reader
};

extern KeyRing gKeyRing;

// Stores a key; a full ring (255 unread keys) keeps what it holds and drops
// the new key, answering false.
bool writeKey(uint32_t virtualKey);
bool keyAvailable();
// The next key with the flags of the modifiers held now; 0 when the ring is empty.
uint32_t readKey();
// kKeyShift, kKeyCtrl and kKeyAlt ask for their modifier; any other value
// is a virtual-key code.  True while that key is held.
bool isModifierDown(uint32_t code);
