// Video line timing: cycles per line and frame, DISPSTAT, VCOUNT and their
// interrupts, DMA starts and the hand-off of frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/soundbuf.h"
#include "core/video.h"

namespace {

uint16_t screenPixel(unsigned x, unsigned y) {
  gScreenBitmap.lock(1);
  const uint16_t p = uint16_t(gScreenBitmap.pixel(x, y));
  gScreenBitmap.unlock();
  return p;
}

constexpr uint32_t DISPSTAT = 0x04, VCOUNT = 0x06;

struct RecordingHost : VideoHost {
  uint32_t runDma(uint32_t timing) override {
    dma.push_back(timing);
    return 1;
  }
  void requestInterrupt(uint32_t bits) override { interrupts.push_back(bits); }
  void presentFrame(int32_t x, int32_t y) override { frames.push_back({x, y}); }
  void displayMetrics(uint32_t& w, uint32_t& h, uint32_t& font) override {
    w = 640;
    h = 480;
    font = 12;
  }
  void showInAppPane() override { ++paneShows; }
  std::vector<uint32_t> dma, interrupts;
  std::vector<std::pair<int32_t, int32_t>> frames;
  int paneShows = 0;
};

struct SoundCounter : SoundOutput {
  void start() override {}
  void stop() override {}
  void writeBlock(uint32_t, uint32_t, const int16_t*) override { ++blocks; }
  int blocks = 0;
};

class LineTimingTest : public ::testing::Test {
protected:
  std::vector<uint8_t> io = std::vector<uint8_t>(kIoSize), pal = std::vector<uint8_t>(kPaletteSize),
                       vram = std::vector<uint8_t>(kVramSize), oam = std::vector<uint8_t>(kOamSize);
  std::unique_ptr<Video> video = std::make_unique<Video>();
  RecordingHost host;
  uint64_t cycles = 0;

  void SetUp() override {
    video->attachAreas(io.data(), pal.data(), vram.data(), oam.data());
    video->setHost(&host);
    video->reset();
    video->setPresentMode(1);
    host.paneShows = 0;
  }
  void TearDown() override { gVideoCycles = 0; }
  int32_t& countdown() { return video->clock().cycles; }

