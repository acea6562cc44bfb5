#include "debugger/ioregs.h"

#include <gtest/gtest.h>

#include "core/emulator.h"
#include "shown.h"

namespace {

class IoRegisters : public ::testing::Test {
 protected:
  void SetUp() override { gEmulator.reset(); }
  GbaMemory& memory = gEmulator.memory();

  // The decoding of the register at the address, and the bytes it covered.
  std::string decode(u32 address, u32 displayMode = 0, u32* advance = nullptr) {
    FixedIString line, next;
    const u32 after = appendIoRegister(line, &next, memory, address, displayMode);
    if (advance) *advance = after - address;
    return shown(line);
  }
};

TEST_F(IoRegisters, HalfwordRegistersAsThePaneLaysThemOut) {
  struct Row {
    u32 address;
    u16 value;
    u32 mode;
    const char* text;
  };
  const Row rows[] = {
      {0x04000000, 0x0080, 0,
       "[LCDC     0080    ] : Mode=0; 2D sprites; <r>OAM/HBL<w>; <r>BG0<w>; <r>BG1<w>; <r>BG2<w>; <r>BG3<w>; "
       "<r>OAM<w>"},
      {0x04000000, 0x1454, 4,
       "[LCDC     1454    ] : Mode=4; Page=1; 1D sprites; <r>OAM/HBL<w>; <r>BG0<w>; <r>BG1<w>; <g>BG2<w>; "
       "<r>BG3<w>; <g>OAM<w>"},
      {0x04000000, 0x0023, 3,
       "[LCDC     0023    ] : Mode=3; 2D sprites; <g>OAM/HBL<w>; <r>BG0<w>; <r>BG1<w>; "
       "<r>BG2<w>; <r>BG3<w>; <r>OAM<w>"},
      {0x04000004, 0xA020, 0,
       "[LCDSTAT  A020    ] : <r>VBL<w>; <r>HBL<w>; <r>LYC<w>; <r>VBL IRQ<w>; <r>HBL IRQ<w>; <g>LYC IRQ<w>; "
       "LYC=000000A0"},
      {0x04000004, 0x1003, 0,
       "[LCDSTAT  1003    ] : <g>VBL<w>; <g>HBL<w>; <r>LYC<w>; <r>VBL IRQ<w>; <r>HBL IRQ<w>; <r>LYC IRQ<w>"},
      {0x04000006, 0x009F, 0, "[Scanline 009F    ] : 009F"},
      {0x04000008, 0x4DC5, 0,
       "[BG0      4DC5    ] : PRI=1; DAT=6004000; <g>MOS<w>; 8BIT; MAP=6006800; <g>TRANS<w>; SZ=512x256"},
      {0x0400000C, 0xE000, 1,
       "[BG2      E000    ] : PRI=0; DAT=6000000; <r>MOS<w>; 4BIT; MAP=6000000; <g>TILE<w>; SZ=1024x1024"},
      {0x0400000C, 0xE000, 0,
       "[BG2      E000    ] : PRI=0; DAT=6000000; <r>MOS<w>; 4BIT; MAP=6000000; <r>TRANS<w>; SZ=512x512"},
      {0x0400000E, 0x8002, 1,
       "[BG3      8002    ] : PRI=2; DAT=6000000; <r>MOS<w>; 4BIT; MAP=6000000; <g>TRANS<w>; SZ=256x512"},
      {0x0400000E, 0x8002, 2,
       "[BG3      8002    ] : PRI=2; DAT=6000000; <r>MOS<w>; 4BIT; MAP=6000000; <r>TILE<w>; SZ=512x512"},
      {0x04000016, 0xFFFF, 0, "[BG1 SCY  FFFF    ] : 3FF"},
      {0x0400001C, 0x0123, 0, "[BG3 SCX  0123    ] : 123"},
      {0x0400004C, 0x4321, 0, "[MOSAIC   4321    ] : BG H-RPT=1; BG V-RPT=2; OAM H-RPT=3; OAM V-RPT=4"},
      {0x04000050, 0x3F41, 0,
       "[BLDMOD   3F41    ] : P0: <g>B0<w>; <r>B1<w>; <r>B2<w>; <r>B3<w>; <r>SP<w>; <r>BD<w>; "
       "P1: <g>B0<w>; <g>B1<w>; <g>B2<w>; <g>B3<w>; <g>SP<w>; <g>BD<w>; BLEND"},
      {0x04000052, 0x1008, 0, "[COLEV    1008    ] : A0=08 (0.5  ); A1=10 (1    )"},
      {0x04000054, 0x001F, 0, "[COLY     001F    ] : 1F (1    )"},
      {0x04000054, 0x0004, 0, "[COLY     0004    ] : 04 (0.25 )"},
      {0x04000106, 0x00C3, 0, "[TMR1 CTRL00C3    ] : 1024/CYC; <g>IRQ<w>; ON"},
      {0x0400010E, 0x0001, 0, "[TMR3 CTRL0001    ] : 64/CYC; <r>IRQ<w>; OFF"},
      {0x04000130, 0x03FF, 0,
       "[KEYS     03FF    ] : <r>A<w>; <r>B<w>; <r>SEL<w>; <r>START<w>; <r>RIGHT<w>; <r>LEFT<w>; <r>UP<w>; "
       "<r>DOWN<w>; <r>R<w>; <r>L<w>"},
      {0x04000130, 0x03F6, 0,
       "[KEYS     03F6    ] : <g>A<w>; <r>B<w>; <r>SEL<w>; <g>START<w>; <r>RIGHT<w>; <r>LEFT<w>; <r>UP<w>; "
       "<r>DOWN<w>; <r>R<w>; <r>L<w>"},
      {0x04000200, 0x2001, 0,
       "[IE       2001    ] : <g>VB<w>; <r>HB<w>; <r>LYC<w>; <r>T0<w>; <r>T1<w>; <r>T2<w>; <r>T3<w>; "
       "<r>COM<w>; "
       "<r>D0<w>; <r>D1<w>; <r>D2<w>; <r>D3<w>; <r>KEY<w>; <g>CART<w>"},
      {0x04000202, 0x0018, 0,
       "[IF       0018    ] : <r>VB<w>; <r>HB<w>; <r>LYC<w>; <g>T0<w>; <g>T1<w>; <r>T2<w>; <r>T3<w>; "
       "<r>COM<w>; "
       "<r>D0<w>; <r>D1<w>; <r>D2<w>; <r>D3<w>; <r>KEY<w>; <r>CART<w>"},
      {0x04000208, 0x0001, 0, "[IME      0001    ] : ON"},
      {0x04000208, 0x0000, 0, "[IME      0000    ] : OFF"},
  };
  for (const Row& r : rows) {
    memory.poke16(r.address, r.value);
    u32 advance = 0;
    EXPECT_EQ(decode(r.address, r.mode, &advance), r.text) << std::hex << r.address;
    EXPECT_EQ(advance, 2u);
  }
}

TEST_F(IoRegisters, WordRegisters) {
  struct Row {
    u32 address, value;
    const char* text;
  };
  const Row rows[] = {
      {0x04000028, 0x00000180, "[BG2 X    00000180] : 00000180 = 1.5     "},
      {0x0400003C, 0x0FFFFF00, "[BG3 Y    0FFFFF00] : 0FFFFF00 = 1.04858e"},
      {0x040000B0, 0xFFFFFFFF, "[DMA0 SRC FFFFFFFF] : 07FFFFFF"},
      {0x040000D4, 0xF8001234, "[DMA3 SRC F8001234] : 08001234"},
      {0x040000B4, 0x0FFFFFFF, "[DMA0 DEST0FFFFFFF] : 07FFFFFF"},
      {0x040000D8, 0xFFFFFFFF, "[DMA3 DESTFFFFFFFF] : 0FFFFFFF"},
      {0x040000DC, 0xA6E10010, "[DMA3 CTRLA6E10010] : CNT=10010; S-; D+; HBL; <g>RPT<w>; [32]; ON"},
      {0x040000B8, 0x0001FFFF, "[DMA0 CTRL0001FFFF] : CNT=07FFF; S+; D+; IMM; <r>RPT<w>; [16]; OFF"},
      {0x040000C4, 0x31800000, "[DMA1 CTRL31800000] : CNT=00000; S=; D+; IMM; <r>RPT<w>; [16]; OFF"},
  };
  for (const Row& r : rows) {
    memory.poke32(r.address, r.value);
    u32 advance = 0;
    EXPECT_EQ(decode(r.address, 0, &advance), r.text) << std::hex << r.address;
    EXPECT_EQ(advance, 4u);
  }
}

TEST_F(IoRegisters, TimerCountersShowTheirPeriodOrCascade) {
  memory.poke16(0x04000100, 0xFF00);
  memory.poke16(0x04000102, 0x0000);
  EXPECT_EQ(decode(0x04000100), "[TMR0 CNT FF00    ] : FF00 (0.015258 mSEC)");
  // Timer 0 has no timer below it to count: count-up is ignored.
  memory.poke16(0x04000102, 0x0006);
  EXPECT_EQ(decode(0x04000100), "[TMR0 CNT FF00    ] : FF00 (3.90625  mSEC)");
  memory.poke16(0x04000104, 0x8000);
  memory.poke16(0x04000106, 0x0084);
  EXPECT_EQ(decode(0x04000104), "[TMR1 CNT 8000    ] : 8000 (CASC)");
  memory.poke16(0x04000106, 0x0083);
  EXPECT_EQ(decode(0x04000104), "[TMR1 CNT 8000    ] : 8000 (2000     mSEC)");
}

TEST_F(IoRegisters, MatricesTakeTwoLinesOrNone) {
  memory.poke16(0x04000020, 0x0100);
  memory.poke16(0x04000022, 0xFF80);
  memory.poke16(0x04000024, 0x0000);
  memory.poke16(0x04000026, 0x0200);
  FixedIString line, next;
  next.appendText("old");
  EXPECT_EQ(appendIoRegister(line, &next, memory, 0x04000020, 1), 0x04000028u);
  EXPECT_EQ(shown(line), "[BG2 TFORM        ] : <24> 0100  FF80<25>  <24> 1         -0.5    <25>");
  EXPECT_EQ(shown(next), "<w>" + std::string(31, ' ') + "<26> 0000  0200<27>  <26> 0         2       <27>");
  // On the pane's last line nothing is shown and the address stays.
  FixedIString last;
  EXPECT_EQ(appendIoRegister(last, nullptr, memory, 0x04000030, 2), 0x04000030u);
  EXPECT_EQ(last.length(), 0u);
}

TEST(DecodedIoRegister, WhichAddressesDecode) {
  for (u32 a : {0x04000000u, 0x04000004u, 0x04000010u, 0x0400001Eu, 0x04000020u, 0x0400003Cu, 0x04000054u,
                0x040000B0u, 0x040000C8u, 0x040000DCu, 0x0400010Eu, 0x04000130u, 0x04000208u})
    EXPECT_TRUE(isDecodedIoRegister(a)) << std::hex << a;
  // The registers do not repeat through the region: nothing lies beyond them.
  for (u32 a : {0x04000002u, 0x04000011u, 0x04000022u, 0x04000040u, 0x040000B2u, 0x040000E0u, 0x04000110u,
                0x04000132u, 0x04000204u, 0x03000000u, 0x05000000u, 0x14000000u, 0x04000400u, 0x04000800u,
                0x04FFFE00u, 0x04010000u, 0x04FFF600u})
    EXPECT_FALSE(isDecodedIoRegister(a)) << std::hex << a;
}

TEST(FlagList, EmptyNamesWriteNothingNotEvenASeparator) {
  const IString a = IString::fromText("A"), c = IString::fromText("C");
  const IString* names[] = {nullptr, &a, nullptr, &c};
  FixedIString line;
  appendFlagList(line, names, 0x8, 1, 1u << 4);
  EXPECT_EQ(shown(line), "<r>A<w>; <g>C<w>");
  // A bit range longer than the table stops at the table's end.
  line.clear();
  appendFlagList(line, names, 0xFF, 4, 1u << 31);
  EXPECT_EQ(shown(line), "<g>A<w>; <g>C<w>");
}

}  // namespace
