#include "core/breakpt.h"

#include <algorithm>

#include "core/eeprom.h"
#include "core/frontend.h"
#include "core/memory.h"
#include "general/language.h"
#include "general/base.h"
#include "platform/variant.h"

const uint32_t kIoTrapAddresses[12] = {0x040000B8, 0x040000C4, 0x040000D0, 0x040000DC, 0x04000202, 0x04000208,
                                       0x04000102, 0x04000106, 0x0400010A, 0x0400010E, 0x0D000010, 0x0D000090};

namespace {

// Both texts are in the language table from the start.
[[maybe_unused]] const char* const kBoundsErrorText = translate(kBreakpointBoundsError);
[[maybe_unused]] const char* const kOverlapText = translate(kBreakpointOverlap);

// Bitmap index k: 0 read, 1 write, 2 execute.
const uint32_t kKinds[3] = {kBreakRead, kBreakWrite, kBreakExecute};

uint32_t kindSize(const TrapMap& m, int k, uint32_t region) {
  return k == 1 ? m.writeSize[region] : m.readSize[region];
}

void putBit(uint8_t* slice, uint32_t word, bool on) {
  uint8_t& b = slice[word >> 3];
  uint8_t m = uint8_t(1u << (word & 7));
  b = on ? uint8_t(b | m) : uint8_t(b & ~m);
}

bool getBit(const uint8_t* slice, uint32_t word) { return (slice[word >> 3] >> (word & 7)) & 1; }

// The words [first, last] a range covers in its region for one kind; false
// when it covers none.  An unaligned range includes the word of its last byte.
bool wordSpan(const TrapMap& m, int k, uint32_t address, uint32_t length, uint32_t& region, uint32_t& first,
              uint32_t& last) {
  region = address >> 24;
  if (region >= 16 || length == 0) return false;
  AreaPlace place;  // the bit generated code tests
  if (!placeInArea(region, address & m.mask[region], kindSize(m, k, region), place) || !m.bitmaps[k][region])
    return false;
  uint64_t end = std::min<uint64_t>(uint64_t(place.offset) + length, place.end);
  first = place.offset >> 2;
  last = uint32_t((end - 1) >> 2);
  return true;
}

}  // namespace

bool trapBit(const TrapMap& map, int bitmap, uint32_t address, TrapBit& out) {
  uint32_t region = address >> 24;
  if (region >= 16 || !map.bitmaps[bitmap][region]) return false;
  uint32_t size = (bitmap % 3) == 1 ? map.writeSize[region] : map.readSize[region];
  AreaPlace place;
  if (!placeInArea(region, address & map.mask[region], size, place)) return false;
  out.byte = map.bitmaps[bitmap][region] + (place.offset >> 5);
  out.bit = uint8_t((place.offset >> 2) & 7);
  return true;
}

bool testTrapBit(const TrapMap& map, int bitmap, uint32_t address) {
  TrapBit b;
  return trapBit(map, bitmap, address, b) && ((*b.byte >> b.bit) & 1);
}

bool anyTrapBit(const TrapMap& map, int bitmap, uint32_t first, uint32_t last) {
  if (first > last) std::swap(first, last);
  const uint32_t region = first >> 24;
  if (region >= 16 || (last >> 24) != region) return true;
  if (!map.bitmaps[bitmap][region]) return false;  // no bit anywhere in the region
  TrapBit a, b;
  if (!trapBit(map, bitmap, first, a) || !trapBit(map, bitmap, last, b)) return true;
  if (b.byte < a.byte || (b.byte == a.byte && b.bit < a.bit)) return true;
  for (const uint8_t* p = a.byte; p <= b.byte; ++p) {
    uint32_t bits = *p;
    if (p == a.byte) bits &= 0xFFu << a.bit;
    if (p == b.byte) bits &= 0xFFu >> (7 - b.bit);
    if (bits) return true;
  }
  return false;
}

void BreakpointList::addOrReplace(const BreakpointRecord& r) {
  for (uint32_t i = 0; i < records_.count(); ++i) {
    if (records_[i].sameRange(r)) {
      records_[i] = r;
      return;
    }
  }
  records_.append(r);
}

void BreakpointList::remove(const BreakpointRecord& r) { records_.remove(r); }

void BreakpointList::removeAt(uint32_t index) {
  if (index >= records_.count()) return;
  Array<BreakpointRecord> kept;
  for (uint32_t i = 0; i < records_.count(); ++i)
    if (i != index) kept.append(records_[i]);
  records_ = kept;
}

