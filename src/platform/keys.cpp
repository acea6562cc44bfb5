#include "platform/keys.h"

namespace platform {

namespace {
bool sDown[256];
bool sToggled[256];

void setOne(uint32_t vk, bool down) {
  if (down && !sDown[vk]) sToggled[vk] = !sToggled[vk];
  sDown[vk] = down;
}
}  // namespace

uint32_t commonModifierOf(uint32_t vk) {
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return 0;
  }
}

int16_t getKeyState(uint32_t virtualKey) {
  if (virtualKey > 255) return 0;
  uint16_t v = (sDown[virtualKey] ? 0x8000 : 0) | (sToggled[virtualKey] ? 1 : 0);
  return static_cast<int16_t>(v);
}

void setKeyState(uint32_t virtualKey, bool down) {
  if (virtualKey > 255) return;
  setOne(virtualKey, down);
  // Each left key is followed by its right one (VK_LSHIFT, VK_RSHIFT, ...).
  if (uint32_t common = commonModifierOf(virtualKey)) {
    const uint32_t left = virtualKey & ~1u;
    setOne(common, sDown[left] || sDown[left + 1]);
  }
}

void releaseAllKeys() {
  for (bool& d : sDown) d = false;
}

}  // namespace platform
