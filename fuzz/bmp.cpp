// BMP files: any bytes as "in.bmp".  A picture that loads has the size its
// header gives and survives the writer and the reader; one that does not
// leaves the target empty.

#include <memory>

#include "general/bitmap.h"
#include "general/bmp.h"
#include "general/view.h"
#include "harness.h"
#include "platform/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();
  static const bool ready = [] {
    gView.useBackend(std::make_unique<platform::MemoryDisplay>(platform::kMasks565));
    gView.setScreenMode(32, 32, 2, false);
    return true;
  }();
  (void)ready;
  fuzz::writeFile("in.bmp", data, size);
  PlainBitmap picture;
  picture.resize(3, 2);
  const bool loaded = picture.loadBitmapFile("in.bmp");
  if (!loaded) {
    FUZZ_CHECK(picture.width() == 0 && picture.height() == 0);  // cleared first, then left alone
  } else {
    FUZZ_CHECK(size >= bmp::kHeaderBytes);
    const uint32_t width = uint32_t(data[18]) | uint32_t(data[19]) << 8 | uint32_t(data[20]) << 16 |
                           uint32_t(data[21]) << 24;
    const uint32_t height = uint32_t(data[22]) | uint32_t(data[23]) << 8 | uint32_t(data[24]) << 16 |
                            uint32_t(data[25]) << 24;
    FUZZ_CHECK(picture.width() == width && picture.height() == height);
    FUZZ_CHECK(picture.saveBitmapFile("out.bmp"));
    // Written and read again it keeps its size (the colours may move by
    // the conversion's rounding).
    PlainBitmap back;
    FUZZ_CHECK(back.loadBitmapFile("out.bmp"));
    FUZZ_CHECK(back.width() == width && back.height() == height);
  }
  fuzz::takeLog();
  return 0;
}
