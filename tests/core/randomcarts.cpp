// Random cartridges, loaded as files and run forwards, then backwards, then
// forwards again: random bytes and valid-looking ARM and Thumb code, entered
// in every processor mode, after a start that sets DMA channels, timers,
// interrupts and the display up at random.  Whatever the code does, the
// host never crashes or hangs, every slice ends with a defined status word,
// the guest never changes what it cannot write (the emulator's own tables,
// BIOS and cartridge), and translated code is never writable and executable
// at once, as a thread watching the process's mappings sees.
//
// VANDREL_RANDOM_CARTRIDGES=N runs N cartridges instead of the few a normal
// test run takes; VANDREL_RANDOM_SEED=S starts from another seed.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/emulator.h"
#include "support/tempdir.h"

namespace {

constexpr u32 kRom = 0x08000000;
constexpr u32 kPool = kRom + 0x400;   // constants of the start code
constexpr u32 kBody = kRom + 0x1000;  // the random code
constexpr u32 kBodyBytes = 0x10000;
constexpr u32 kBlockBytes = 0x400;
constexpr u32 kImageBytes = kBody + kBodyBytes - kRom;

// Addresses worth pointing at: every writable area, the I/O registers that
// start DMA and timers or raise interrupts, the cartridge, and unmapped ones.
constexpr u32 kTargets[] = {0x02000000, 0x0203FF00, 0x03000000, 0x03007F00, 0x04000000, 0x040000B0,
                            0x040000BC, 0x040000C8, 0x040000D4, 0x04000100, 0x04000108, 0x04000200,
                            0x05000000, 0x06000000, 0x06017FF0, 0x0601FFF0, 0x07000000, 0x08000000,
                            0x08001000, 0x0D000000, 0x0E000000, 0x01000000, 0x10000000, 0x00000100};
constexpr u32 kModes[] = {0x10, 0x11, 0x12, 0x13, 0x17, 0x1B, 0x1F};

class RandomImage {
 public:
  explicit RandomImage(std::mt19937& rng) : rng_(rng), bytes_(kImageBytes, 0) {}

  u32 random(u32 n) { return rng_() % n; }
  u32 target() { return kTargets[random(std::size(kTargets))] + (random(4) == 0 ? random(0x400) * 4 : 0); }
  void word(u32 address, u32 value) { std::memcpy(&bytes_[address - kRom], &value, 4); }
  void half(u32 address, u16 value) { std::memcpy(&bytes_[address - kRom], &value, 2); }
  const std::vector<u8>& bytes() const { return bytes_; }

  // LDR rd, [pc, #...] of the word at `at`, from an instruction at `from`.
  static u32 ldrLiteral(u32 rd, u32 from, u32 at) { return 0xE59F0000 | rd << 12 | (at - (from + 8)); }

  // The start: I/O registers written by the guest itself (so their traps
  // act), a stack for every mode, then a jump into the body in a random
  // mode and state.
  void start() {
    u32 pc = kRom, pool = kPool;
    auto constant = [&](u32 rd, u32 value) {
      word(pool, value);
      word(pc, ldrLiteral(rd, pc, pool));
      pc += 4;
      pool += 4;
    };
    auto store = [&](u32 address, u32 value, bool halfword) {
      constant(0, address);
      constant(1, value);
      word(pc, halfword ? 0xE1C010B0 : 0xE5801000);  // strh/str r1, [r0]
      pc += 4;
    };
    for (u32 mode : {0xD1u, 0xD2u, 0xD3u, 0xD7u, 0xDBu, 0xDFu}) {
      word(pc, 0xE321F000 | mode);  // msr cpsr_c, #mode (interrupts off)
      pc += 4;
      constant(13, random(2) ? 0x03007F00 - 0x100 * random(8) : target());
    }
    store(0x04000000, random(8) | (rng_() & 0xFF00), true);       // DISPCNT
    store(0x04000004, (rng_() & 0xFF38), true);                    // DISPSTAT: interrupt enables, VCOUNT
    for (u32 t = 0; t < 4; ++t)
      if (random(2)) store(0x04000100 + 4 * t, (rng_() & 0xFFFF) | (0x80 | (rng_() & 0x47)) << 16, false);
    for (u32 d = 0; d < 4; ++d) {
      if (!random(2)) continue;
      const u32 base = 0x040000B0 + 12 * d;
      store(base, random(2) ? kBody + random(kBodyBytes) : target(), false);
      store(base + 4, target(), false);
      store(base + 8, (1 + random(0x200)) | (0x8000 | (rng_() & 0x77E0)) << 16, false);
    }
    store(0x04000200, rng_() & 0x3FFF, true);  // IE
    store(0x04000208, random(4) != 0, true);   // IME
    for (u32 r = 0; r < 13; ++r) constant(r, random(3) ? target() : rng_());
    const u32 flags = random(2) ? 0 : 0x40 | (random(2) ? 0x80 : 0);
    word(pc, 0xE321F000 | kModes[random(std::size(kModes))] | flags);
    pc += 4;
    const u32 entry = kBody + random(kBodyBytes / kBlockBytes) * kBlockBytes;
    constant(12, entry | (thumbBlock(entry) ? 1 : 0));
    word(pc, 0xE12FFF1C);  // bx r12
  }

