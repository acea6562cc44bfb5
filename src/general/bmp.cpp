#include "general/bmp.h"

#include <cstdio>
#include <vector>

#include "platform/variant.h"

namespace {

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
void put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

struct File {
  explicit File(const char* name, const char* mode) : f(std::fopen(name, mode)) {}
  ~File() {
    if (f) std::fclose(f);
  }
  std::FILE* f;
};

struct Bgr {
  uint8_t b = 0, g = 0, r = 0;
};

constexpr float kByteScale = 0.003921568859368563f;

}  // namespace

bool View::loadBmp(const char* fileName, Image& target) const {
  File file(fileName, "rb");
  if (!file.f) {
    dbgPrintf("Unable to open file %s.\n", fileName);
    return false;
  }
  std::fseek(file.f, 0, SEEK_END);
  const long end = std::ftell(file.f);
  const uint64_t fileSize = end > 0 ? uint64_t(end) : 0;
  std::fseek(file.f, 0, SEEK_SET);

  uint8_t head[bmp::kHeaderBytes] = {};
  size_t got = std::fread(head, 1, sizeof head, file.f);
  if (le16(head) != 0x4D42) {
    dbgPrintf("Invalid BMP file containing (bmpHead.type fails)\n");
    return false;
  }
  if (got < sizeof head || le32(head + 14) != 40) {
    dbgPrintf("Invalid BMP info header size for file %s.\n", fileName);
    return false;
  }
  const uint32_t width = le32(head + 18), height = le32(head + 22), bits = le16(head + 28);
  if (bits != 8 && bits != 24 && bits != 4) {
    dbgPrintf("Unsupported bit count in bmp file %s.\n", fileName);
    return false;
  }
  if (le32(head + 30) != 0) {
    dbgPrintf("Compressed BMP files not supported (file %s).\n", fileName);
    return false;
  }
  // Zero, negative (top-down) and oversized pictures are refused.
  if (width == 0 || height == 0 || width > bmp::kMaxSide || height > bmp::kMaxSide) {
    dbgPrintf("Unsupported picture size %u x %u in bmp file %s.\n", width, height, fileName);
    return false;
  }
  const uint32_t room = bits == 24 ? 0 : 1u << bits;
  const uint32_t used = le32(head + 46);
  const uint32_t entries = bits == 24 ? 0 : used == 0 ? room : used;
  if (entries > room) {
    dbgPrintf("Palette of %u colours too large in bmp file %s.\n", used, fileName);
    return false;
  }
  const uint64_t stride = bmp::rowBytes(width, bits);
  if (bmp::kHeaderBytes + uint64_t(entries) * 4 + stride * height > fileSize) {
    dbgPrintf("Bmp file %s is shorter than its picture.\n", fileName);
    return false;
  }

  // Indices beyond the entries read stay black.
  std::vector<Bgr> palette(256);
  for (uint32_t i = 0; i < entries; ++i) {
    uint8_t e[4] = {};
    if (std::fread(e, 1, 4, file.f) != 4) break;
    palette[i] = Bgr{e[0], e[1], e[2]};
  }
  std::vector<Bgr> picture(size_t(width) * height);
  std::vector<uint8_t> row(stride, 0);
  // The first stored row is the bottom one.
  for (uint32_t r = 0; r < height; ++r) {
    std::fill(row.begin(), row.end(), 0);
    if (std::fread(row.data(), 1, stride, file.f) != stride) {
      // Only possible if the file shrank since its size was taken; what is
      // missing stays black.
    }
    Bgr* out = picture.data() + size_t(height - 1 - r) * width;
    for (uint32_t x = 0; x < width; ++x) {
      if (bits == 24)
        out[x] = Bgr{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
      else if (bits == 8)
        out[x] = palette[row[x]];
      else
        out[x] = palette[x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15];
    }
  }

  target.resize(width, height);
  target.lock(2);
  for (uint32_t y = 0; y < height; ++y) {
    uint16_t* dst = target.rowData(y);
    const Bgr* src = picture.data() + size_t(y) * width;
    for (uint32_t x = 0; x < width; ++x)
      dst[x] = rgb(float(src[x].r) * kByteScale, float(src[x].g) * kByteScale, float(src[x].b) * kByteScale);
  }
  target.unlock();
  return true;
}

bool View::saveBmp(const char* fileName, Bitmap& source) const {
  // The older program takes no screenshots and has no writer.
  if (variant::kOlder) return false;
  // Locked first: a view without a surface has no rows then.
  source.lock(1);
  const uint32_t width = source.width(), height = source.height();
  const uint64_t stride = bmp::rowBytes(width, 24);
  std::vector<uint8_t> data(bmp::kHeaderBytes + stride * height, 0);
  uint8_t* h = data.data();
  put16(h, 0x4D42);
  put32(h + 2, uint32_t(data.size()));
  put32(h + 10, bmp::kHeaderBytes);
  put32(h + 14, 40);
  put32(h + 18, width);
  put32(h + 22, height);
  put16(h + 26, 1);
  put16(h + 28, 24);
  uint8_t* out = data.data() + bmp::kHeaderBytes;
  for (uint32_t y = height; y-- > 0; out += stride) {
    const uint16_t* px = source.rowData(y);
    for (uint32_t x = 0; x < width; ++x) {
      float r, g, b;
      toRgb(px[x], &r, &g, &b);
      out[3 * x] = uint8_t(b * 255.9999f);
      out[3 * x + 1] = uint8_t(g * 255.9999f);
      out[3 * x + 2] = uint8_t(r * 255.9999f);
    }
  }
  source.unlock();

  File file(fileName, "wb");
  if (!file.f) {
    dbgPrintf("Unable to open file %s.\n", fileName);
    return false;
  }
  // A short write (a full disk) must not pass for a saved picture.
  if (std::fwrite(data.data(), 1, data.size(), file.f) != data.size() || std::fflush(file.f) != 0) {
    dbgPrintf("Unable to write file %s.\n", fileName);
    return false;
  }
  return true;
}

bool PlainBitmap::loadBitmapFile(const char* name) {
  clear();
  bool ok = gView.loadBmp(name, *this);
  releaseRunEncoding();
  return ok;
}

bool PlainBitmap::saveBitmapFile(const char* name) { return gView.saveBmp(name, *this); }

namespace {
struct CName {
  explicit CName(const FixedIString& name) { toCString(text, name); }
  char text[FixedIString::kCapacity + 1];
};
}  // namespace

bool View::loadBmp(const FixedIString& fileName, Image& target) const {
  return loadBmp(CName(fileName).text, target);
}
bool View::saveBmp(const FixedIString& fileName, Bitmap& source) const {
  return saveBmp(CName(fileName).text, source);
}
bool PlainBitmap::loadBitmapFile(const FixedIString& name) { return loadBitmapFile(CName(name).text); }
bool PlainBitmap::saveBitmapFile(const FixedIString& name) { return saveBitmapFile(CName(name).text); }
