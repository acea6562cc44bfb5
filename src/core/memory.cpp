#include "core/memory.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/check.h"
#include "core/standin.h"
#include "general/files.h"
#include "general/language.h"
#include "platform/variant.h"

namespace {

struct RegionLayout {
  u32 readSize, writeSize;
  u32 bitmapSlice;  // bytes of each bitmap's slice; 0 = shares the owner's slice or has none
};

// Per region: sizes and the area it maps.  ROM (8, 10, 12) and the EEPROM
// ports (9, 11, 13) are one area each.
constexpr u32 kReadSize[16] = {0x4000, 0, 0x40000, 0x8000, 0x400, 0x400, 0x20000, 0x4000,
                               0x800000, 0x100, 0x800000, 0x100, 0x800000, 0x100, 0x10000, 0};
constexpr bool kWritable[16] = {false, false, true, true, true, true, true, true,
                                false, true, false, true, false, true, true, false};

// Slices in bitmap order: BIOS, EWRAM, IWRAM, I/O, palette, VRAM, OAM, ROM, EEPROM ports, SRAM.
constexpr int kSliceRegion[10] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 14};
// The I/O slice has a word beyond the registers' 1 KB: the memory control register.
constexpr u32 kSliceBytes[10] = {512, 8192, 1024, 36, 32, 4096, 512, 262144, 8, 2048};

constexpr u32 kWaitCycles[16][4] = {
    // 16 seq, 16 nonseq, 32 seq, 32 nonseq
    {6, 6, 6, 6}, {4, 4, 4, 4}, {3, 3, 6, 6}, {1, 1, 1, 1}, {1, 1, 1, 1}, {2, 2, 2, 2},
    {2, 2, 2, 2}, {1, 1, 1, 1}, {3, 5, 6, 8}, {6, 6, 6, 6}, {3, 5, 6, 8}, {6, 6, 6, 6},
    {3, 5, 6, 8}, {6, 6, 6, 6}, {6, 6, 6, 6}, {4, 4, 4, 4},
};

int sliceOwner(int region) {
  if (region >= 8 && region <= 13) return 8 + (region & 1);
  return region;
}

enum class Refusal { kMissing, kCannotOpen, kDirectory, kNotAFile, kEmpty, kTooLarge, kWrongSize, kReadError };

// One line for the user, from translated pieces (a translated text is never
// used as a format).
std::string refusalText(const char* what, const std::string& name, Refusal why) {
  const char* reason = "could not be opened.";
  switch (why) {
    case Refusal::kMissing:
      reason = "does not exist.";
      break;
    case Refusal::kCannotOpen:
      break;
    case Refusal::kDirectory:
      reason = "is a directory.";
      break;
    case Refusal::kNotAFile:
      reason = "is not a regular file.";
      break;
    case Refusal::kEmpty:
      reason = "is empty.";
      break;
    case Refusal::kTooLarge:
      reason = "is larger than 32 MB.";
      break;
    case Refusal::kWrongSize:
      reason = "is not 16 KB long.";
      break;
    case Refusal::kReadError:
      reason = "could not be read.";
      break;
  }
  return std::string(translate(what)) + " " + name + " " + translate(reason);
}

// The whole file, at most limit bytes of it: a regular file only (a FIFO or
// device would block or never end), read to its end rather than to the size
// it claims (files under /proc claim 0).
bool readImageFile(const std::string& name, u32 limit, std::vector<u8>& out, Refusal& why) {
  out.clear();
  std::FILE* f = openRegularFile(name.c_str(), "rb");
  if (!f) {
    why = errno == ENOENT ? Refusal::kMissing
          : errno == EISDIR ? Refusal::kDirectory
          : errno == ENODEV ? Refusal::kNotAFile
                            : Refusal::kCannotOpen;
    return false;
  }
  bool ok = true;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > long(limit)) {
      why = Refusal::kTooLarge;
      ok = false;
    }
    std::rewind(f);
  }
  u8 chunk[65536];
  while (ok) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
    if (out.size() + got > limit) {
      why = Refusal::kTooLarge;
      ok = false;
      break;
    }
    out.insert(out.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (ok && std::ferror(f)) {
    why = Refusal::kReadError;
    ok = false;
  }
  std::fclose(f);
  if (ok && out.empty()) {
    why = Refusal::kEmpty;
    ok = false;
  }
  if (!ok) out.clear();
  return ok;
}

}  // namespace

GbaMemory::GbaMemory(Arena& arena) : arena_(arena) {}

