// Video line timing: cycles per line and frame, DISPSTAT, VCOUNT and their
// interrupts, DMA starts, the hand-off of frames and running backwards.

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

  uint16_t reg(uint32_t offset) {
    uint16_t v;
    std::memcpy(&v, &io[offset], 2);
    return v;
  }
  void setReg(uint32_t offset, uint16_t v) { std::memcpy(&io[offset], &v, 2); }
  // Runs the countdown out and takes the event.
  void event() {
    cycles += uint64_t(gVideoCycles);
    gVideoCycles = 0;
    video->tick();
  }
  void eventBack() {
    gVideoCycles = 0;
    video->tickReverse();
  }
};

TEST_F(LineTimingTest, CyclesPerLineAndFrame) {
  event();
  EXPECT_EQ(cycles, 228u);  // the first H-blank
  EXPECT_EQ(reg(DISPSTAT) & 7, 2);
  // From there every line takes 1232 cycles and a frame 229 lines.
  for (int i = 0; i < 2 * 160 + 69; ++i) event();
  EXPECT_EQ(cycles, 228u + 282128u);
  EXPECT_EQ(video->line, 0u);
  EXPECT_EQ(video->phase, 1u);
  EXPECT_EQ(gVideoCycles, 228);
}

TEST_F(LineTimingTest, OvershootIsTakenFromTheNextPhase) {
  gVideoCycles = -5;  // a slice ran 5 cycles past the event
  video->tick();
  EXPECT_EQ(gVideoCycles, 228 - 5);
}

TEST_F(LineTimingTest, StatusFlagsAndInterrupts) {
  setReg(DISPSTAT, 100 << 8 | 0x38);  // V-count 100, all three interrupts on
  uint32_t vblankLines = 0, vcountFlagged = 0, vcountDuringHblank = 0;
  std::vector<uint32_t> vcountIrqLines;
  for (int i = 0; i < 2 * 160 + 69; ++i) {
    const size_t before = host.interrupts.size();
    event();
    const uint32_t status = reg(DISPSTAT);
    EXPECT_EQ(status & 0xFF38, 100u << 8 | 0x38) << "guest bits kept";
    EXPECT_EQ(reg(VCOUNT), video->line);
    if (status & 1) ++vblankLines;
    if (status & 4) {
      ++vcountFlagged;
      if (status & 2) ++vcountDuringHblank;
    }
    for (size_t k = before; k < host.interrupts.size(); ++k)
      if (host.interrupts[k] == 4) vcountIrqLines.push_back(video->line);
    EXPECT_EQ((status & 1) != 0, video->line >= 160) << video->line;
  }
  EXPECT_EQ(vblankLines, 69u);
  EXPECT_EQ(vcountFlagged, 1u);  // the H-draw of line 100 only
  EXPECT_EQ(vcountDuringHblank, 0u);
  EXPECT_EQ(vcountIrqLines, std::vector<uint32_t>{100});
  uint32_t vblankIrqs = 0, hblankIrqs = 0;
  for (uint32_t bits : host.interrupts) {
    vblankIrqs += bits == 1;
    hblankIrqs += bits == 2;
  }
  EXPECT_EQ(vblankIrqs, 1u);
  EXPECT_EQ(hblankIrqs, 160u);
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
    while (video->line != 160) {
      event();
      if (video->line == 5) {
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

TEST_F(LineTimingTest, DirectionRoundTrip) {
  // Switching twice restores countdown and phase, wherever it happens.
  for (int i = 0; i < 400; ++i) {
    event();
    gVideoCycles -= 100;
    const uint32_t line = video->line, phase = video->phase;
    const int32_t countdown = gVideoCycles;
    video->setDirection(1);
    video->setDirection(0);
    ASSERT_EQ(video->line, line);
    ASSERT_EQ(video->phase, phase);
    ASSERT_EQ(gVideoCycles, countdown);
    gVideoCycles += 100;
  }

  // Forwards then as many events backwards: back to the reset position.
  SetUp();
  const int kEvents = 600;  // across a frame boundary
  for (int i = 0; i < kEvents; ++i) event();
  const uint32_t dispstat = reg(DISPSTAT);
  video->setDirection(1);
  for (int i = 0; i < kEvents; ++i) eventBack();
  gVideoCycles -= 228;  // back to where reset left line 0
  video->setDirection(0);
  EXPECT_EQ(video->line, 0u);
  EXPECT_EQ(video->phase, 0u);
  EXPECT_EQ(gVideoCycles, 228);
  EXPECT_EQ(reg(DISPSTAT), dispstat) << "backwards leaves DISPSTAT alone";
}

TEST_F(LineTimingTest, BackwardsOverLineZeroShowsTheFrame) {
  event();  // H-blank of line 0
  video->setDirection(1);
  host.frames.clear();
  eventBack();  // into line 0's H-draw
  eventBack();  // over the frame boundary to line 228
  EXPECT_EQ(video->line, 228u);
  EXPECT_EQ(host.frames.size(), 1u);
}

}  // namespace
