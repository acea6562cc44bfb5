// The prompt commands: breakpoints, memory edits, and the exact text of the
// disassembly and memory dumps, appended on each command.

#include "debugger/commands.h"

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "debugger/armdis.h"
#include "debugger/status.h"
#include "frontend.h"

using namespace frontend;

namespace {

constexpr const char* kParseError = "Parse Error:  breakpoints have the format [rwx] <address>.";
constexpr const char* kRangeError =
    "Dump commands expect two addresses [low] [high] (omit brackets, include space).";

class Commands : public Screen {};

TEST_F(Commands, ParseHexSkipsControlsAndStopsAtOtherCharacters) {
  EXPECT_EQ(parseHex(typed("8000000")), 0x8000000u);
  EXPECT_EQ(parseHex(typed("aBc 12")), 0xABCu);
  EXPECT_EQ(parseHex(typed("123456789")), 0x23456789u);
  EXPECT_EQ(parseHex(typed("")), 0u);
  EXPECT_EQ(parseHex(typed("g1")), 0u);
}

struct BreakpointCase {
  const char* line;
  u32 kinds, length;  // kinds 0: the parse error
};

TEST_F(Commands, BreakpointLines) {
  const BreakpointCase cases[] = {
      {"x 8000000", 4, 1}, {"rw 3000000", 3, 4}, {"R 3000000", 1, 4}, {"rwx 2000000", 7, 1},
      {"W 2000010", 2, 4}, {"q 100", 0, 0},      {" 100", 0, 0},      {"x", 0, 0},
      {"x ", 0, 0},        {"x  8000000", 0, 0},
  };
  for (const BreakpointCase& c : cases) {
    SCOPED_TRACE(c.line);
    BreakpointTable& table = gEmulator.breakpoints();
    while (table.list().count() != 0) table.remove(0);
    clearWarnings();
    run(&breakpointCommand, c.line);
    if (c.kinds == 0) {
      EXPECT_EQ(table.list().count(), 0u);
      EXPECT_EQ(lastWarning(), kParseError);
      EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kWarnings));
    } else {
      ASSERT_EQ(table.list().count(), 1u);
      EXPECT_EQ(table.list()[0].kinds, c.kinds);
      EXPECT_EQ(table.list()[0].length, c.length);
      EXPECT_EQ(table.list()[0].count, 1u);
      EXPECT_EQ(gDataWindow->currentTab(), u32(DataWindow::kBreakpoints));
    }
  }
}

TEST_F(Commands, MemoryEdits) {
  run(&editMemoryCommand, "2000000 ffb");
  EXPECT_EQ(gEmulator.memory().peek32(0x2000000), 0xFFu);
  run(&editMemoryCommand, "2000004 12345678");
  EXPECT_EQ(gEmulator.memory().peek32(0x2000004), 0x12345678u);
  run(&editMemoryCommand, "2000009 abcdh");  // any alignment
  EXPECT_EQ(gEmulator.memory().peek8(0x2000009), 0xCDu);
  EXPECT_EQ(gEmulator.memory().peek8(0x200000A), 0xABu);
  // The cartridge can be changed from the debugger; "12 h" and "12h" agree.
  run(&editMemoryCommand, "8000000 12 h");
  EXPECT_EQ(gEmulator.memory().peek16(0x8000000), 0x12u);
  run(&editMemoryCommand, "8000002 34h");
  EXPECT_EQ(gEmulator.memory().peek16(0x8000002), 0x34u);
  run(&editMemoryCommand, "2000010 ffffffffw");
  EXPECT_EQ(gEmulator.memory().peek32(0x2000010), 0xFFFFFFFFu);
  // Outside the map nothing changes and nothing breaks.
  run(&editMemoryCommand, "ff000000 1");
  run(&editMemoryCommand, "203ffff 1234w");  // a word past the end of EWRAM
}

TEST_F(Commands, AnEditWithoutValueWritesNothing) {
  const std::string usage =
      "Specify the address you'd like to modify, followed by the value, followed by b(byte), h(halfword), or "
      "w(word).";
  run(&editMemoryCommand, "2000000");
  EXPECT_EQ(lastWarning(), usage);
  clearWarnings();
  run(&editMemoryCommand, "2000000 ");
  EXPECT_EQ(lastWarning(), usage);
  EXPECT_EQ(gEmulator.memory().peek32(0x2000000), 0u);
}

