// The memory map through the emulator's own accessors.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "corefixture.h"
#include "support/tempdir.h"

namespace {

using Memory = testsupport::CoreFixture;

TEST_F(Memory, MirrorsAndUnmappedRegions) {
  mem().poke16(0x06000000, 0xBEEF);
  EXPECT_EQ(mem().peek16(0x06020000), 0xBEEFu);      // VRAM every 128 KB
  // VRAM is 96 KB: the last 32 KB of each 128 KB block mirror the 32 KB before.
  mem().poke32(0x06018010, 0x11223344);
  EXPECT_EQ(mem().peek32(0x06010010), 0x11223344u);
  EXPECT_EQ(mem().peek32(0x0603FFFC), mem().peek32(0x06017FFC));
  EXPECT_EQ(mem().peek32(0x06008010), 0u);
  mem().poke16(0x07000002, 0x5A5A);
  EXPECT_EQ(mem().peek16(0x07000402), 0x5A5Au);  // OAM every 1 KB
  EXPECT_EQ(mem().peek32(0x01000000), 0xFFFFFFFFu);
  EXPECT_EQ(mem().peek32(0x10000000), 0xFFFFFFFFu);
  EXPECT_EQ(mem().peek8(0x0F000000), 0xFFu);
}

// The I/O registers lie at 0x04000000-0x040003FF only; the memory control
// register at 0x04000800 comes again every 64 KB; every other address of the
// region reads 0 and takes no writes.
TEST_F(Memory, IoRegistersDoNotRepeat) {
  mem().poke32(0x04000000, 0x12345678);
  mem().poke16(0x04000200, 0x3FFF);
  mem().poke32(0x04000800, 0x0D000020);
  struct Case {
    u32 address, word;
  };
  const Case cases[] = {
      {0x04000000, 0x12345678}, {0x04000200, 0x3FFF},     {0x04000400, 0},          {0x04000600, 0},
      {0x04001000, 0},          {0x04FFF600, 0},          {0x04FFFE00, 0},          {0x04000804, 0},
      {0x04000800, 0x0D000020}, {0x04010800, 0x0D000020}, {0x04FF0800, 0x0D000020}, {0x04010000, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mem().peek32(c.address), c.word) << std::hex << c.address;
    EXPECT_EQ(mem().peek16(c.address), c.word & 0xFFFF) << std::hex << c.address;
    EXPECT_EQ(mem().peek8(c.address + 3), c.word >> 24) << std::hex << c.address;
  }
  // Writes to the gaps change nothing; through a repeat of the control register they land in it.
  for (u32 a : {0x04000400u, 0x04000600u, 0x04FFF600u, 0x04000804u}) mem().poke32(a, 0xFFFFFFFF);
  mem().poke16(0x04FF0802, 0x0E00);
  EXPECT_EQ(mem().peek32(0x04000000), 0x12345678u);
  EXPECT_EQ(mem().peek16(0x04000200), 0x3FFFu);
  EXPECT_EQ(mem().peek32(0x04000800), 0x0E000020u);
  EXPECT_EQ(mem().peek32(0x04000400), 0u);
  // No access reaches over the registers' end into the control register.
  EXPECT_EQ(mem().peek32(0x040003FE), 0u);
}

// DMA reads and writes through the same map: a gap gives 0s and takes nothing.
TEST_F(Memory, DmaSeesTheIoMap) {
  for (u32 a = 0x03000000; a < 0x03000010; a += 4) mem().poke32(a, 0xFFFFFFFF);
  mem().poke16(0x04000200, 0x1234);
  mem().poke32(0x040000D4, 0x04000530);       // channel 3 from a gap (1 KB past KEYINPUT)
  mem().poke32(0x040000D8, 0x03000000);       // to IWRAM
  mem().poke32(0x040000DC, 0x84000000 | 4);   // enabled, immediate, words, 4 units
  gStopMask = kStopRunning;
  slice();
  for (u32 a = 0x03000000; a < 0x03000010; a += 4) EXPECT_EQ(mem().peek32(a), 0u) << std::hex << a;
  mem().poke32(0x040000D4, 0x03000000);
  mem().poke32(0x040000D8, 0x04FFF600);       // into a gap at the region's top
  mem().poke32(0x040000DC, 0x84000000 | 4);
  slice();
  EXPECT_EQ(mem().peek16(0x04000200), 0x1234u);
  EXPECT_EQ(mem().peek32(0x04FFF600), 0u);
}

// Generated code sees the same I/O map: stores into the gaps change nothing
// and loads from them give 0, without stopping and at an I/O access's cost;
// the control register takes every width.
TEST_F(Memory, GuestCodeSeesTheIoMap) {
  struct Case {
    u32 address;
    bool control;  // the memory control register, else a gap
  };
  const Case cases[] = {
      {0x04FFF600, false}, {0x04000410, false}, {0x04000600, false}, {0x04001208, false},
      {0x04000804, false}, {0x04000800, true},  {0x04010800, true},
  };
  for (const Case& c : cases) {
    SetUp();
    code({0xE5810000,    // str r0, [r1]
          0xE1C100B0,    // strh r0, [r1]
          0xE5C10000,    // strb r0, [r1]
          0xE5912000,    // ldr r2, [r1]
          0xE1D120B0,    // ldrh r2, [r1]
          0xE5D12003});  // ldrb r2, [r1, #3]
    gStopMask = kStopStep | 0x100;  // an unmapped access would stop
    mem().poke16(0x04000200, 0x1234);
    mem().poke16(0x04000208, 1);
    set(0, 0xAABBCCDD);
    set(1, c.address);
    for (int i = 0; i < 3; ++i) {
      const u32 before = gCycleCount;
      EXPECT_EQ(slice() & 0x100, 0u) << std::hex << c.address;
      EXPECT_EQ(gCycleCount - before, 8u + 1u) << std::hex << c.address;  // ROM N-cycle + I/O access
    }
    EXPECT_EQ(mem().peek16(0x04000200), 0x1234u) << std::hex << c.address;  // IE
    EXPECT_EQ(mem().peek16(0x04000208), 1u) << std::hex << c.address;       // IME
    EXPECT_EQ(mem().peek16(0x04000010), 0u) << std::hex << c.address;       // BG0HOFS
    EXPECT_EQ(mem().peek32(0x04000800), c.control ? 0xAABBCCDDu : 0u) << std::hex << c.address;
    slice();
    EXPECT_EQ(r(2), c.control ? 0xAABBCCDDu : 0u) << std::hex << c.address;
    slice();
    EXPECT_EQ(r(2), c.control ? 0xCCDDu : 0u) << std::hex << c.address;
    slice();
    EXPECT_EQ(r(2), c.control ? 0xAAu : 0u) << std::hex << c.address;
  }
}

// Even code runs there: a word of the memory control register holds an
// instruction, the gap after it reads as 0 (an ANDEQ that does nothing).
TEST_F(Memory, CodeRunsFromTheMemoryControlRegister) {
  mem().poke32(0x04000800, 0xE3A00005);  // mov r0, #5
  set(15, 0x04000800);
  slice();
  slice();
  EXPECT_EQ(r(0), 5u);
  EXPECT_EQ(r(15), 0x04000808u);
  mem().poke32(0x04000800, 0xE3A00007);  // written over by the debugger: runs as written
  cpu().flushBlocks();
  set(15, 0x04000800);
  slice();
  EXPECT_EQ(r(0), 7u);
}

// Generated code sees the same mirrors as the accessors.
TEST_F(Memory, GuestCodeSeesVideoRamAndOamMirrors) {
  code({0xE5810000, 0xE5932000, 0xE5840000, 0xE5965000});  // str r0,[r1]; ldr r2,[r3]; str r0,[r4]; ldr r5,[r6]
  set(0, 0xCAFEF00D);
  set(1, 0x06018004);
  set(3, 0x06010004);
  set(4, 0x07000404);
  set(6, 0x07000004);
  // A write breakpoint in the upper mirror catches the store that lands there.
  ASSERT_TRUE(emu->breakpoints().setBits(0x06018004, 4, 1, kBreakWrite, true));
  EXPECT_NE(slice() & 0x10, 0u);
  for (int i = 0; i < 3; ++i) slice();
  EXPECT_EQ(r(2), 0xCAFEF00Du);
  EXPECT_EQ(r(5), 0xCAFEF00Du);
  EXPECT_EQ(mem().peek32(0x06018004), 0xCAFEF00Du);
}

// Byte stores by the processor: palette RAM takes the byte into both bytes of
// its halfword, OAM ignores it, video RAM widens it below the sprite area and
// ignores it there (from 0x06010000 in modes 0-2, from 0x06014000 in the
// bitmap modes 3-5, by the display mode at the time of the store).
TEST_F(Memory, ByteStoresWidenOrDropWhereTheConsoleDoes) {
  struct Case {
    const char* what;
    u32 address, mode;
    u16 after;  // the halfword holding the address, 0x1234 before
  };
  const Case cases[] = {
      {"palette, even", 0x05000010, 0, 0xABAB},
      {"palette, odd", 0x05000011, 0, 0xABAB},
      {"palette mirror", 0x05000411, 0, 0xABAB},
      {"OAM", 0x07000010, 0, 0x1234},
      {"OAM mirror", 0x07000413, 0, 0x1234},
      {"background VRAM", 0x06000011, 0, 0xABAB},
      {"background VRAM end, mode 2", 0x0600FFFF, 2, 0xABAB},
      {"sprite VRAM, mode 0", 0x06010000, 0, 0x1234},
      {"sprite VRAM, mode 1", 0x06012345, 1, 0x1234},
      {"sprite VRAM's upper mirror, mode 0", 0x0601C001, 0, 0x1234},
      {"bitmap VRAM, mode 3", 0x06010000, 3, 0xABAB},
      {"bitmap VRAM end, mode 4", 0x06013FFF, 4, 0xABAB},
      {"sprite VRAM, mode 5", 0x06014000, 5, 0x1234},
      {"sprite VRAM's upper mirror, mode 3", 0x0601C001, 3, 0x1234},
      {"VRAM repeated, mode 4", 0x06033FFE, 4, 0xABAB},
      {"IWRAM, odd", 0x03000011, 0, 0xAB34},
      {"EWRAM, even", 0x02000010, 0, 0x12AB},
  };
  // ARM STRB, Thumb STRB and SWPB store the same way.
  for (int form = 0; form < 3; ++form) {
    for (const Case& c : cases) {
      SetUp();
      if (form == 0) code({0xE5C10000});  // strb r0, [r1]
      if (form == 1) {
        code({0xE28F2001, 0xE12FFF12});  // add r2, pc, #1; bx r2 (into Thumb at 0x08000008 + 1)
        thumbCode({0x7008}, 0x08000008);  // strb r0, [r1]
      }
      if (form == 2) code({0xE1412090});  // swpb r2, r0, [r1]
      const u32 half = c.address & ~1u;
      mem().poke16(half, 0x1234);
      mem().poke16(0x04000000, u16(c.mode));
      set(0, 0xCDAB);
      set(1, c.address);
      for (int i = 0; i < (form == 1 ? 3 : 1); ++i) slice();
      EXPECT_EQ(mem().peek16(half), c.after) << c.what << ", form " << form;
    }
  }
  // The debugger's own byte write stays one byte.
  SetUp();
  mem().poke16(0x05000020, 0x1234);
  mem().poke8(0x05000020, 0xAB);
  EXPECT_EQ(mem().peek16(0x05000020), 0x12ABu);
}

TEST_F(Memory, AccessesMustFitInTheRegion) {
  mem().poke32(0x03007FFC, 0xAABBCCDD);
  EXPECT_EQ(mem().peek32(0x03007FFD), 0xFFFFFFFFu);  // offset size - 3
  EXPECT_EQ(mem().peek32(0x03007FFC), 0xAABBCCDDu);
  EXPECT_EQ(mem().peek16(0x03007FFF), 0xFFFFu);
  EXPECT_EQ(mem().peek8(0x03007FFF), 0xAAu);
  mem().poke32(0x03007FFE, 0);  // does not fit: dropped
  EXPECT_EQ(mem().peek32(0x03007FFC), 0xAABBCCDDu);
}

TEST_F(Memory, BiosAndRomTakeNoWrites) {
  u32 rom = mem().peek32(0x08000000);
  mem().poke32(0x08000000, ~rom);
  mem().poke16(0x08000000, 0);
  EXPECT_EQ(mem().peek32(0x08000000), rom);
  mem().poke32(0x00000000, 0x1234);
  EXPECT_EQ(mem().peek32(0x00000000), 0u);
}

TEST_F(Memory, ResetWritesTheInitialRegisters) {
  mem().poke32(0x0E000000, 0x55);
  mem().poke16(0x0D000002, 7);
  emu->reset();
  EXPECT_EQ(mem().peek16(0x04000130), 0x3FFu);
  EXPECT_EQ(mem().peek16(0x0D000000), 1u);
  EXPECT_EQ(mem().peek16(0x0D000002), 0u);
  EXPECT_EQ(mem().peek32(0x0E000000), 0u);
}

TEST_F(Memory, SmallerCartridgeKeepsTheOldUpperPart) {
  testsupport::ScopedTempDir dir;
  auto write = [](const char* name, size_t size, char fill) {
    std::ofstream f(name, std::ios::binary);
    std::vector<char> bytes(size, fill);
    f.write(bytes.data(), std::streamsize(bytes.size()));
  };
  write("big.gba", 8u << 20, 0x11);
  write("small.gba", 4u << 20, 0x22);
  write("huge.gba", (8u << 20) + 16, 0x33);
  ASSERT_TRUE(emu->loadRom("big.gba"));
  ASSERT_TRUE(emu->loadRom("small.gba"));
  EXPECT_EQ(mem().peek8(0x08000000), 0x22u);
  EXPECT_EQ(mem().peek8(0x083FFFFF), 0x22u);
  EXPECT_EQ(mem().peek8(0x08400000), 0x11u);
  EXPECT_EQ(mem().peek8(0x087FFFFF), 0x11u);
  // Too long: cut at the region's end.
  ASSERT_TRUE(emu->loadRom("huge.gba"));
  EXPECT_EQ(mem().peek8(0x087FFFFF), 0x33u);
  EXPECT_FALSE(emu->loadRom("missing.gba"));
  EXPECT_EQ(mem().peek8(0x08000000), 0x33u);
}

void makeSparse(const char* name, off_t size) {
  const int fd = ::open(name, O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, size), 0);
  ::close(fd);
}

