// Cartridges of our own that keep interrupts, timers, DMA, the EEPROM and the
// BIOS's calls busy at once (tests/guest/machmix.s, biosdma.s; their
// counters are described there), run with the shared BIOS as a game runs:
// every counter moves as the console's would, no check in the guest fails,
// and running backwards over such a stretch restores the whole machine.

#include <fstream>

#include "core/emufixture.h"

namespace {

constexpr u32 kVars = 0x03007F00;
constexpr u32 kError = 0x02000000;

// Skipped until the machine behaves as the console does where these
// programs depend on it.
constexpr const char* kWaiting = "waits for System mode sharing User's registers";

struct BusyGuest : testsupport::GuestFixture {
  u32 frames = 0;

  void TearDown() override {
    emu->setFramePresenter(nullptr);
    setSkipStartupOption(0);
  }
  // The shared BIOS, "Skip startup", the cartridge; run mode drawing every line.
  bool start(const std::string& name) {
    std::string shared = testsupport::sharedDir();
    std::string bios = shared + "/bios/cult-of-gba/bios.bin";
    if (shared.empty() || !std::ifstream(bios)) return false;
    EXPECT_TRUE(emu->memory().loadBios(bios));
    setSkipStartupOption(1);
    load(name);
    emu->video().reset();
    emu->video().setPresentMode(2);
    emu->setFramePresenter([this](i32, i32) { ++frames; });
    gStopMask = kStopRunning;
    return true;
  }
  u32 word(u32 address) { return emu->memory().peek32(address); }
  u32 var(u32 offset) { return word(kVars + offset); }
};

}  // namespace

TEST_F(BusyGuest, EveryUnitAtOnceCountsAsOnTheConsole) {
  if (!start("machmix")) GTEST_SKIP() << "no shared BIOS";
  while (frames < 300) emu->runSlice();
  EXPECT_EQ(word(kError), 0u);
  const u32 vblanks = var(0x04);
  EXPECT_GE(vblanks, 298u);
  EXPECT_LE(vblanks, 300u);
  // A frame has 229 lines here, each with its H-blank.
  EXPECT_GE(var(0x08), 229 * vblanks - 229) << "an H-blank interrupt on every line";
  EXPECT_LE(var(0x08), 229 * vblanks + 229);
  EXPECT_GE(var(0x0C) + 1, vblanks);
  EXPECT_EQ(var(0x20), 100u) << "VCOUNT in the V-count interrupt";
  EXPECT_GE(var(0x10), 17 * vblanks - 17) << "timer 0 every 16,384 cycles";
  EXPECT_LE(var(0x10) - 4 * var(0x14), 3u) << "timer 1 counts timer 0's overflows";
  EXPECT_GE(var(0x18), 3 * vblanks) << "the V-blank handler is preempted";
  EXPECT_EQ(var(0x1C), 0u);
  EXPECT_GT(var(0x24), 0u);
  EXPECT_GE(var(0x24) + 1, var(0x00)) << "every round's EEPROM round trip";
  EXPECT_GE(var(0x2C) + 2, vblanks) << "H-blank DMA checked each frame";
  EXPECT_GE(var(0x30) + 2, vblanks) << "V-blank DMA checked each frame";
}

TEST_F(BusyGuest, EveryUnitAtOnceStepsBackToTheSameMachine) {
  if (!start("machmix")) GTEST_SKIP() << "no shared BIOS";
  while (frames < 20) emu->runSlice();
  gStopMask = kStopStep;
  for (int n : {1, 10, 1000}) {
    const testsupport::GuestSnapshot before = snapshot();
    for (int i = 0; i < n; ++i) step();
    const testsupport::GuestSnapshot after = snapshot();
    for (int i = 0; i < n; ++i) back();
    EXPECT_TRUE(snapshot() == before) << n << " steps";
    for (int i = 0; i < n; ++i) step();
    EXPECT_TRUE(snapshot() == after) << n << " steps forward again";
  }
}

TEST_F(BusyGuest, BiosCallsAndDmaForAThousandFramesStayInTheirCode) {
  if (!start("biosdma")) GTEST_SKIP() << "no shared BIOS";
  std::ifstream image(testsupport::guestImage("biosdma"), std::ios::binary | std::ios::ate);
  const u32 romEnd = 0x08000000 + u32(image.tellg());
  while (frames < 1002) {
    emu->runSlice();
    const u32 pc = emu->cpu().pc();
    const bool inCode = pc < 0x4000 || (pc >= 0x08000000 && pc < romEnd) || (pc >= 0x03000800 && pc < 0x03000880);
    ASSERT_TRUE(inCode) << std::hex << "PC " << pc << " after frame " << std::dec << frames;
  }
  EXPECT_EQ(word(kError), 0u) << std::hex << "code | frame << 8: " << word(kError);
  const u32 waited = var(0x00);
  EXPECT_GE(waited, 1000u) << "VBlankIntrWait returned every frame";
  EXPECT_GE(var(0x04), waited);
  EXPECT_LE(var(0x04), waited + 1);
  EXPECT_GE(var(0x10) + 1, waited) << "IntrWait for timer 0 returned every frame";
  EXPECT_GE(var(0x18) + 2, waited);
  EXPECT_GE(var(0x1C) + 2, waited);
  EXPECT_GE(var(0x20), waited);
}