TEST_F(Commands, GoToWithAnEmptyLineDoesNothing) {
  // Both windows away from where a jump to 0 would put them.
  gCodeWindow->selectTab(CodeWindow::kDisassembly);
  gCodeWindow->goToAddress(0x08000100);
  gDataWindow->selectTab(DataWindow::kMemory);
  gDataWindow->forwardToCurrent(0x03000040);
  const u32 memoryEnd = gDataWindow->memory.end;
  // G and Shift+G, each ended at once with Enter.
  press('G');
  ASSERT_EQ(gDisplayMode, 2u);
  press(platform::VK_RETURN);
  press('G', kKeyShift);
  ASSERT_EQ(gDisplayMode, 2u);
  press(platform::VK_RETURN);
  EXPECT_EQ(gDisplayMode, 0u);
  EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kDisassembly));
  EXPECT_EQ(gCodeWindow->disassembly.cursor, 0x08000100u);
  EXPECT_EQ(gDataWindow->memory.start, 0x03000040u);
  EXPECT_EQ(gDataWindow->memory.end, memoryEnd);
  // A typed line does move each window.
  press('G');
  type("2000010");
  press(platform::VK_RETURN);
  EXPECT_EQ(gCodeWindow->disassembly.cursor, 0x02000010u);
  press('G', kKeyShift);
  type("3000000");
  press(platform::VK_RETURN);
  EXPECT_EQ(gDataWindow->memory.start, 0x03000000u);
}

std::string armLine(u32 address) {
  const u32 op = gEmulator.memory().peek32(address);
  FixedIString t;
  disassembleArm(t, address, op, DisassemblyOptions::current());
  char head[32];
  std::snprintf(head, sizeof head, "%08x:  %08x  ", address, op);
  return head + bytes(t) + "\n";
}

TEST_F(Commands, DisassemblyIsAppendedToDisTxt) {
  loadCartridge("keypad");
  run(&disassembleToFile, "8000000 8000010");
  std::string expected = "====== Disassembly  8000000 - 8000010:\n";
  for (u32 a = 0x8000000; a < 0x8000010; a += 4) expected += armLine(a);
  EXPECT_EQ(readText("dis.txt"), expected);
  // Addresses are rounded down to whole instructions; an empty range writes
  // only the header; the file grows with every command.
  run(&disassembleToFile, "8000002 8000007");
  expected += "====== Disassembly  8000000 - 8000004:\n" + armLine(0x8000000);
  run(&disassembleToFile, "8000000 8000000");
  expected += "====== Disassembly  8000000 - 8000000:\n";
  EXPECT_EQ(readText("dis.txt"), expected);
  EXPECT_EQ(expected.substr(39, 21), "08000000:  e3a00301  ");
}

TEST_F(Commands, ThumbDisassemblyTakesHalfwords) {
  loadCartridge("keypad");
  u32 pc = 0x08000001;
  gEmulator.cpu().switchState(pc);
  gEmulator.cpu().setReg(15, pc);
  run(&disassembleToFile, "8000001 8000006");
  std::string expected = "====== Disassembly  8000000 - 8000006:\n";
  for (u32 a = 0x8000000; a < 0x8000006; a += 2) {
    const u16 op = gEmulator.memory().peek16(a);
    FixedIString t;
    disassembleThumb(t, a, op, gEmulator.memory().peek16(a + 2), DisassemblyOptions::current());
    char head[32];
    std::snprintf(head, sizeof head, "%08x:  %04x  ", a, op);
    expected += head + bytes(t) + "\n";
  }
  EXPECT_EQ(readText("dis.txt"), expected);
  pc = 0x08000000;
  gEmulator.cpu().switchState(pc);
}

TEST_F(Commands, AFileThatCannotBeOpenedIsWarnedAbout) {
  // Directories in the files' places cannot be opened for appending.
  std::filesystem::create_directory("dis.txt");
  std::filesystem::create_directory("dump.txt");
  run(&disassembleToFile, "8000000 8000010");
  EXPECT_EQ(lastWarning(), "Unable to open dis.txt.");
  run(&dumpToFile, "8000000 8000010");
  EXPECT_EQ(lastWarning(), "Unable to open dump.txt.");
}

