// The BIOS that stands in when no image is loaded: a guest program calls its
// functions from a table (tests/guest/standin.s) and the results are checked
// against the console's definitions of those functions; then its interrupt
// dispatch, Halt and VBlankIntrWait.  The program's own start without a
// "gba.rom" is the stand-in too.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "core/emulator.h"
#include "core/standin.h"
#include "support/tempdir.h"

namespace {

constexpr u32 kResults = 0x02000000, kState = 0x02003F00;

struct StandIn : ::testing::Test {
  std::unique_ptr<Emulator> emu = std::make_unique<Emulator>();
  GbaMemory& m = emu->memory();

  void SetUp() override {
    m.installStandInBios();
    ASSERT_TRUE(emu->loadRom(testsupport::guestImage("standin")));
    emu->video().reset();
    emu->video().setPresentMode(2);
    gStopMask = kStopRunning;
    gVideoCycles = 0;
    for (int i = 0; i < 20000 && m.peek32(kState + 48) != 0xDEADBEEF; ++i) emu->runSlice();
    ASSERT_EQ(m.peek32(kState + 48), 0xDEADBEEFu) << "the program did not get through; at call "
                                                  << m.peek32(kState + 4) << ", pc " << std::hex
                                                  << emu->cpu().pc();
  }
  u32 r0(int call) { return m.peek32(kResults + 16 * call); }
  u32 r1(int call) { return m.peek32(kResults + 16 * call + 4); }
  u32 r3(int call) { return m.peek32(kResults + 16 * call + 8); }
  u32 changed(int call) { return m.peek32(kResults + 16 * call + 12); }
  u16 half(u32 address) { return m.peek16(address); }
};

// The angle as the console gives it: 0x10000 a whole turn.
u32 angleOf(double radians) {
  double a = radians / (2 * M_PI) * 65536.0;
  if (a < 0) a += 65536.0;
  return u32(std::lround(a)) & 0xFFFF;
}

TEST_F(StandIn, ArithmeticKeepsTheOtherRegisters) {
  struct Case {
    int call;
    u32 r0, r1, r3;
  };
  const Case cases[] = {
      {1, u32(-123), u32(-4), 123},           // Div rounds towards zero, the remainder has the dividend's sign
      {2, u32(-142), 6, 142},
      {3, 0x80000000, 0, 0x80000000},         // the most negative number by 1
      {4, 1, 5, 1},                           // by zero: no endless loop
      {5, u32(-1), u32(-5), 1},
      {6, u32(-123), u32(-4), 123},           // DivArm: the operands the other way round
      {7, 14, 2, 14},                         // Div called from Thumb code
      {8, 0, 0, 0},                           // Sqrt
      {9, 3, 0, 0},
      {10, 4, 0, 0},
      {11, 0xFFFF, 0, 0},
      {12, 0x2000, 0, 0},                     // ArcTan(1) = pi / 4
      {13, u32(-0x2000), 0, 0},
      {28, 0xBAAE187F, 0, 0},                 // GetBiosChecksum
      {45, 0x12345678, 0x23456789, 0x456789AB},  // no such function: nothing changes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(r0(c.call), c.r0);
    EXPECT_EQ(r1(c.call), c.r1);
    EXPECT_EQ(r3(c.call), c.r3);
  }
  for (int call = 0; call <= 45; ++call) EXPECT_EQ(changed(call), 0u) << "call " << call;
}

TEST_F(StandIn, AnglesFollowTheArcTangent) {
  EXPECT_NEAR(double(r0(14)), std::atan(0.5) / (M_PI / 2) * 0x4000, 2.0);
  struct Case {
    int call, x, y;
  };
  const Case cases[] = {{15, 100, 0},   {16, 0, 100},    {17, -100, 0},  {18, 0, -100}, {19, 100, 100},
                        {20, -100, -100}, {21, 100, -100}, {22, -300, 100}, {23, 30, -200}};
  for (const Case& c : cases) {
    const u32 want = angleOf(std::atan2(double(c.y), double(c.x)));
    const int diff = int(r0(c.call)) - int(want);
    EXPECT_LE(std::abs(diff), 3) << "(" << c.x << ", " << c.y << ") gave " << r0(c.call) << ", not " << want;
    EXPECT_EQ(r0(c.call) >> 16, 0u);
  }
}

TEST_F(StandIn, CopiesAndFills) {
  for (u32 i = 0; i < 6; ++i) EXPECT_EQ(half(0x02002000 + 2 * i), i < 5 ? i + 1 : 0) << i;  // CpuSet, halfwords
  for (u32 i = 0; i < 4; ++i) EXPECT_EQ(m.peek32(0x02002020 + 4 * i), i < 3 ? 0x11111111u : 0) << i;
  const u32 words[16] = {0x11111111, 0x22222222, 0x33333333, 0x44444444, 0x55555555, 0x66666666,
                         0x77777777, 0x88888888, 0x99999999, 0xAAAAAAAA, 0xBBBBBBBB, 0xCCCCCCCC,
                         0xDDDDDDDD, 0xEEEEEEEE, 0xFFFFFFFF, 0x12345678};
  // CpuFastSet: 9 words asked for, 16 moved (whole groups of eight).
  for (u32 i = 0; i < 17; ++i) EXPECT_EQ(m.peek32(0x02002040 + 4 * i), i < 16 ? words[i] : 0) << i;
  for (u32 i = 0; i < 9; ++i) EXPECT_EQ(m.peek32(0x020020C0 + 4 * i), i < 8 ? 0x22222222u : 0) << i;
}

TEST_F(StandIn, AffineParameters) {
  // BgAffineSet: no turn, then a quarter turn with x scaled by 2.
  const u16 bg[2][4] = {{0x100, 0, 0, 0x100}, {0, u16(-0x200), 0x100, 0}};
  const i32 start[2][2] = {{0x1000 - 0x100 * 120, 0x2000 - 0x100 * 80},
                           {0x1000 + 0x200 * 80, 0x2000 - 0x100 * 120}};
  for (int e = 0; e < 2; ++e) {
    for (int k = 0; k < 4; ++k) EXPECT_EQ(half(0x02002100 + 16 * e + 2 * k), bg[e][k]) << e << " " << k;
    EXPECT_EQ(i32(m.peek32(0x02002108 + 16 * e)), start[e][0]) << e;
    EXPECT_EQ(i32(m.peek32(0x0200210C + 16 * e)), start[e][1]) << e;
  }
  // ObjAffineSet: a quarter turn, then an eighth (cos = sin = 0.7071 in 1.14).
  const u16 obj[2][4] = {{0, u16(-0x100), 0x200, 0}, {181, u16(-182), 181, 181}};
  for (int e = 0; e < 2; ++e)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(half(0x02002140 + 8 * e + 2 * k), obj[e][k]) << e << " " << k;
  for (int k = 0; k < 4; ++k) EXPECT_EQ(half(0x02002160 + 8 * k), obj[0][k]) << "OAM spacing " << k;
}

TEST_F(StandIn, UnpacksAndDecompresses) {
  EXPECT_EQ(m.peek32(0x02002180), 0x00020304u);  // 2-bit units to bytes, plus 1 but for the zero
  EXPECT_EQ(m.peek32(0x02002184), 0x10100101u);  // 1-bit units to nibbles
  EXPECT_EQ(m.peek32(0x02002188), 0x01020304u);  // plus 1, the zero too
  struct Case {
    u32 address;
    const char* bytes;
  };
  const Case cases[] = {
      {0x02002200, "ABCABCABCX"},  // LZ77 to WRAM
      {0x06000000, "ABCABCABCX"},  // to VRAM, in halfwords
      {0x06000020, "AAAAAB"},      // a run that repeats the byte before, still waiting for its pair
      {0x02002240, "ABBA"},        // Huffman
      {0x02002280, "AAAAABCD"},    // run length to WRAM
      {0x06000040, "AAAAABCD"},    // to VRAM
      {0x020022C0, "\x01\x03\x06"},  // 8-bit differences (1, 2, 3, 250): 1, 3, 6, 0
      {0x06000060, "\x01\x03\x06"},
  };
  for (const Case& c : cases) {
    const size_t n = std::strlen(c.bytes);
    for (size_t i = 0; i <= n; ++i)
      EXPECT_EQ(m.peek8(c.address + u32(i)), i < n ? u8(c.bytes[i]) : 0)
          << std::hex << c.address << " byte " << i;
  }
  EXPECT_EQ(m.peek8(0x020022C3), 0u);
  const u16 diff16[4] = {0x1000, 0x1001, 0x0001, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(half(0x020022E0 + 2 * i), diff16[i]) << i;
}

TEST_F(StandIn, ResetsAndRegisters) {
  // RegisterRamReset of palette, OAM and the display registers, VRAM kept.
  EXPECT_EQ(half(0x05000000), 0);
  EXPECT_EQ(half(0x07000000), 0);
  EXPECT_EQ(half(0x06008000), 0xABCD);
  EXPECT_EQ(half(0x04000000), 0x80);   // forced blank
  EXPECT_EQ(half(0x04000008), 0);      // BG0CNT
  EXPECT_EQ(half(0x04000020), 0x100);  // BG2PA at identity
  EXPECT_EQ(half(0x04000088) & 0x3FF, 0x200);  // SoundBias
  // SoftReset: the program again from 0x08000000, in System mode on the
  // user stack, the top of IWRAM cleared.
  EXPECT_EQ(m.peek32(kState), 2u);
  EXPECT_EQ(m.peek32(kState + 8) & 0x1F, 0x1Fu);
  EXPECT_EQ(m.peek32(kState + 12), 0x03007F00u);
  EXPECT_EQ(m.peek32(kState + 16), 0u);
}

TEST_F(StandIn, InterruptsReachTheCartridgesHandler) {
  // Halt with IME off and interrupts masked ends at the V-blank's start and
  // takes no interrupt.
  EXPECT_EQ(m.peek32(kState + 20), 160u);
  EXPECT_EQ(m.peek32(kState + 24), 0u);
  // Each VBlankIntrWait returns at the start of the next V-blank, after the
  // cartridge's handler took it.
  for (u32 i = 0; i < 3; ++i) EXPECT_EQ(m.peek32(kState + 28 + 4 * i), 160u) << i;
  EXPECT_EQ(m.peek32(kState + 40), 3u);
  EXPECT_EQ(m.peek32(kState + 44), 1u);  // IME set by the wait
}

TEST(StandInBios, IsWhatTheMachineHasWithoutAnImage) {
  // The tests run where there is no "gba.rom".
  Emulator emu;
  ASSERT_EQ(std::memcmp(emu.memory().bios(), kStandInBios, kStandInBiosSize), 0);
  EXPECT_EQ(emu.memory().peek32(0), 0u);  // so the reset starts at the cartridge
  EXPECT_EQ(emu.memory().biosProblem(), "");
  ASSERT_TRUE(emu.loadRom(testsupport::guestImage("standin")));
  EXPECT_EQ(emu.cpu().pc(), 0x08000000u);
}

}  // namespace
