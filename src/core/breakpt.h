#pragma once
// The breakpoint table and the trap bits.  One mechanism serves the
// debugger's breakpoints and the few I/O registers whose writes need an
// immediate effect: a trap bit per guest word in live read, write and execute
// bitmaps.  User breakpoints also set their bits in persistent bitmaps, so the
// trap handler can tell them from built-in traps.  The live bits are always
// rebuilt as the persistent bits plus the built-in traps, so setting or
// clearing one kind never takes another kind's or another trap's bit away.

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "general/ptr.h"

enum BreakpointKind : uint32_t { kBreakRead = 1, kBreakWrite = 2, kBreakExecute = 4 };

struct BreakpointRecord {
  uint32_t address = 0;  // first byte
  uint32_t length = 0;   // bytes
  uint32_t kinds = 0;    // kBreakRead | kBreakWrite | kBreakExecute
  uint32_t count = 0;    // hits left before the breakpoint stops
  uint32_t reload = 0;   // the count it was last armed with
  bool sameRange(const BreakpointRecord& o) const { return address == o.address && length == o.length; }
  // The same breakpoint: the same range, whatever its kinds and counts.
  bool operator==(const BreakpointRecord& o) const { return sameRange(o); }
};

class BreakpointList {
 public:
  void addOrReplace(const BreakpointRecord& r);
  void remove(const BreakpointRecord& r);  // the first with the same range
  // That record, even when an earlier one has the same range.
  void removeAt(uint32_t index);
  uint32_t count() const { return records_.count(); }
  BreakpointRecord& operator[](uint32_t i) { return records_[i]; }
  const BreakpointRecord& operator[](uint32_t i) const { return records_[i]; }
  void clear() { records_.clear(); }

 private:
  Array<BreakpointRecord> records_;
};

// The region tables the trap bits live in.  bitmaps[0..2] are the live read,
// write and execute slices per region, bitmaps[3..5] the persistent ones; a
// null slice (regions 1 and 15) has no bits.  Regions that mirror one area
// share a slice.
struct TrapMap {
  uint8_t* bitmaps[6][16] = {};
  uint32_t readSize[16] = {};
  uint32_t writeSize[16] = {};
  uint32_t mask[16] = {};
};

// Where a guest address's trap bit lies; false outside the map.
struct TrapBit {
  uint8_t* byte;
  uint8_t bit;
};
bool trapBit(const TrapMap& map, int bitmap, uint32_t address, TrapBit& out);
bool testTrapBit(const TrapMap& map, int bitmap, uint32_t address);
// Whether a trap bit may be set on a word from `first` to `last` (either
// order; one region, its places in order): true when one is, or when the
// two cannot be placed.
bool anyTrapBit(const TrapMap& map, int bitmap, uint32_t first, uint32_t last);

// The addresses of the built-in write traps: DMA 0-3 control, IF, IME (so
// that an interrupt it lets through is taken at once), timer 0-3 control,
// and the two EEPROM serial ends.
extern const uint32_t kIoTrapAddresses[12];
// The newer build's one more: the word of HALTCNT, whose write halts the
// processor.
inline constexpr uint32_t kHaltTrapAddress = 0x04000300;

class BreakpointTable {
 public:
  BreakpointTable(TrapMap& map, std::function<void()> flushBlocks, std::function<void(const char*)> warn);

  // Sets the bits of the kinds in `kinds` and clears the other kinds over the
  // range; a user call also records the breakpoint.  Every change flushes the
  // block cache.  False (with a warning) when the range is outside the map.
  bool setBits(uint32_t address, uint32_t length, uint32_t count, uint32_t kinds, bool user);
  void replace(uint32_t index, uint32_t address, uint32_t length, uint32_t count, uint32_t kinds);
  void remove(uint32_t index);
  uint32_t find(uint32_t address, uint32_t kinds) const;  // 1-based, 0 = none
  bool isExecute(uint32_t address) const;
  // F2 in the code window: removes the execute breakpoint at the address or
  // sets one of 2 (Thumb) or 4 bytes; 0xFFFFFFFF changes nothing.
  void toggleAt(uint32_t address, bool thumb);
  void installIoTraps();

  // Counts a user breakpoint's hit at a: true when it stops.
  bool countHit(uint32_t address);

  // Write traps on guest words that hold translated code, so that a store
  // or DMA over them reaches the block cache.  Built-in like the I/O traps,
  // but set and cleared without flushing the cache (the cache sets them).
  void markCode(uint32_t address, bool on);
  bool isCode(uint32_t address) const;
  bool anyCode() const { return anyCode_; }
  // Whether a user breakpoint or a built-in call's trap of bitmap kind k
  // (0 read, 1 write, 2 execute) is set anywhere; the I/O and code traps
  // are not counted.
  bool anySet(int k) const { return (kindsSet_ >> k) & 1; }
  void clearCode();

  BreakpointList& list() { return list_; }
  const BreakpointList& list() const { return list_; }
  TrapMap& map() { return map_; }

 private:
  void rebuildLive(int kind, uint32_t region, uint32_t first, uint32_t last);
  void recountKinds();
  // A word's canonical place: mirrored regions share one.
  uint32_t key(int kind, uint32_t region, uint32_t offset) const;

  TrapMap& map_;
  BreakpointList list_;
  std::map<uint32_t, uint32_t> dynamicTraps_;  // step-over and other built-in calls
  std::map<uint32_t, uint32_t> ioTraps_;       // the permanent I/O write traps
  std::vector<uint8_t> code_[16];              // code words, in the write bitmaps' layout
  bool anyCode_ = false;
  uint32_t kindsSet_ = 0;  // bit k: anySet(k)
  std::function<void()> flushBlocks_;
  std::function<void(const char*)> warn_;
};

inline constexpr const char* kBreakpointBoundsError = "Breakpoint bounds error.";
inline constexpr const char* kBreakpointOverlap = "This breakpoint overlaps another one.";