TEST_F(Commands, BackwardRangesAreRefused) {
  run(&disassembleToFile, "8000010 8000000");
  EXPECT_EQ(lastWarning(), kRangeError);
  run(&dumpToFile, "8000010 8000000");
  EXPECT_EQ(lastWarning(), kRangeError);
  EXPECT_FALSE(std::ifstream("dis.txt").good());
  EXPECT_FALSE(std::ifstream("dump.txt").good());
}

TEST_F(Commands, DumpsAreWholeLinesOfSixteenCells) {
  run(&editMemoryCommand, "2000000 12345678");
  run(&dumpToFile, "2000000 2000001");
  std::string expected = "====== Memory Dump  2000000 - 2000001:\n02000000:  12345678  ";
  for (int i = 1; i < 16; ++i) expected += "00000000  ";
  expected += "\n";
  EXPECT_EQ(readText("dump.txt"), expected);
  // Unmapped memory reads as all ones; a second dump is appended.
  run(&dumpToFile, "1000000 1000040");
  expected += "====== Memory Dump  1000000 - 1000040:\n";
  for (u32 line = 0; line < 0x40; line += 0x40) {
    char head[16];
    std::snprintf(head, sizeof head, "%08x:  ", 0x1000000 + line);
    expected += head;
    for (int i = 0; i < 16; ++i) expected += "ffffffff  ";
    expected += "\n";
  }
  EXPECT_EQ(readText("dump.txt"), expected);
}

TEST_F(Commands, ADumpNearTheTopOfTheAddressSpaceEnds) {
  run(&dumpToFile, "fffffff0 ffffffff");
  const std::string text = readText("dump.txt");
  EXPECT_EQ(text.substr(0, 52), "====== Memory Dump  fffffff0 - ffffffff:\nfffffff0:  ");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

// The debugger's write lands where the guest and every view see it: video
// RAM's upper 32 KB are the 32 KB before them.
TEST_F(Commands, AnEditInTheUpperVideoRamMirrorIsKept) {
  for (const char* line : {"6018000 1234h", "601fffc 89abcdefw", "6038010 5ab"}) run(&editMemoryCommand, line);
  GbaMemory& m = gEmulator.memory();
  EXPECT_EQ(m.peek16(0x06010000), 0x1234u);
  EXPECT_EQ(m.peek16(0x06018000), 0x1234u);
  EXPECT_EQ(m.peek32(0x06017FFC), 0x89ABCDEFu);
  EXPECT_EQ(m.peek32(0x0601FFFC), 0x89ABCDEFu);
  EXPECT_EQ(m.peek8(0x06010010), 0x5Au);
}

// A mistyped range must not run on for minutes and fill the disk.
TEST_F(Commands, HugeRangesAreRefused) {
  const char* const kTooLarge = "A dump covers at most 100000 bytes (hexadecimal); split a larger range.";
  for (auto command : {&disassembleToFile, &dumpToFile}) {
    clearWarnings();
    run(command, "0 ffffffff");
    EXPECT_EQ(lastWarning(), kTooLarge);
    clearWarnings();
    run(command, "8000000 8100001");
    EXPECT_EQ(lastWarning(), kTooLarge);
  }
  EXPECT_FALSE(std::ifstream("dis.txt").good());
  EXPECT_FALSE(std::ifstream("dump.txt").good());
  // The largest range is taken whole.
  clearWarnings();
  run(&dumpToFile, "2000000 2100000");
  EXPECT_EQ(lastWarning(), "");
  const std::string text = readText("dump.txt");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 0x100000 / (16 * 4));
}