  bool thumbBlock(u32 address) const { return kinds_[(address - kBody) / kBlockBytes] == 2; }

  // Blocks of random bytes, ARM code and Thumb code; each code block ends
  // with a pool of target addresses that its loads pick from.
  void body() {
    for (u32 b = 0; b < kBodyBytes / kBlockBytes; ++b) kinds_.push_back(random(10) < 2 ? 0 : random(10) < 6 ? 1 : 2);
    for (u32 b = 0; b < kBodyBytes / kBlockBytes; ++b) {
      const u32 start = kBody + b * kBlockBytes, poolAt = start + kBlockBytes - 64;
      for (u32 a = poolAt; a < start + kBlockBytes; a += 4) word(a, target());
      for (u32 a = start; a < poolAt; a += 4) {
        if (kinds_[b] == 0) word(a, rng_());
        else if (kinds_[b] == 1) word(a, arm(a, poolAt));
        else {
          half(a, thumb(a, poolAt));
          half(a + 2, thumb(a + 2, poolAt));
        }
      }
    }
  }

  u32 arm(u32 at, u32 pool) {
    const u32 cond = random(5) ? 0xE0000000 : random(15) << 28;
    const u32 rd = random(16) == 0 ? 15 : random(15), rn = random(16), rm = random(16), rs = random(15);
    switch (random(13)) {
      case 0:
      case 1:
      case 2:  // data processing, sometimes to PC (with S: SPSR into CPSR)
        return cond | (rng_() & 0x03F00FFF) | rn << 16 | rd << 12;
      case 3:  // a target address into a register
        return ldrLiteral(random(13), at, pool + 4 * random(16));
      case 4:
      case 5:  // single transfers
        return cond | 0x04000000 | (rng_() & 0x03F00FEF) | rn << 16 | rd << 12;
      case 6:  // halfword and signed transfers
        return cond | 0x00000090 | (rng_() & 0x01F00F0F) | (1 + random(3)) << 5 | rn << 16 | rd << 12;
      case 7:  // block transfers
        return cond | 0x08000000 | (rng_() & 0x01F0FFFF) | rn << 16;
      case 8:  // a short branch, with or without link
        return cond | 0x0A000000 | random(2) << 24 | ((random(64) - 32) & 0xFFFFFF);
      case 9: {  // status registers: MRS, MSR from an immediate (a new mode) or a register
        if (random(3) == 0) return cond | 0x010F0000 | random(2) << 22 | rd << 12;
        if (random(2)) return cond | 0x0321F000 | random(2) << 22 | kModes[random(7)] | (rng_() & 0xE0);
        return cond | 0x0129F000 | random(2) << 22 | rm;
      }
      case 10:  // multiplies and swaps
        if (random(3) == 0) return cond | 0x01000090 | random(2) << 22 | rn << 16 | rd << 12 | rm;
        return cond | 0x00000090 | (rng_() & 0x00F00000) | rd << 16 | rn << 12 | rs << 8 | rm;
      case 11:  // into Thumb or back: BX
        return cond | 0x012FFF10 | rm;
      default:  // software interrupt, undefined, coprocessor
        return random(2) ? cond | 0x0F000000 | (rng_() & 0xFFFFFF) : cond | 0x06000010 | (rng_() & 0x01FFFFEF);
    }
  }

  u16 thumb(u32 at, u32 pool) {
    const u16 r = u16(rng_());
    switch (random(8)) {
      case 0:  // PC-relative load of a target address
        return u16(0x4800 | random(8) << 8 | ((pool + 4 * random(16) - ((at + 4) & ~3u)) / 4));
      case 1:  // conditional branch, short
        return u16(0xD000 | random(14) << 8 | ((random(32) - 16) & 0xFF));
      case 2:  // branch, short
        return u16(0xE000 | ((random(64) - 32) & 0x7FF));
      case 3:  // BX to any register, or a high-register operation
        return u16(0x4400 | (r & 0x3FF));
      default:  // anything: Thumb has next to no undefined patterns
        return r;
    }
  }

  // A BIOS that answers interrupts and exceptions; or zeros, or noise.
  static std::vector<u8> bios(std::mt19937& rng) {
    std::vector<u8> b(0x4000, 0);
    switch (rng() % 3) {
      case 0: {
        auto put = [&](u32 a, u32 w) { std::memcpy(&b[a], &w, 4); };
        for (u32 v : {0x04u, 0x08u, 0x0Cu, 0x10u, 0x1Cu}) put(v, 0xE1B0F00E);  // movs pc, lr
        put(0x18, 0xEA000038);  // b 0x100
        const u32 handler[] = {0xE92D500F, 0xE3A00301, 0xE5901200, 0xE0011821, 0xE2800C02,
                               0xE1C010B2, 0xE8BD500F, 0xE25EF004};
        for (u32 i = 0; i < std::size(handler); ++i) put(0x100 + 4 * i, handler[i]);
        break;
      }
      case 1:
        break;
      default:
        for (u8& x : b) x = u8(rng());
        break;
    }
    return b;
  }

