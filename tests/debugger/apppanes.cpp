// The app window's panes: the emulated screen, the registers of the current
// mode with their change colours, and the DMA channels.

#include <algorithm>
#include <vector>

#include "debugger/commands.h"
#include "debugger/formats.h"
#include "frontend.h"

using namespace frontend;

namespace {

std::string cell(const char* label, bool changed, u32 value) {
  char v[16];
  std::snprintf(v, sizeof v, "%08x", value);
  return std::string(label) + (changed ? "\x02" : "\x08") + v + "  \x05";
}

class AppPanes : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    gRegisterFormat.value() = 2;
  }
  void TearDown() override {
    gRegisterFormat.value() = 2;
    Screen::TearDown();
  }
  RegistersPane& regs() { return gAppWindow->registers; }
  std::string regLine(u32 i) { return bytes(regs().lines[i]); }
  std::string dmaLine(u32 i) { return bytes(gAppWindow->dma.lines[i]); }
  ArmCpu& cpu() { return gEmulator.cpu(); }
};

TEST_F(AppPanes, PanesTakeTheWholeWindowInside) {
  EXPECT_EQ(gAppWindow->screen.w, 240u);
  EXPECT_EQ(gAppWindow->screen.h, 160u);
  EXPECT_EQ(gAppWindow->screen.picture.width(), 240u);
  EXPECT_EQ(gAppWindow->screen.picture.height(), 160u);
  EXPECT_EQ(regs().lineCount(), 13u);
}

TEST_F(AppPanes, RegistersTwoALineChangedOnesRedOnce) {
  for (u32 r = 0; r < 16; ++r) cpu().setReg(r, 0x11111111 * (r % 16));
  regs().refresh();
  regs().refresh();
  EXPECT_EQ(regLine(0), "\x05" + cell("R00:", false, 0) + cell("R01:", false, 0x11111111));
  EXPECT_EQ(regLine(7), "\x05" + cell("R14:", false, 0xEEEEEEEE) + cell("R15:", false, 0xFFFFFFFF));
  cpu().setReg(3, 0x12345678);
  regs().refresh();
  EXPECT_EQ(regLine(1), "\x05" + cell("R02:", false, 0x22222222) + cell("R03:", true, 0x12345678));
  EXPECT_EQ(regLine(8), "\x05" + cell("CPSR:", false, cpu().cpsr()));
  EXPECT_EQ(regLine(9), "\x05" + cell("SPSR:", false, cpu().reg(kRegSpsr)));
  for (u32 i = 10; i < 13; ++i) EXPECT_EQ(regLine(i), "");
  regs().refresh();
  EXPECT_EQ(regLine(1), "\x05" + cell("R02:", false, 0x22222222) + cell("R03:", false, 0x12345678));
}

// System mode shows User's registers; neither has an SPSR: its line shows CPSR.
TEST_F(AppPanes, RegistersShowTheCurrentModesBank) {
  struct Mode {
    u32 mode;
    u32 r8, r13, spsr;
  } modes[] = {{0x10, 0x800, 0x1300, 0x10},   {0x11, 0x811, 0x1311, 0x5011}, {0x12, 0x800, 0x1312, 0x5012},
               {0x13, 0x800, 0x1313, 0x5013}, {0x17, 0x800, 0x1317, 0x5017}, {0x1B, 0x800, 0x131B, 0x501B},
               {0x1F, 0x800, 0x1300, 0x1F}};
  for (const Mode& m : modes) {
    cpu().bank().set(kRegCpsr, 0, m.mode);
    if (m.mode == 0x10 || m.mode == 0x11) cpu().setReg(8, m.r8);
    cpu().setReg(13, m.r13);
    cpu().setReg(kRegSpsr, m.spsr + 0x100);  // User and System take no SPSR write
    cpu().setReg(kRegSpsr, m.spsr);
  }
  for (const Mode& m : modes) {
    cpu().bank().set(kRegCpsr, 0, m.mode);
    regs().refresh();
    const std::string r8 = regLine(4), r13 = regLine(6), spsr = regLine(9);
    EXPECT_NE(r8.find(cell("R08:", true, m.r8).substr(5)), std::string::npos) << m.mode;
    EXPECT_NE(r13.find(cell("R13:", true, m.r13).substr(5)), std::string::npos) << m.mode << r13;
    EXPECT_NE(regLine(8).find(cell("CPSR:", true, m.mode).substr(6)), std::string::npos) << m.mode;
    EXPECT_NE(spsr.find(cell("SPSR:", true, m.spsr).substr(6)), std::string::npos) << m.mode;
  }
}