void GbaMemory::buildMap() {
  Arena& a = arena_;
  std::memset(a.readBase, 0, sizeof a.readBase);
  std::memset(a.writeBase, 0, sizeof a.writeBase);
  std::memset(a.bitmapBase, 0, sizeof a.bitmapBase);
  trapMap_ = TrapMap{};
  std::memset(a.accessMask, 0, sizeof a.accessMask);
  std::memset(a.accessSize, 0, sizeof a.accessSize);
  const u8* areas[16] = {a.bios, nullptr, a.ewram, a.iwram, a.io, a.palette, a.vram, a.oam,
                         a.rom, a.eepromPorts, a.rom, a.eepromPorts, a.rom, a.eepromPorts, a.sram, nullptr};
  for (int r = 0; r < 16; ++r) {
    a.readSize[r] = kReadSize[r];
    a.writeSize[r] = kWritable[r] ? kReadSize[r] : 0;
    a.regionMask[r] = kReadSize[r] ? kReadSize[r] - 1 : 0xFFFFFF;
    // The console's OAM is 1 KB and repeats through its region; the rest of
    // the area is never reached.
    if (r == 7) a.regionMask[r] = 0x3FF;
    // The I/O registers do not repeat (placeInArea).
    if (r == 4) a.regionMask[r] = 0xFFFFFF;
    if (areas[r]) a.readBase[r] = a.offsetOf(areas[r]);
    if (areas[r] && kWritable[r]) a.writeBase[r] = a.offsetOf(areas[r]);
    for (int t = 0; t < 4; ++t) a.wait[t][r] = kWaitCycles[r][t] << 20;
    a.accessMask[r] = a.regionMask[r];
    a.accessSize[0][r] = r == 6 ? kVramBelowMirror : a.readSize[r];
    a.accessSize[1][r] = r == 6 ? kVramBelowMirror : a.writeSize[r];
    trapMap_.readSize[r] = a.readSize[r];
    trapMap_.writeSize[r] = a.writeSize[r];
    trapMap_.mask[r] = a.regionMask[r];
  }
  for (int b = 0; b < 6; ++b) {
    u32 offset = 0;
    u32 sliceOf[16] = {};
    for (int s = 0; s < 10; ++s) {
      sliceOf[kSliceRegion[s]] = a.offsetOf(&a.bitmaps[b][offset]);
      offset += kSliceBytes[s];
    }
    CHECK(offset == arena::kBitmapBytes);
    for (int r = 0; r < 16; ++r) {
      u32 slice = sliceOf[sliceOwner(r)];
      a.bitmapBase[b][r] = slice;
      trapMap_.bitmaps[b][r] = slice ? a.byte(slice) : nullptr;
    }
  }
  writeInitialRegisters();
  // Without "gba.rom" the machine starts at the cartridge, and the stand-in
  // answers its BIOS calls and interrupts; a file that is there but cannot
  // be taken is worth a word once the front end is up.
  std::string problem;
  if (!loadBios("gba.rom", &problem)) {
    if (lastBiosRefusal_ != int(Refusal::kMissing)) biosProblem_ = problem;
    installStandInBios();
  }
}

void GbaMemory::installStandInBios() {
  CHECK(kStandInBiosSize <= arena::kBiosSize);
  std::memset(arena_.bios, 0, arena::kBiosSize);
  std::memcpy(arena_.bios, kStandInBios, std::min<size_t>(kStandInBiosSize, arena::kBiosSize));
}

void GbaMemory::writeInitialRegisters() {
  poke16(0x04000130, 0x3FF);  // KEYINPUT: no key pressed
  // BG2 and BG3 matrices at identity, as the BIOS's start-up leaves them:
  // the bitmap modes are drawn through BG2's.
  for (u32 pa : {0x04000020u, 0x04000030u}) {
    poke16(pa, 0x100);
    poke16(pa + 6, 0x100);
  }
  poke16(0x0D000000, 1);      // EEPROM ready
}

void GbaMemory::clear() {
  Arena& a = arena_;
  std::memset(a.ewram, 0, sizeof a.ewram);
  std::memset(a.iwram, 0, sizeof a.iwram);
  std::memset(a.io, 0, sizeof a.io);
  std::memset(a.palette, 0, sizeof a.palette);
  std::memset(a.vram, 0, sizeof a.vram);
  std::memset(a.oam, 0, sizeof a.oam);
  std::memset(a.eepromPorts, 0, sizeof a.eepromPorts);
  std::memset(a.sram, 0, sizeof a.sram);
  writeInitialRegisters();
}

bool GbaMemory::readCartridge(const std::string& name, std::vector<u8>& bytes, std::string* problem) {
  Refusal why{};
  if (readImageFile(name, kMaxCartridgeBytes, bytes, why)) return true;
  if (problem) *problem = refusalText("Cartridge not loaded:", name, why);
  return false;
}

