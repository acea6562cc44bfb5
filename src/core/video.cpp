#include "core/video.h"

ScreenPicture gScreenBitmap;

Video::Video() {
  std::memset(debuggerColours, 0, sizeof debuggerColours);
  std::memset(fullScreenColours, 0, sizeof fullScreenColours);
  fillFadeTables();
}

void Video::attachAreas(uint8_t* ioArea, uint8_t* paletteArea, uint8_t* vramArea, uint8_t* oamArea) {
  io = ioArea;
  palette = paletteArea;
  vram = vramArea;
  oam = oamArea;
  objPalette = palette + 512;
  objVram = vram + 0x10000;
  for (uint32_t i = 0; i < 128; ++i) gOamEntries[i] = oam + 8 * i;
}

void Video::fillFadeTables() {
  for (uint32_t k = 0; k < 15; ++k)
    for (uint32_t c = 0; c < kColourCount; ++c) {
      uint32_t r = ((c & 31) * (k + 1)) >> 4;
      uint32_t g = (((c >> 5) & 31) * (k + 1)) >> 4;
      uint32_t b = (((c >> 10) & 31) * (k + 1)) >> 4;
      fadeTables[k][c] = uint16_t(r | g << 5 | b << 10);
    }
}
