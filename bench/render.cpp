// Renderer speed, drawn from raw video memory with no emulator around it.
// Each scene prints nanoseconds a line and frames per second (the median of
// five runs, in processor time of the thread, so that other work on a shared
// machine counts less):
//   - mode 0 redrawn in full: four text backgrounds (16 and 256 colours,
//     flipped tiles, palette banks), 32 sprites, alpha blending; the scroll
//     and the sprites move every frame, so no line is as it was;
//   - the same scene left unchanged from frame to frame;
//   - 128 32x32 sprites over the four backgrounds, moving every frame;
//   - a mode 3 picture, unchanged, and the same picture rotated.
//
//   bench_render [FRAMES]

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/video.h"

namespace {

double threadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Scene {
  std::vector<uint8_t> io = std::vector<uint8_t>(kIoSize), pal = std::vector<uint8_t>(kPaletteSize),
                       vram = std::vector<uint8_t>(kVramSize), oam = std::vector<uint8_t>(kOamSize);
  std::unique_ptr<Video> video = std::make_unique<Video>();

  Scene() {
    video->attachAreas(io.data(), pal.data(), vram.data(), oam.data());
    for (uint32_t c = 0; c < kColourCount; ++c) video->debuggerColours[c] = uint16_t(c);
    video->reset();
    video->setPresentMode(2);
    for (uint32_t i = 0; i < kPaletteSize; ++i) pal[i] = uint8_t(i * 7);
    for (uint32_t i = 0; i < kVramSize; ++i) vram[i] = uint8_t((i * 13) ^ (i >> 5));
    // Every sprite hidden until a scene places some.
    for (unsigned n = 0; n < 128; ++n) reg16(oam, 8 * n, 160);
  }
  static void reg16(std::vector<uint8_t>& area, uint32_t offset, uint16_t value) {
    std::memcpy(&area[offset], &value, 2);
  }
  void reg(uint32_t offset, uint16_t value) { reg16(io, offset, value); }
  void reg32(uint32_t offset, uint32_t value) { std::memcpy(&io[offset], &value, 4); }

  // Four text backgrounds of every kind, each on its own priority.
  void fourBackgrounds() {
    reg(0x00, 0x1F00 | 0x40);  // mode 0, all layers, 1-D sprites
    for (unsigned n = 0; n < 4; ++n)
      reg(0x08 + 2 * n, uint16_t((8 + 2 * n) << 8 | n | (n & 1) << 7 | n << 14));
    reg(0x50, 0x3F41);
    reg(0x52, 0x0808);
  }
  void placeSprites(unsigned count, unsigned frame, uint16_t size) {
    for (unsigned n = 0; n < count; ++n) {
      reg16(oam, 8 * n, uint16_t((n * 9 + frame) % 180));
      reg16(oam, 8 * n + 2, uint16_t(((n * 37 + frame) % 260) | size << 14 | (n & 3) << 12));
      reg16(oam, 8 * n + 4, uint16_t((n * 16) | (n & 3) << 10 | (n & 15) << 12));
    }
  }
  void scroll(unsigned frame) {
    for (unsigned n = 0; n < 4; ++n) {
      reg(0x10 + 4 * n, uint16_t(frame * (n + 1)));
      reg(0x12 + 4 * n, uint16_t(frame * (3 - n) / 2));
    }
  }

  // Nanoseconds a line over `frames` frames; `change` runs before each.
  double nsPerLine(unsigned frames, const std::function<void(unsigned)>& change) {
    for (uint32_t line = 0; line < kScreenHeight; ++line) video->renderLine(line);
    const double start = threadSeconds();
    for (unsigned f = 0; f < frames; ++f) {
      change(f);
      for (uint32_t line = 0; line < kScreenHeight; ++line) video->renderLine(line);
    }
    return (threadSeconds() - start) * 1e9 / (double(frames) * kScreenHeight);
  }
};

void report(const char* what, unsigned frames, const std::function<void(Scene&)>& build,
            const std::function<void(Scene&, unsigned)>& change) {
  std::vector<double> runs;
  for (int run = 0; run < 5; ++run) {
    Scene scene;
    build(scene);
    runs.push_back(scene.nsPerLine(frames, [&](unsigned f) { change(scene, f); }));
  }
  std::sort(runs.begin(), runs.end());
  const double ns = runs[runs.size() / 2];
  std::printf("%-44s %9.1f ns/line %10.0f frames/s\n", what, ns, 1e9 / (ns * kScreenHeight));
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned frames = argc > 1 ? unsigned(std::atoi(argv[1])) : 600;
  auto none = [](Scene&, unsigned) {};

  report(
      "mode 0, 4 backgrounds, 32 sprites, moving", frames, [](Scene& s) { s.fourBackgrounds(); },
      [](Scene& s, unsigned f) {
        s.scroll(f + 1);
        s.placeSprites(32, f + 1, 1);
      });
  report(
      "mode 0, 4 backgrounds, 32 sprites, unchanged", frames,
      [](Scene& s) {
        s.fourBackgrounds();
        s.scroll(7);
        s.placeSprites(32, 7, 1);
      },
      none);
  report(
      "mode 0, 4 backgrounds, 128 sprites, moving", frames, [](Scene& s) { s.fourBackgrounds(); },
      [](Scene& s, unsigned f) { s.placeSprites(128, f + 1, 2); });
  report(
      "mode 3 picture, unchanged", frames, [](Scene& s) { s.reg(0x00, 0x0403); }, none);
  report(
      "mode 3 picture, rotated, unchanged", frames,
      [](Scene& s) {
        s.reg(0x00, 0x0403);
        s.reg(0x20, 0x00DD);
        s.reg(0x22, 0xFF80);
        s.reg(0x24, 0x0080);
        s.reg(0x26, 0x00DD);
        s.reg32(0x28, 0x1800);
      },
      none);
}
