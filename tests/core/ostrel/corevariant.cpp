// The older build's core: a pool of 128 blocks with a fallback block once it
// is full, accessors that take the region from bits 24-27, and a reset that
// starts at the cartridge only without a BIOS.

#include "../corefixture.h"

namespace {

using OlderCore = testsupport::CoreFixture;

TEST_F(OlderCore, FullPoolFallsBackWithoutEvicting) {
  static_assert(kBlockCount == 128);
  for (u32 i = 0; i <= kBlockCount; ++i) code({0xEAFFFFFE}, 0x08000000 + 0x400 * i);
  for (u32 i = kBlockCount; i-- > 0;) cpu().getBlock(0x08000000 + 0x400 * i);
  ASSERT_EQ(cpu().blocksInUse(), kBlockCount);
  TranslatedBlock* first = cpu().indexEntry(0);
  TranslatedBlock* extra = cpu().getBlock(0x08000000 + 0x400 * kBlockCount);
  EXPECT_EQ(extra->start, 0x08000000u + 0x400 * kBlockCount);
  EXPECT_EQ(cpu().blocksInUse(), kBlockCount);
  EXPECT_EQ(cpu().indexEntry(0), first);
  // And it runs.
  set(15, extra->start);
  slice();
  EXPECT_EQ(r(15), extra->start);
}

TEST_F(OlderCore, AccessorsIgnoreTheTopNibble) {
  mem().poke32(0x02000000, 0x1234);
  EXPECT_EQ(mem().peek32(0x12000000), 0x1234u);
  EXPECT_EQ(mem().peek32(0x01000000), 0xFFFFFFFFu);
  // The low 24 bits are the offset; what does not fit reads as all ones.
  EXPECT_EQ(mem().peek32(0x02FFFFFC), 0xFFFFFFFFu);
}

TEST_F(OlderCore, ResetStartsAtTheBiosWhenOneIsThere) {
  setSkipStartupOption(1);  // no such option here
  mem().bios()[0] = 1;
  emu->reset();
  EXPECT_EQ(r(15), 0u);
  EXPECT_EQ(cpu().cpsr(), 0xD3u);
}

}  // namespace