// A file that cannot be a cartridge gets one line for the user and changes
// nothing: no reset, the cartridge in before stays and keeps running.
TEST_F(Memory, BadCartridgeFilesAreRefusedAndChangeNothing) {
  testsupport::ScopedTempDir dir;
  // loop: add r0, r0, #1; b loop
  { std::ofstream("good.gba", std::ios::binary).write("\x01\x00\x80\xE2\xFD\xFF\xFF\xEA", 8); }
  ASSERT_TRUE(emu->loadRom("good.gba"));
  slice();
  const u32 cycles = gCycleCount, r0 = r(0);
  ASSERT_NE(cycles, 0u);
  { std::ofstream("empty.gba"); }
  std::filesystem::create_directory("folder.gba");
  ASSERT_EQ(mkfifo("fifo.gba", 0600), 0);
  makeSparse("huge.gba", (32 << 20) + 1);
  std::filesystem::create_symlink("nowhere.gba", "dangling.gba");
  const struct {
    const char* name;
    const char* line;
  } cases[] = {
      {"empty.gba", "Cartridge not loaded: empty.gba is empty."},
      {"folder.gba", "Cartridge not loaded: folder.gba is a directory."},
      {"fifo.gba", "Cartridge not loaded: fifo.gba is not a regular file."},
      {"/dev/zero", "Cartridge not loaded: /dev/zero is not a regular file."},
      {"huge.gba", "Cartridge not loaded: huge.gba is larger than 32 MB."},
      {"missing.gba", "Cartridge not loaded: missing.gba does not exist."},
      {"dangling.gba", "Cartridge not loaded: dangling.gba does not exist."},
      {"/proc/self/mem", "Cartridge not loaded: /proc/self/mem could not be read."},
  };
  for (const auto& c : cases) {
    std::string problem;
    EXPECT_FALSE(emu->loadRom(c.name, &problem)) << c.name;
    EXPECT_EQ(problem, c.line);
    EXPECT_EQ(gCycleCount, cycles) << c.name;
    EXPECT_EQ(emu->romName(), "good.gba");
    EXPECT_EQ(mem().peek32(0x08000000), 0xE2800001u);
  }
  slice();
  slice();
  EXPECT_EQ(r(0), r0 + 1) << "the old cartridge runs on";
  // The most the console addresses is still taken (cut to the ROM area).
  makeSparse("largest.gba", 32 << 20);
  EXPECT_TRUE(emu->loadRom("largest.gba"));
  EXPECT_EQ(mem().peek32(0x08000000), 0u);
}