TEST_F(AppPanes, RegisterFormats) {
  cpu().setReg(0, 0x3F800000);
  gRegisterFormat.value() = 34;  // float: two a line
  regs().refresh();
  EXPECT_EQ(regLine(0).substr(0, 17),
            "\x05R00:\x02"
            "1         \x05");
  gRegisterFormat.value() = 10;  // unsigned decimal: two a line, the last blanks off the edge
  regs().refresh();
  EXPECT_EQ(regLine(0),
            "\x05R00:\x08"
            "1065353216  \x05R01:\x08"
            "0000000000  \x05");
  gRegisterFormat.value() = 14;  // signed decimal: two a line only with no blanks between
  regs().refresh();
  EXPECT_EQ(regLine(0), "\x05R00:\x08+1065353216\x05R01:\x08+0000000000  \x05");
  gRegisterFormat.value() = 18;  // binary, wider than the pane: in two halves
  regs().refresh();
  EXPECT_EQ(regLine(0),
            "\x05R00:\x08"
            "0011111110000000\x05");
  EXPECT_EQ(regLine(1),
            "\x05    \x08"
            "0000000000000000  \x05");
  EXPECT_EQ(regLine(2).substr(0, 5), "\x05R01:");
}

// What a line reads without its colour codes and blanks.
std::string plain(const FixedIString& line) {
  std::string s;
  for (u32 i = 0; i < line.length(); ++i)
    if (line[i] >= 15 && line[i] != ' ') s.push_back(char(line[i]));
  return s;
}

TEST_F(AppPanes, EveryRegisterShowsInEveryFormat) {
  click(470, gAppWindow->y + 4);  // the Registers title
  ASSERT_EQ(gAppWindow->currentTab(), u32(AppWindow::kRegisters));
  for (u32 r = 0; r < 16; ++r) cpu().setReg(r, 0x89ABCDEF * r);
  for (const FormatChoice& f : kRegisterFormatChoices) {
    SCOPED_TRACE(f.english);
    gRegisterFormat.value() = i32(f.code);
    regs().refresh();
    const bool binary = ((f.code >> 3) & 3) == 2;
    // All at once, but binary, whose digits alone outnumber the pane's cells.
    EXPECT_EQ(regs().rows.size() <= regs().lineCount(), !binary);
    // Read page by page with Ctrl+PgDn, the listing holds every register whole.
    std::string seen;
    for (int page = 0; page < 4; ++page) {
      for (u32 i = 0; i < regs().lineCount(); ++i)
        if (regs().top + i < regs().rows.size()) seen += plain(regs().lines[i]);
      if (regs().top + regs().lineCount() >= regs().rows.size()) break;
      press(platform::VK_NEXT, kKeyCtrl);
    }
    for (u32 r = 0; r < 18; ++r) {
      FixedIString value;
      appendFormattedValue(value, cpu().reg(r), f.code);
      char label[8];
      std::snprintf(label, sizeof label, r < 16 ? "R%02u:" : r == 16 ? "CPSR:" : "SPSR:", r);
      EXPECT_NE(seen.find(label + plain(value)), std::string::npos) << label;
    }
    press(platform::VK_PRIOR, kKeyCtrl);
    press(platform::VK_PRIOR, kKeyCtrl);
    press(platform::VK_PRIOR, kKeyCtrl);
    EXPECT_EQ(regs().top, 0u);
  }
}

// The pixels of a pane's rectangle on the page shown last.
std::vector<u16> shownPixels(platform::MemoryDisplay& display, const PaneContainer& pane) {
  std::vector<u16> out;
  const u16* page = display.buffers().shown();
  const u32 width = display.buffers().width();
  for (u32 y = pane.y; y < pane.y + pane.h; ++y)
    for (u32 x = pane.x; x < pane.x + pane.w; ++x) out.push_back(page[y * width + x]);
  return out;
}

TEST_F(AppPanes, DecodedIoLinesStayInsideTheMemoryPane) {
  click(470, gAppWindow->y + 4);  // the Registers title
  ASSERT_EQ(gAppWindow->currentTab(), u32(AppWindow::kRegisters));
  // The I/O registers, a page on: the matrix and mosaic lines are far
  // longer than the pane is wide.
  press('G', kKeyShift);
  type("4000000");
  press(platform::VK_RETURN);
  press(platform::VK_NEXT, kKeyShift);
  const MemoryPane& memory = gDataWindow->memory;
  ASSERT_GT(memory.start, 0x04000000u);
  u32 longest = 0;
  for (u32 i = 0; i < memory.lineCount(); ++i) longest = std::max(longest, memory.lines[i].length());
  ASSERT_GT(longest * fontWidth(gFontNumber), memory.w);
  const std::vector<u16> drawn = shownPixels(*display, regs());
  // The Registers pane drawn again by itself on both pages.
  regs().markDirty();
  mainLoopPass();
  mainLoopPass();
  EXPECT_EQ(shownPixels(*display, regs()), drawn);
}

