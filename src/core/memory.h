#pragma once
// The console's memory map: every memory area lives in the state arena, and
// sixteen-entry region tables (indexed by the guest address's top byte) turn
// a guest address into an area offset for generated code and for the
// emulator's own accessors below.  Most areas repeat through their 16 MB
// region because the offset is the address AND the region's mask.  Video
// RAM is 96 KB on the console: the last 32 KB of each 128 KB block mirror
// the 32 KB before them (vramOffset), so that part of its area stays unused.
// The I/O registers do not repeat: they lie at 0x04000000-0x040003FF, and
// only the memory control register at 0x04000800 comes again every 64 KB;
// the rest of region 4 reads 0 and takes no writes.

#include <string>
#include <vector>

#include "core/arena.h"
#include "core/breakpt.h"

// Video RAM's own 96 KB; the last 32 KB of each 128 KB mirror the 32 KB
// before them.
inline constexpr u32 kVramBelowMirror = 0x18000;
// A video RAM offset (below 128 KB) with the console's upper mirror folded in.
inline u32 vramOffset(u32 offset) {
  return offset >= kVramBelowMirror && offset < 0x20000 ? offset - 0x8000 : offset;
}

// Where a guest address lies in its region's area: the offset, and the end
// of the run of storage it lies in (an access must end by then).
struct AreaPlace {
  u32 offset;
  u32 end;
};
// From the address AND the region's mask, with `size` the region's read or
// write size; false where the region holds nothing there.  Video RAM folds
// its upper mirror; in the I/O region an offset beyond the registers is the
// memory control register's (behind them in the area) or nothing.
inline bool placeInArea(u32 region, u32 masked, u32 size, AreaPlace& out) {
  u32 offset = masked, end = size;
  if (region == 6) offset = vramOffset(offset);
  if (region == 4 && offset >= size && size != 0) {
    if ((offset & 0xFFFC) != arena::kMemoryControl) return false;
    offset = size + (offset & 3);
    end = size + 4;
  }
  if (offset >= end) return false;
  out = {offset, end};
  return true;
}

class GbaMemory {
public:
  explicit GbaMemory(Arena& arena);

  // Region tables, wait tables, trap bitmap slices, the initial register
  // values, then the BIOS image "gba.rom" from the working directory, or
  // the stand-in when there is none that can be taken.
  void buildMap();
  // Zeroes every area but BIOS and ROM (the bitmaps and EEPROM save store
  // keep their contents) and writes the initial register values.
  void clear();
  // Copies the file to the start of the ROM area; bytes beyond the file keep
  // what they held.  False, with nothing changed and one line for the user
  // in *problem, when the file is refused (readCartridge).
  bool loadRom(const std::string& name, std::string* problem = nullptr);
  // The BIOS image: a file of exactly 16 KB, else refused as above.
  bool loadBios(const std::string& name, std::string* problem = nullptr);
  // The BIOS of our own (core/standin.h) into the BIOS area, the rest of it
  // zero.
  void installStandInBios();
  // What went wrong with "gba.rom" when the map was built; empty when it
  // loaded or there was none.
  const std::string& biosProblem() const { return biosProblem_; }

  // A cartridge file whole: a non-empty regular file of at most 32 MB (the
  // most the console addresses; beyond the 8 MB ROM area it is cut when
  // installed).  False with *problem set otherwise, without reading more
  // than that of any file.
  static bool readCartridge(const std::string& name, std::vector<u8>& bytes, std::string* problem);
  void installCartridge(const std::vector<u8>& bytes);

  // Guest access for the emulator's own code: unmapped reads give all ones
  // (in the I/O region's gaps 0), writes to unmapped, BIOS or ROM memory are
  // dropped.  Not journaled, no traps.
  u8 peek8(u32 address) const;
  u16 peek16(u32 address) const;
  u32 peek32(u32 address) const;
  void poke8(u32 address, u8 value);
  void poke16(u32 address, u16 value);
  void poke32(u32 address, u32 value);

  // Host pointer behind a guest address for a read of `bytes` bytes, or null.
  const u8* readPointer(u32 address, u32 bytes) const;
  u8* writePointer(u32 address, u32 bytes);
  // The same for accesses at `first` and `last` (either may be the lower),
  // when both lie in one run of one area, so that every address between
  // reaches the storage between; null otherwise.
  const u8* readSpan(u32 first, u32 last, u32 bytes) const;
  u8* writeSpan(u32 first, u32 last, u32 bytes);

  // The raw areas, for the renderer, DMA and the debugger panes.
  u8* io() { return arena_.io; }
  u8* palette() { return arena_.palette; }
  u8* vram() { return arena_.vram; }
  u8* oam() { return arena_.oam; }
  u8* bios() { return arena_.bios; }
  u8* rom() { return arena_.rom; }
  u8* eepromPorts() { return arena_.eepromPorts; }
  Arena& arena() { return arena_; }
  const Arena& arena() const { return arena_; }

  // The trap bitmap view the breakpoint table works on (host pointers into
  // the arena's bitmaps).
  TrapMap& trapMap() { return trapMap_; }
  u32 regionMask(u32 region) const { return arena_.regionMask[region & 15]; }
  u32 readSize(u32 region) const { return arena_.readSize[region & 15]; }
  u32 writeSize(u32 region) const { return arena_.writeSize[region & 15]; }
  // Wait cycles << 20 of a region (above 15 counts as 15).
  u32 wait(arena::WaitTable table, u32 region) const { return arena_.wait[table][region > 15 ? 15 : region]; }

private:
  // The region of an address for the emulator's accessors; -1 when unmapped.
  int regionOf(u32 address) const;
  // What a read that finds no storage gives.
  u32 unmappedValue(u32 address, u32 allOnes) const;
  void writeInitialRegisters();

  Arena& arena_;
  TrapMap trapMap_;
  std::string biosProblem_;
  int lastBiosRefusal_ = 0;
};

// The largest cartridge file taken.
inline constexpr u32 kMaxCartridgeBytes = 32u << 20;
