#include "core/linecache.h"

namespace {

uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

void VramReads::keep(const uint8_t* vram, Kept& kept) const {
  kept.offsets.assign(scratch_, scratch_ + count_);
  kept.values.resize(count_);
  for (uint32_t i = 0; i < count_; ++i) kept.values[i] = load32(vram + scratch_[i]);
  kept.spans.assign(spans_, spans_ + spanCount_);
  kept.spanBytes.clear();
  for (const Kept::Span& s : kept.spans)
    kept.spanBytes.insert(kept.spanBytes.end(), vram + s.offset, vram + s.offset + s.bytes);
}

bool VramReads::Kept::unchanged(const uint8_t* vram) const {
  uint32_t differ = 0;
  const uint32_t* offset = offsets.data();
  const uint32_t* value = values.data();
  for (size_t i = 0, n = offsets.size(); i < n; ++i) differ |= load32(vram + offset[i]) ^ value[i];
  if (differ) return false;
  const uint8_t* bytes = spanBytes.data();
  for (const Span& s : spans) {
    if (std::memcmp(vram + s.offset, bytes, s.bytes) != 0) return false;
    bytes += s.bytes;
  }
  return true;
}
