#include "core/thumb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/tempdir.h"

namespace {

std::vector<uint8_t> readImage(const std::string& name) {
  std::ifstream in(testsupport::guestImage(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t word32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// The ARM assembler writes zeros into the fields that MOV/MVN (Rn) and
// TST/TEQ/CMP/CMN (Rd) ignore; the re-encoding fills them with Rd.
uint32_t withoutIgnoredFields(uint32_t w) {
  bool dataProcessing = (w & 0x0C000000) == 0 && ((w & 0x02000000) || (w & 0x90) != 0x90) &&
                        (w & 0x0FFFFFF0) != 0x012FFF10;
  if (!dataProcessing) return w;
  uint32_t op = (w >> 21) & 15;
  if (op == 13 || op == 15) w &= ~0x000F0000u;
  if (op >= 8 && op <= 11) w &= ~0x0000F000u;
  return w;
}

}  // namespace

// Formats whose ARM form the assembler can write: each Thumb instruction is
// assembled next to its ARM equivalent in tests/guest/thumb_pairs.s.
TEST(ThumbReencoding, MatchesAssembledArmEquivalents) {
  std::vector<uint8_t> image = readImage("thumb_pairs");
  ASSERT_GE(image.size(), 8u * 60);
  for (size_t at = 0; at + 8 <= image.size(); at += 8) {
    uint16_t thumb = image[at] | image[at + 1] << 8;
    uint32_t arm = word32(image, at + 4);
    ThumbArmWord got = thumbToArm(thumb);
    char msg[64];
    std::snprintf(msg, sizeof msg, "thumb %04x at +%zu: want %08x got %08x", thumb, at, arm, got.arm);
    EXPECT_EQ(withoutIgnoredFields(got.arm), withoutIgnoredFields(arm)) << msg;
  }
}

// Formats that use the internal immediate form or Thumb branch offsets, which
// no ARM instruction spells the same way; opcodes encoded by hand.
TEST(ThumbReencoding, InternalFormsAndBranches) {
  struct Case {
    uint16_t thumb;
    int format;
    ThumbHandler handler;
    uint32_t arm;
    const char* text;
  };
  using H = ThumbHandler;
  const Case cases[] = {
      {0xA102, 12, H::kDataProcessing, 0xE68F1008, "add r1, pc, #8"},
      {0xAFFF, 12, H::kDataProcessing, 0xE68D73FC, "add r7, sp, #1020"},
      {0xB07F, 13, H::kDataProcessing, 0xE68DD1FC, "add sp, #508"},
      {0xB0FF, 13, H::kDataProcessing, 0xE64DD1FC, "add sp, #-508"},
      {0xD0FE, 16, H::kBranch, 0x0AFFFFFE, "beq . (offset -2)"},
      {0xDA05, 16, H::kBranch, 0xAA000005, "bge +10"},
      {0xDE00, 16, H::kBranch, 0xEA000000, "condition 14 still branches"},
      {0xDF12, 17, H::kSoftwareInterrupt, 0xEF000012, "swi 0x12"},
      {0xE7FE, 18, H::kBranch, 0xEAFFFFFE, "b ."},
      {0xE3FF, 18, H::kBranch, 0xEA0003FF, "b far ahead"},
      {0xE400, 18, H::kBranch, 0xEAFFFC00, "b far back"},
      {0x4770, 5, H::kBranchExchange, 0xE12FFF1E, "bx lr"},
      {0x4368, 4, H::kMultiply, 0xE0100095, "mul r0, r5"},
      {0xF000, 19, H::kLongBranch, 0, "bl first half"},
      {0xF800, 19, H::kLongBranch, 0, "bl second half"},
  };
  for (const Case& c : cases) {
    ThumbArmWord got = thumbToArm(c.thumb);
    EXPECT_EQ(got.format, c.format) << c.text;
    EXPECT_EQ(got.handler, c.handler) << c.text;
    EXPECT_EQ(got.arm, c.arm) << c.text << std::hex << " got " << got.arm;
  }
}

TEST(ThumbReencoding, HighRegisterOperationOnTwoLowRegistersIsMarkedInvalid) {
  EXPECT_EQ(thumbToArm(0x4600).extraFlags, kThumbInvalidEncoding);  // mov r0, r0: the debug trigger
  EXPECT_EQ(thumbToArm(0x4600).arm, 0xE1A00000u);
  EXPECT_EQ(thumbToArm(0x4608).extraFlags, kThumbInvalidEncoding);  // mov r0, r1
  EXPECT_EQ(thumbToArm(0x46C8).extraFlags, 0u);                     // mov r8, r9
  EXPECT_EQ(thumbToArm(0x4540).extraFlags, 0u);                     // cmp r0, r8
  EXPECT_EQ(thumbToArm(0x4700).extraFlags, 0u);                     // bx r0 is not invalid
  EXPECT_EQ(thumbToArm(0x1C08).format, 2);                          // adds r0, r1, #0 stays format 2
}

TEST(ThumbReencoding, EveryOpcodeDecodesToAFormat) {
  for (uint32_t op = 0; op < 0x10000; ++op) {
    ThumbArmWord w = thumbToArm(uint16_t(op));
    ASSERT_GE(w.format, 1);
    ASSERT_LE(w.format, 19);
    if (w.format != 19 && w.format != 16) {
      ASSERT_EQ(w.arm >> 28, 0xEu) << std::hex << op;
    }
  }
}

TEST(ThumbLongBranch, PairReachesFourMegabytesAhead) {
  const uint32_t at = 0x08000000;
  const uint32_t target = at + 0x400000;
  uint32_t off = (target - at - 4) >> 1;  // halfwords
  uint16_t first = 0xF000 | ((off >> 11) & 0x7FF), second = 0xF800 | (off & 0x7FF);
  EXPECT_FALSE(thumbLongBranchIsSecondHalf(first));
  EXPECT_TRUE(thumbLongBranchIsSecondHalf(second));
  uint32_t lr = thumbLongBranchHigh(at, first);
  EXPECT_EQ(thumbLongBranchTarget(lr, second), target);
  EXPECT_EQ(thumbLongBranchReturn(at + 2), 0x08000005u);
  // A backward BL: high part sign-extended.
  uint32_t back = at - 0x1000;
  off = (back - at - 4) >> 1;
  first = 0xF000 | ((off >> 11) & 0x7FF);
  second = 0xF800 | (off & 0x7FF);
  EXPECT_EQ(thumbLongBranchTarget(thumbLongBranchHigh(at, first), second), back);
}
