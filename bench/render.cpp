// Renderer speed: a sprite-heavy mode 0 scene (four text backgrounds, 128
// 32x32 sprites, alpha blending) drawn from raw video memory, and a mode 3
// picture for comparison.  Prints frames per second for each.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/video.h"

namespace {

struct Scene {
  std::vector<uint8_t> io = std::vector<uint8_t>(kIoSize), pal = std::vector<uint8_t>(kPaletteSize),
                       vram = std::vector<uint8_t>(kVramSize), oam = std::vector<uint8_t>(kOamSize);
  std::unique_ptr<Video> video = std::make_unique<Video>();

  Scene() {
    video->attachAreas(io.data(), pal.data(), vram.data(), oam.data());
    for (uint32_t c = 0; c < kColourCount; ++c) video->debuggerColours[c] = uint16_t(c);
    video->reset();
    for (uint32_t i = 0; i < kPaletteSize; ++i) pal[i] = uint8_t(i * 7);
    for (uint32_t i = 0; i < kVramSize; ++i) vram[i] = uint8_t((i * 13) ^ (i >> 5));
  }
  void reg(uint32_t offset, uint16_t value) { std::memcpy(&io[offset], &value, 2); }

  double framesPerSecond(unsigned frames) {
    const auto start = std::chrono::steady_clock::now();
    for (unsigned f = 0; f < frames; ++f) {
      // Move the sprites a little every frame so they are decoded again.
      for (unsigned n = 0; n < 128; ++n) {
        const uint16_t a0 = uint16_t((n * 9 + f) % 180);
        const uint16_t a1 = uint16_t(((n * 37 + f) % 260) | 2 << 14);
        const uint16_t a2 = uint16_t((n * 16) | (n & 3) << 10 | (n & 15) << 12);
        std::memcpy(&oam[8 * n], &a0, 2);
        std::memcpy(&oam[8 * n + 2], &a1, 2);
        std::memcpy(&oam[8 * n + 4], &a2, 2);
      }
      for (uint32_t line = 0; line < kScreenHeight; ++line) video->renderLine(line);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return frames / took.count();
  }
};

}  // namespace

int main() {
  Scene sprites;
  sprites.reg(0x00, 0x1F00 | 0x40);  // mode 0, all layers, 1-D sprites
  for (unsigned n = 0; n < 4; ++n) sprites.reg(0x08 + 2 * n, uint16_t((8 + 2 * n) << 8 | n | (n & 1) << 7));
  sprites.reg(0x50, 0x3F41);
  sprites.reg(0x52, 0x0808);
  std::printf("mode 0, 4 backgrounds, 128 sprites: %.0f frames/s\n", sprites.framesPerSecond(2000));

  Scene bitmap;
  bitmap.reg(0x00, 0x0403);
  std::printf("mode 3: %.0f frames/s\n", bitmap.framesPerSecond(2000));
}