BreakpointTable::BreakpointTable(TrapMap& map, std::function<void()> flushBlocks,
                                 std::function<void(const char*)> warn)
    : map_(map), flushBlocks_(std::move(flushBlocks)), warn_(std::move(warn)) {}

uint32_t BreakpointTable::key(int k, uint32_t region, uint32_t offset) const {
  // Mirrored regions (ROM 8/10/12, EEPROM ports 9/11/13) share one slice, so
  // their words are one word.
  uint32_t canonical = region;
  for (uint32_t r = 0; r < region; ++r) {
    if (map_.bitmaps[k][r] == map_.bitmaps[k][region]) {
      canonical = r;
      break;
    }
  }
  return canonical << 24 | (offset >> 2);
}

// Persistent bits from the table, live bits = persistent + built-in traps.
void BreakpointTable::rebuildLive(int k, uint32_t region, uint32_t first, uint32_t last) {
  uint8_t* persistent = map_.bitmaps[3 + k][region];
  uint8_t* live = map_.bitmaps[k][region];
  if (!persistent || !live) return;
  for (uint32_t w = first; w <= last; ++w) putBit(persistent, w, false);
  for (uint32_t i = 0; i < list_.count(); ++i) {
    const BreakpointRecord& r = list_[i];
    uint32_t rr, rf, rl;
    if (!(r.kinds & kKinds[k]) || !wordSpan(map_, k, r.address, r.length, rr, rf, rl)) continue;
    if (map_.bitmaps[k][rr] != live) continue;
    for (uint32_t w = std::max(rf, first); w <= std::min(rl, last); ++w) putBit(persistent, w, true);
  }
  for (uint32_t w = first; w <= last; ++w) putBit(live, w, getBit(persistent, w));
  if (k == 1 && !code_[region].empty())
    for (uint32_t w = first; w <= last; ++w)
      if (getBit(code_[region].data(), w)) putBit(live, w, true);
  // The built-in traps inside the range, found by key rather than word by word.
  const uint32_t lo = key(k, region, first << 2), hi = key(k, region, last << 2);
  for (const auto* traps : {&dynamicTraps_, &ioTraps_}) {
    for (auto it = traps->lower_bound(lo); it != traps->end() && it->first <= hi; ++it)
      if (it->second & kKinds[k]) putBit(live, it->first & 0xFFFFFF, true);
  }
}

bool BreakpointTable::setBits(uint32_t address, uint32_t length, uint32_t count, uint32_t kinds, bool user) {
  uint32_t region = address >> 24;
  if (region >= 16) {
    warn_(kBreakpointBoundsError);
    return false;
  }
  for (int k = 0; k < 3; ++k) {
    uint32_t size = kindSize(map_, k, region);
    AreaPlace place;
    if (size != 0 && !placeInArea(region, address & map_.mask[region], size, place)) {
      warn_(kBreakpointBoundsError);
      return false;
    }
  }
  if (user) {
    if (kinds != 0) {
      list_.addOrReplace({address, length, kinds, count, count});
    } else {
      for (uint32_t i = 0; i < list_.count(); ++i) {
        if (list_[i].sameRange({address, length, 0, 0, 0})) {
          list_[i].kinds = 0;
          break;
        }
      }
    }
  }
  for (int k = 0; k < 3; ++k) {
    uint32_t r, first, last;
    if (!wordSpan(map_, k, address, length, r, first, last)) continue;
    if (!user) {
      for (uint32_t w = first; w <= last; ++w) {
        uint32_t kk = key(k, r, w << 2);
        if (kinds & kKinds[k])
          dynamicTraps_[kk] |= kKinds[k];
        else if (auto it = dynamicTraps_.find(kk); it != dynamicTraps_.end() && !(it->second &= ~kKinds[k]))
          dynamicTraps_.erase(it);
      }
    }
    rebuildLive(k, r, first, last);
  }
  recountKinds();
  flushBlocks_();
  return true;
}

void BreakpointTable::recountKinds() {
  uint32_t kinds = 0;
  for (uint32_t i = 0; i < list_.count(); ++i) kinds |= list_[i].kinds;
  for (const auto& trap : dynamicTraps_) kinds |= trap.second;
  kindsSet_ = kinds & (kBreakRead | kBreakWrite | kBreakExecute);
}