TEST_F(AppPanes, GoToSetsTheProgramCounter) {
  gAppWindow->selectTab(AppWindow::kRegisters);
  regs().goTo(0x08000120);
  EXPECT_EQ(cpu().pc(), 0x08000120u);
  EXPECT_NE(regLine(7).find("08000120"), std::string::npos);
}

TEST_F(AppPanes, DmaChannelsWithTheirControlMnemonics) {
  pokeWord(0x040000B0, 0x02000000);
  pokeWord(0x040000B4, 0x06000000);
  pokeWord(0x040000DC, 0x84000010);
  gAppWindow->dma.refresh();
  EXPECT_EQ(dmaLine(0),
            "\x05"
            "DMA 0 Src:    02000000");
  EXPECT_EQ(dmaLine(1),
            "\x05"
            "DMA 0 Dst:    06000000");
  EXPECT_EQ(dmaLine(2),
            "\x05"
            "DMA 0 Ctrl:   \x02IM [16] S+ D+");
  EXPECT_EQ(dmaLine(11),
            "\x05"
            "DMA 3 Ctrl:   \x03IM [32] S+ D+");
  struct Case {
    u32 control;
    const char* shown;
  } cases[] = {{0x8400, "\x03IM [32] S+ D+"},
               {0x0000, "\x02IM [16] S+ D+"},
               {0xF3E0, "\x03IE ?? [16] RP S= D+"},
               {0x5CC0, "\x02IE VB [32] S- D="},
               {0xA120, "\x03HB [16] S= D-"}};
  for (const Case& c : cases) {
    FixedIString t;
    appendDmaControl(t, c.control);
    EXPECT_EQ(bytes(t), c.shown) << c.control;
  }
}

TEST_F(AppPanes, ScreenIsBlackUntilTheVideoUnitHandsAFrameOver) {
  ScreenPane& screen = gAppWindow->screen;
  drawAllTabFrames();
  gView.lock(1);
  EXPECT_EQ(gView.pixel(screen.x, screen.y), u16(gColourBlack));
  EXPECT_EQ(gView.pixel(screen.x + 239, screen.y + 159), u16(gColourBlack));
  gView.unlock();
  Video& video = gEmulator.video();
  video.reset();  // the 240 x 160 picture
  Video::fillColourTable(video.debuggerColours, [](float r, float g, float b) { return gView.rgb(r, g, b); });
  pokeWord(0x04000000, 0);       // mode 0, no layers: the backdrop
  pokeHalf(0x05000000, 0x03E0);  // green
  screen.clearDirtyOnCurrentPage();
  video.tick();
  EXPECT_TRUE(screen.isDirtyOnCurrentPage());
  const u16 green = u16(gView.rgb(0, 1, 0));
  screen.picture.lock(1);
  EXPECT_EQ(screen.picture.pixel(0, 0), green);
  EXPECT_EQ(screen.picture.pixel(239, 159), green);
  screen.picture.unlock();
  drawAllTabFrames();
  gView.lock(1);
  EXPECT_EQ(gView.pixel(screen.x, screen.y), green);
  EXPECT_EQ(gView.pixel(screen.x + 239, screen.y + 159), green);
  EXPECT_NE(gView.pixel(screen.x + 240, screen.y + 80), green);
  gView.unlock();
}

TEST_F(AppPanes, RunOnTheDebuggersDisplayPresentsAtTheScreenPaneOfItsSize) {
  // The frame goes where the app window's screen pane sits on the display
  // actually set up, not on an assumed 640 x 480 one.
  gView.setScreenMode(800, 600, 2, false);
  std::vector<std::pair<i32, i32>> places;
  gEmulator.setFramePresenter([&](i32 x, i32 y) { places.emplace_back(x, y); });
  Video& video = gEmulator.video();
  video.reset();
  video.presentMode = 2;
  for (int i = 0; i < 1000 && places.empty(); ++i) video.tick();
  video.presentMode = 0;
  gEmulator.setFramePresenter(nullptr);
  ASSERT_EQ(places.size(), 1u);
  EXPECT_EQ(places[0], std::make_pair(i32(800 - 242), i32(600 - 12 - 162)));
}

}  // namespace
