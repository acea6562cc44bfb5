#include "general/keyboard.h"

#include "platform/keys.h"

KeyRing gKeyRing;

bool writeKey(uint32_t virtualKey) {
  const uint8_t next = static_cast<uint8_t>(gKeyRing.writeIndex + 1);
  // Meeting the read index would make the ring read as empty and lose every
  // queued key.
  if (next == gKeyRing.readIndex) return false;
  gKeyRing.entries[gKeyRing.writeIndex] = virtualKey;
  gKeyRing.writeIndex = next;
  return true;
}

bool keyAvailable() { return gKeyRing.readIndex != gKeyRing.writeIndex; }

uint32_t readKey() {
  // Reading an empty ring would step the read index past the write index and
  // make 255 stale entries look queued.
  if (!keyAvailable()) return 0;
  uint32_t code = gKeyRing.entries[gKeyRing.readIndex];
  if (platform::getKeyState(platform::VK_SHIFT) < 0) code |= kKeyShift;
  if (platform::getKeyState(platform::VK_CONTROL) < 0) code |= kKeyCtrl;
  if (platform::getKeyState(platform::VK_MENU) < 0) code |= kKeyAlt;
  ++gKeyRing.readIndex;
  return code;
}

bool isModifierDown(uint32_t code) {
  switch (code) {
    case kKeyShift:
      return platform::getKeyState(platform::VK_SHIFT) < 0;
    case kKeyCtrl:
      return platform::getKeyState(platform::VK_CONTROL) < 0;
    case kKeyAlt:
      return platform::getKeyState(platform::VK_MENU) < 0;
    default:
      return platform::getKeyState(code) < 0;
  }
}