// A full disk is reported, and the dump that did not fit is cut off again.
TEST_F(Commands, AFailedWriteIsReportedAndLeavesWholeDumpsOnly) {
  std::filesystem::create_symlink("/dev/full", "dis.txt");
  run(&disassembleToFile, "8000000 8000010");
  EXPECT_EQ(lastWarning(), "Unable to write dis.txt.");
  std::filesystem::remove("dis.txt");

  run(&dumpToFile, "2000000 2000010");
  const std::string first = readText("dump.txt");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = first.size() + 100;
        setrlimit(RLIMIT_FSIZE, &limit);
        clearWarnings();
        run(&dumpToFile, "2000000 2001000");
        std::exit(lastWarning() == "Unable to write dump.txt." && readText("dump.txt") == first ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StatusLine, TextsAndPlaces) {
  const StatusLine s = statusLineLayout(640, 8, text("No ROM loaded"), 0x1234);
  EXPECT_EQ(bytes(s.title), "KEZ Emulator / Debugger Version 0.05");
  EXPECT_EQ(s.titleX, 640 - 36 * 8);
  EXPECT_EQ(bytes(s.cycles), "Cycles - 00001234");
  EXPECT_EQ(s.cyclesX, s.titleX - (17 + 2) * 8);
  EXPECT_EQ(bytes(s.romName), "No ROM loaded");
  EXPECT_EQ(s.romX, 0);
  // A long name keeps its tail and leaves a cell before the cycle count.
  const std::string longName = "/a/very/long/directory/of/cartridges/and/more/game.gba";
  const StatusLine cut = statusLineLayout(640, 8, text(longName.c_str()), 0);
  EXPECT_LE(i32(cut.romName.length() * 8), cut.cyclesX - 8);
  EXPECT_EQ(bytes(cut.romName), longName.substr(longName.size() - cut.romName.length()));
  EXPECT_EQ(bytes(cut.romName).substr(cut.romName.length() - 8), "game.gba");
}

class StatusScreen : public Screen {};

TEST_F(StatusScreen, TheRowIsClearedBeforeItIsDrawn) {
  gView.lock(2);
  for (u32 x = 0; x < 640; ++x) gView.setPixel(x, 470, 0xFFFF);
  gView.unlock();
  drawStatusLine();
  gView.lock(1);
  // Between the name and the cycle count nothing of the old row is left.
  EXPECT_EQ(gView.pixel(150, 470), uint16_t(gColourBlack));
  gView.unlock();
}

TEST_F(StatusScreen, TheCursorStaysOnePixelShortOfTheEdges) {
  gMouseCursor.resize(12, 17);
  gMouseX = 639;
  gMouseY = 479;
  setMouseDispatch(1);
  updateMouse();
  EXPECT_EQ(gMouseCursor.x(), 640u - 12 - 1);
  EXPECT_EQ(gMouseCursor.y(), 480u - 17 - 1);
  setMouseDispatch(0);  // an open dialog: the cursor stays
  gMouseX = 10;
  updateMouse();
  EXPECT_EQ(gMouseCursor.x(), 640u - 12 - 1);
  gMouseCursor.clear();
  gView.present();
  gView.present();
}

TEST_F(StatusScreen, WindowsTakeTheirPlacesAndTitles) {
  EXPECT_EQ(gCodeWindow->x, 0u);
  EXPECT_EQ(gCodeWindow->w, 640u);
  EXPECT_EQ(gCodeWindow->h, 480u - 174 - 12);
  EXPECT_EQ(gDataWindow->y, 480u - 174 - 12);
  EXPECT_EQ(gDataWindow->w, 640u - 244);
  EXPECT_EQ(gDataWindow->h, 174u);
  EXPECT_EQ(gAppWindow->x, 640u - 244);
  EXPECT_EQ(gAppWindow->w, 244u);
  EXPECT_EQ(gDataWindow->currentTab(), 1u);
  EXPECT_EQ(gAppWindow->currentTab(), 0u);
  const char* code[] = {"Disassembly", "Load", "Options", "Warnings", "User", "Help"};
  const char* data[] = {"Watches", "Memory", "Breakpoints", "OAM"};
  const char* app[] = {"App", "Registers", "DMA"};
  ASSERT_EQ(gCodeWindow->tabs.count(), 6u);
  ASSERT_EQ(gDataWindow->tabs.count(), 4u);
  ASSERT_EQ(gAppWindow->tabs.count(), 3u);
  for (u32 i = 0; i < 6; ++i) EXPECT_EQ(bytes(gCodeWindow->tabs[i].title), code[i]);
  for (u32 i = 0; i < 4; ++i) EXPECT_EQ(bytes(gDataWindow->tabs[i].title), data[i]);
  for (u32 i = 0; i < 3; ++i) EXPECT_EQ(bytes(gAppWindow->tabs[i].title), app[i]);
}

}  // namespace