void GbaMemory::installCartridge(const std::vector<u8>& bytes) {
  CHECK(bytes.size() <= arena::kRomSize);
  std::memcpy(arena_.rom, bytes.data(), std::min<size_t>(bytes.size(), arena::kRomSize));
}

bool GbaMemory::loadRom(const std::string& name, std::string* problem) {
  std::vector<u8> bytes;
  if (!readCartridge(name, bytes, problem)) return false;
  installCartridge(bytes);
  return true;
}

bool GbaMemory::loadBios(const std::string& name, std::string* problem) {
  std::vector<u8> bytes;
  Refusal why{};
  bool ok = readImageFile(name, arena::kBiosSize, bytes, why);
  if (ok ? bytes.size() != arena::kBiosSize : why == Refusal::kTooLarge) {
    why = Refusal::kWrongSize;
    ok = false;
  }
  if (!ok) {
    lastBiosRefusal_ = int(why);
    if (problem) *problem = refusalText("BIOS not loaded:", name, why);
    return false;
  }
  std::memcpy(arena_.bios, bytes.data(), arena::kBiosSize);
  return true;
}

int GbaMemory::regionOf(u32 address) const {
  if constexpr (variant::kOlder) return int((address >> 24) & 15);
  u32 region = address >> 24;
  return region > 15 ? -1 : int(region);
}

const u8* GbaMemory::readPointer(u32 address, u32 bytes) const {
  int r = regionOf(address);
  if (r < 0 || !arena_.readBase[r]) return nullptr;
  // The older build took the low 24 bits as the offset; the size test keeps
  // such accesses inside the region.
  u32 masked = variant::kOlder ? (address & 0xFFFFFF) : (address & arena_.regionMask[r]);
  AreaPlace place;
  if (!placeInArea(u32(r), masked, arena_.readSize[r], place) || place.end - place.offset < bytes) return nullptr;
  return const_cast<Arena&>(arena_).byte(arena_.readBase[r] + place.offset);
}

u8* GbaMemory::writePointer(u32 address, u32 bytes) {
  int r = regionOf(address);
  if (r < 0 || !arena_.writeBase[r]) return nullptr;
  u32 masked = variant::kOlder ? (address & 0xFFFFFF) : (address & arena_.regionMask[r]);
  AreaPlace place;
  if (!placeInArea(u32(r), masked, arena_.writeSize[r], place) || place.end - place.offset < bytes) return nullptr;
  return arena_.byte(arena_.writeBase[r] + place.offset);
}

namespace {

// A mask or a mirror between two places in one region shows as a distance
// in storage other than the distance in addresses.
template <class P>
P* inOneRun(P* first, P* last, u32 firstAddress, u32 lastAddress) {
  if (!first || !last || (firstAddress >> 24) != (lastAddress >> 24)) return nullptr;
  if (last - first != std::ptrdiff_t(i32(lastAddress - firstAddress))) return nullptr;
  return first;
}

}  // namespace

const u8* GbaMemory::readSpan(u32 first, u32 last, u32 bytes) const {
  return inOneRun(readPointer(first, bytes), readPointer(last, bytes), first, last);
}

u8* GbaMemory::writeSpan(u32 first, u32 last, u32 bytes) {
  return inOneRun(writePointer(first, bytes), writePointer(last, bytes), first, last);
}

u32 GbaMemory::unmappedValue(u32 address, u32 allOnes) const {
  // The I/O region's gaps read 0.
  return regionOf(address) == 4 ? 0 : allOnes;
}

u8 GbaMemory::peek8(u32 address) const {
  const u8* p = readPointer(address, 1);
  return p ? *p : u8(unmappedValue(address, 0xFF));
}

u16 GbaMemory::peek16(u32 address) const {
  const u8* p = readPointer(address, 2);
  if (!p) return u16(unmappedValue(address, 0xFFFF));
  u16 v;
  std::memcpy(&v, p, 2);
  return v;
}

u32 GbaMemory::peek32(u32 address) const {
  const u8* p = readPointer(address, 4);
  if (!p) return unmappedValue(address, 0xFFFFFFFF);
  u32 v;
  std::memcpy(&v, p, 4);
  return v;
}

void GbaMemory::poke8(u32 address, u8 value) {
  if (u8* p = writePointer(address, 1)) *p = value;
}

void GbaMemory::poke16(u32 address, u16 value) {
  if (u8* p = writePointer(address, 2)) std::memcpy(p, &value, 2);
}

void GbaMemory::poke32(u32 address, u32 value) {
  if (u8* p = writePointer(address, 4)) std::memcpy(p, &value, 4);
}