  uint16_t reg(uint32_t offset) {
    uint16_t v;
    std::memcpy(&v, &io[offset], 2);
    return v;
  }
  void setReg(uint32_t offset, uint16_t v) { std::memcpy(&io[offset], &v, 2); }
  // Runs the countdown out and takes the event.
  void event() {
    cycles += uint64_t(countdown());
    countdown() = 0;
    video->tick();
  }
};

TEST_F(LineTimingTest, CyclesPerLineAndFrame) {
  event();
  EXPECT_EQ(cycles, 228u);  // the first H-blank
  EXPECT_EQ(reg(DISPSTAT) & 7, 2 | 4);  // and V-count 0 matches line 0
  // From there every line (V-blank lines too: H-draw and H-blank) takes
  // 1232 cycles and a frame 229 lines.
  for (int i = 0; i < 2 * 229; ++i) event();
  EXPECT_EQ(cycles, 228u + 282128u);
  EXPECT_EQ(video->line(), 0u);
  EXPECT_EQ(video->phase(), 1u);
  EXPECT_EQ(countdown(), 228);
}

TEST_F(LineTimingTest, OvershootIsTakenFromTheNextPhase) {
  countdown() = -5;  // a slice ran 5 cycles past the event
  video->tick();
  EXPECT_EQ(countdown(), 228 - 5);
}

TEST_F(LineTimingTest, StatusFlagsAndInterrupts) {
  setReg(DISPSTAT, 100 << 8 | 0x38);  // V-count 100, all three interrupts on
  uint32_t vblankLines = 0, vcountFlagged = 0, vcountDuringHblank = 0;
  std::vector<uint32_t> vcountIrqLines;
  for (int i = 0; i < 2 * 229; ++i) {
    const size_t before = host.interrupts.size();
    event();
    const uint32_t status = reg(DISPSTAT);
    EXPECT_EQ(status & 0xFF38, 100u << 8 | 0x38) << "guest bits kept";
    EXPECT_EQ(reg(VCOUNT), video->line());
    if (status & 1) ++vblankLines;
    if (status & 4) {
      ++vcountFlagged;
      if (status & 2) ++vcountDuringHblank;
    }
    for (size_t k = before; k < host.interrupts.size(); ++k)
      if (host.interrupts[k] == 4) vcountIrqLines.push_back(video->line());
    EXPECT_EQ((status & 1) != 0, video->line() >= 160) << video->line();
  }
  EXPECT_EQ(vblankLines, 2 * 69u);  // both events of each V-blank line
  EXPECT_EQ(vcountFlagged, 2u);      // the whole of line 100
  EXPECT_EQ(vcountDuringHblank, 1u);
  EXPECT_EQ(vcountIrqLines, std::vector<uint32_t>{100});
  uint32_t vblankIrqs = 0, hblankIrqs = 0;
  for (uint32_t bits : host.interrupts) {
    vblankIrqs += bits == 1;
    hblankIrqs += bits == 2;
  }
  EXPECT_EQ(vblankIrqs, 1u);
  EXPECT_EQ(hblankIrqs, 229u);  // V-blank lines have their H-blank too
  // DMA: an H-blank start per drawn line, one V-blank start.
  EXPECT_EQ(std::count(host.dma.begin(), host.dma.end(), 2u), 160);
  EXPECT_EQ(std::count(host.dma.begin(), host.dma.end(), 1u), 1);
}

TEST_F(LineTimingTest, InterruptsOnlyWhenEnabled) {
  setReg(DISPSTAT, 100 << 8);
  for (int i = 0; i < 2 * 229; ++i) event();
  EXPECT_TRUE(host.interrupts.empty());
}

TEST_F(LineTimingTest, FramesAreHandedOffAtLine160) {
  struct Case {
    uint32_t mode;
    int32_t x, y;
  };
  const Case cases[] = {{1, 40, 40}, {2, 640 - 242, 480 - 12 - 162}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SetUp();
    host.frames.clear();
    SoundCounter sound;
    installSoundOutput(&sound);
    video->setPresentMode(c.mode);
    std::memset(&pal[0], 0x1F, 2);  // backdrop colour 0x1F1F
    video->debuggerColours[0x1F1F] = 0x1234;
    video->fullScreenColours[0x1F1F] = 0x4321;
    while (video->line() != 160) {
      event();
      if (video->line() == 5) {
        // Each line is drawn as it begins.
        EXPECT_EQ(screenPixel(0, 5), c.mode == 1 ? 0x4321 : 0x1234);
        EXPECT_EQ(screenPixel(0, 6), 0);
      }
    }
    ASSERT_EQ(host.frames.size(), 1u);
    EXPECT_EQ(host.frames[0], std::make_pair(c.x, c.y));
    EXPECT_EQ(sound.blocks, 4);
    installSoundOutput(programSoundOutput());
  }
}

TEST_F(LineTimingTest, DebuggerModeRedrawsThePictureEveryEvent) {
  video->setPresentMode(0);
  EXPECT_EQ(host.paneShows, 1);  // the last picture at once
  std::memset(&pal[0], 0x1F, 2);
  video->debuggerColours[0x1F1F] = 0x1234;
  event();
  EXPECT_EQ(host.paneShows, 2);
  EXPECT_EQ(screenPixel(239, 159), 0x1234);
  for (int i = 0; i < 2 * 229; ++i) event();
  EXPECT_TRUE(host.frames.empty());
}

TEST_F(LineTimingTest, TheDirectionChangesNothingOfTheTiming) {
  for (int i = 0; i < 400; ++i) {
    event();
    countdown() -= 100;
    const uint32_t line = video->line(), phase = video->phase();
    const int32_t left = countdown();
    video->setDirection(1);
    ASSERT_EQ(video->line(), line);
    ASSERT_EQ(video->phase(), phase);
    ASSERT_EQ(countdown(), left);
    video->setDirection(0);
    countdown() += 100;
  }
}

}  // namespace