void BreakpointTable::replace(uint32_t index, uint32_t address, uint32_t length, uint32_t count,
                              uint32_t kinds) {
  if (!CHECK(index < list_.count())) return;
  BreakpointRecord old = list_[index];
  uint32_t r = address >> 24;
  AreaPlace place;
  if (r >= 16 || (map_.readSize[r] != 0 && !placeInArea(r, address & map_.mask[r], map_.readSize[r], place))) {
    warn_(kBreakpointBoundsError);
    return;
  }
  list_[index] = {address, length, kinds, count, count};
  for (const BreakpointRecord& span : {old, list_[index]}) {
    for (int k = 0; k < 3; ++k) {
      uint32_t rr, first, last;
      if (wordSpan(map_, k, span.address, span.length, rr, first, last)) rebuildLive(k, rr, first, last);
    }
  }
  recountKinds();
  flushBlocks_();
}

void BreakpointTable::remove(uint32_t index) {
  if (!CHECK(index < list_.count())) return;
  BreakpointRecord old = list_[index];
  // By index: an edit may have given two records the same range.
  list_.removeAt(index);
  for (int k = 0; k < 3; ++k) {
    uint32_t rr, first, last;
    if (wordSpan(map_, k, old.address, old.length, rr, first, last)) rebuildLive(k, rr, first, last);
  }
  recountKinds();
  flushBlocks_();
}

uint32_t BreakpointTable::find(uint32_t address, uint32_t kinds) const {
  for (uint32_t i = 0; i < list_.count(); ++i) {
    const BreakpointRecord& r = list_[i];
    if (address - r.address < r.length && (r.kinds & kinds)) return i + 1;
  }
  return 0;
}

bool BreakpointTable::isExecute(uint32_t address) const { return testTrapBit(map_, 2, address); }

void BreakpointTable::toggleAt(uint32_t address, bool thumb) {
  if (address != 0xFFFFFFFF) {
    if (uint32_t i = find(address, kBreakExecute))
      remove(i - 1);
    else
      setBits(address, thumb ? 2 : 4, 1, kBreakExecute, true);
  }
  if (CoreFrontEnd* fe = coreFrontEnd()) fe->breakpointsChanged();
}

void BreakpointTable::installIoTraps() {
  auto install = [this](uint32_t a) {
    uint32_t r, first, last;
    if (!wordSpan(map_, 1, a, 2, r, first, last)) return;
    ioTraps_[key(1, r, first << 2)] = kBreakWrite;
    rebuildLive(1, r, first, last);
  };
  for (uint32_t a : kIoTrapAddresses) install(a);
  if constexpr (!variant::kOlder) install(kHaltTrapAddress);
  flushBlocks_();
}

void BreakpointTable::markCode(uint32_t address, bool on) {
  uint32_t r, first, last;
  if (!wordSpan(map_, 1, address, 1, r, first, last)) return;
  if (code_[r].empty()) {
    if (!on) return;
    // One bit a word, the I/O region's memory control register (the word
    // behind its registers) included.
    code_[r].assign((map_.writeSize[r] + 4 + 31) / 32, 0);
  }
  putBit(code_[r].data(), first, on);
  anyCode_ |= on;
  if (on) putBit(map_.bitmaps[1][r], first, true);
  else rebuildLive(1, r, first, first);
}

bool BreakpointTable::isCode(uint32_t address) const {
  uint32_t r, first, last;
  if (!anyCode_ || !wordSpan(map_, 1, address, 1, r, first, last) || code_[r].empty()) return false;
  return getBit(code_[r].data(), first);
}

void BreakpointTable::clearCode() {
  if (!anyCode_) return;
  anyCode_ = false;
  for (uint32_t r = 0; r < 16; ++r) {
    std::vector<uint8_t>& bits = code_[r];
    for (uint32_t byte = 0; byte < bits.size(); ++byte) {
      if (!bits[byte]) continue;
      bits[byte] = 0;
      rebuildLive(1, r, byte * 8, byte * 8 + 7);
    }
  }
}

bool BreakpointTable::countHit(uint32_t address) {
  for (uint32_t i = 0; i < list_.count(); ++i) {
    BreakpointRecord& r = list_[i];
    if (address - r.address >= r.length) continue;
    if (--r.count != 0) return false;
    r.count = 1;  // from now on every hit stops until the record is re-armed
    return true;
  }
  return false;
}