TEST_F(Memory, TheBiosMustBeSixteenKilobytes) {
  testsupport::ScopedTempDir dir;
  std::vector<char> image(0x4000, 0x5A);
  auto write = [&](const char* name, size_t size) {
    std::ofstream f(name, std::ios::binary);
    f.write(image.data(), std::streamsize(std::min(size, image.size())));
    for (size_t i = image.size(); i < size; ++i) f.put(0x5A);
  };
  write("short.rom", 0x3FFF);
  write("long.rom", 0x4001);
  write("empty.rom", 0);
  std::filesystem::create_directory("folder.rom");
  for (const char* name : {"short.rom", "long.rom", "empty.rom", "folder.rom", "missing.rom"}) {
    std::string problem;
    EXPECT_FALSE(mem().loadBios(name, &problem)) << name;
    EXPECT_EQ(problem.rfind(std::string("BIOS not loaded: ") + name + " ", 0), 0u) << problem;
    EXPECT_EQ(mem().peek32(0), 0u) << name;  // nothing of it went in
  }
  std::string problem;
  mem().loadBios("long.rom", &problem);
  EXPECT_EQ(problem, "BIOS not loaded: long.rom is not 16 KB long.");
  write("gba.rom", 0x4000);
  EXPECT_TRUE(mem().loadBios("gba.rom", &problem));
  EXPECT_EQ(mem().peek32(0x3FFC), 0x5A5A5A5Au);

  // The image the emulator takes at its construction: nothing to say when
  // there is none, one line when it is refused.
  std::filesystem::remove("gba.rom");
  EXPECT_EQ(std::make_unique<Emulator>()->memory().biosProblem(), "");
  write("gba.rom", 100);
  EXPECT_EQ(std::make_unique<Emulator>()->memory().biosProblem(), "BIOS not loaded: gba.rom is not 16 KB long.");
}