 private:
  std::mt19937& rng_;
  std::vector<u8> bytes_;
  std::vector<u32> kinds_;
};

// What no guest action may change.
std::vector<u8> fixedParts(const Arena& a) {
  std::vector<u8> out;
  auto add = [&](const void* p, size_t n) {
    const u8* b = static_cast<const u8*>(p);
    out.insert(out.end(), b, b + n);
  };
  add(a.guard, sizeof a.guard);
  add(&a.timerEntry, sizeof a.timerEntry);
  add(a.readBase, sizeof a.readBase);
  add(a.writeBase, sizeof a.writeBase);
  add(a.readSize, sizeof a.readSize);
  add(a.writeSize, sizeof a.writeSize);
  add(a.regionMask, sizeof a.regionMask);
  add(a.bitmapBase, sizeof a.bitmapBase);
  add(a.wait, sizeof a.wait);
  add(a.flagsFromAh, sizeof a.flagsFromAh);
  add(a.conditionTable, sizeof a.conditionTable);
  add(a.bios, sizeof a.bios);
  add(a.rom, kImageBytes);
  return out;
}

// Watches /proc/self/maps from a thread of its own for a mapping that is
// writable and executable at once.
class MappingWatch {
 public:
  MappingWatch() : thread_([this] { watch(); }) {}
  ~MappingWatch() {
    stop_ = true;
    thread_.join();
  }
  std::string offence() {
    std::lock_guard<std::mutex> lock(mutex_);
    return offence_;
  }
  int looks() const { return looks_; }

 private:
  void watch() {
    while (!stop_) {
      std::ifstream maps("/proc/self/maps");
      for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string range, perms;
        fields >> range >> perms;
        if (perms.size() >= 3 && perms[1] == 'w' && perms[2] == 'x') {
          std::lock_guard<std::mutex> lock(mutex_);
          if (offence_.empty()) offence_ = line;
        }
      }
      ++looks_;
    }
  }
  std::atomic<bool> stop_{false};
  std::atomic<int> looks_{0};
  std::mutex mutex_;
  std::string offence_;
  std::thread thread_;
};

u32 fromEnvironment(const char* name, u32 fallback) {
  const char* v = std::getenv(name);
  return v && *v ? u32(std::strtoul(v, nullptr, 10)) : fallback;
}

}  // namespace

TEST(RandomCartridges, RunForwardsAndBackwardsWithoutHarmingTheHost) {
  const u32 cartridges = fromEnvironment("VANDREL_RANDOM_CARTRIDGES", 16);
  const u32 seed = fromEnvironment("VANDREL_RANDOM_SEED", 20240601);
  constexpr u32 kKnownBits = 0x800FFFFF;
  testsupport::ScopedTempDir dir;
  auto emu = std::make_unique<Emulator>();
  MappingWatch watch;
  for (u32 n = 0; n < cartridges; ++n) {
    SCOPED_TRACE("cartridge " + std::to_string(n) + " of seed " + std::to_string(seed));
    std::mt19937 rng(seed + n);
    const std::vector<u8> bios = RandomImage::bios(rng);
    std::memcpy(emu->memory().bios(), bios.data(), bios.size());
    RandomImage image(rng);
    image.body();
    image.start();
    {
      std::ofstream f("random.gba", std::ios::binary);
      f.write(reinterpret_cast<const char*>(image.bytes().data()), std::streamsize(image.bytes().size()));
    }
    ASSERT_TRUE(emu->loadRom("random.gba"));
    // The start is the cartridge whatever the BIOS holds.
    emu->cpu().setReg(15, kRom);
    emu->video().reset();
    emu->video().setPresentMode(2);
    const std::vector<u8> fixed = fixedParts(emu->arena());
    gStopMask = kStopRunning;
    auto slices = [&](u32 count, bool forwards) {
      for (u32 s = 0; s < count; ++s) {
        if (forwards) emu->runSlice();
        else emu->stepBack();
        ASSERT_EQ(gRunStatus & ~kKnownBits, 0u) << (forwards ? "forwards" : "backwards") << " slice " << s;
        if (!forwards && gRunStatus == 0x40000u) return;  // the journal is used up
      }
    };
    slices(400, true);
    slices(400, false);
    slices(200, true);
    EXPECT_TRUE(fixedParts(emu->arena()) == fixed);
    ASSERT_EQ(watch.offence(), "") << "a mapping writable and executable at once";
  }
  EXPECT_GT(watch.looks(), 0);
}