TEST_F(Memory, LoadRomStartsFromAFreshReset) {
  code({0xE2800001});
  slice();
  EXPECT_NE(gCycleCount, 0u);
  testsupport::ScopedTempDir dir;
  { std::ofstream("one.gba", std::ios::binary).write("\x01\x00\xA0\xE3", 4); }
  ASSERT_TRUE(emu->loadRom("one.gba"));
  EXPECT_EQ(gCycleCount, 0u);
  EXPECT_EQ(r(0), 0u);
  EXPECT_EQ(r(15), 0x08000000u);
  EXPECT_EQ(cpu().blocksInUse(), 0u);
  EXPECT_EQ(emu->romName(), "one.gba");
}

TEST(EmulatorText, ParseAddress) {
  EXPECT_EQ(Emulator::parseAddress(""), 0u);
  EXPECT_EQ(Emulator::parseAddress("08000000"), 0x08000000u);
  EXPECT_EQ(Emulator::parseAddress("8000000h"), 0x08000000u);
  EXPECT_EQ(Emulator::parseAddress(" 8"), 0u);
  EXPECT_EQ(Emulator::parseAddress("0x10"), 0u);
  EXPECT_EQ(Emulator::parseAddress("\t1f"), 0x1Fu);
  std::string s = "at ";
  formatHex8(s, 0xBEEF);
  EXPECT_EQ(s, "at 0000beef");
  FixedIString f;
  for (char c : std::string("8000000h")) f.appendChar(c);
  EXPECT_EQ(Emulator::parseAddress(f), 0x08000000u);
  f.clear();
  formatHex8(f, 0x1A);
  ASSERT_EQ(f.length(), 8u);
  EXPECT_EQ(f[6], u16('1'));
  EXPECT_EQ(f[7], u16('a'));
}

}  // namespace
