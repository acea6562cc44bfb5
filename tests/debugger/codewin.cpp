// The code window's panes: the disassembly listing and its cursor, the Load,
// Warnings, User and Help tabs.

#include <filesystem>
#include <fstream>

#include "debugger/armdis.h"
#include "debugger/status.h"
#include "frontend.h"
#include "general/files.h"
#include "general/widgetgfx.h"

namespace {

using frontend::bytes;
using frontend::text;

class CodeWin : public frontend::Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    savedCursorOption = cursorDisplayOption().value();
    savedLogOption = logUserMessagesOption().value();
    savedDirectory = romSearchDirectoryOption().value();
  }
  void TearDown() override {
    cursorDisplayOption().value() = savedCursorOption;
    logUserMessagesOption().value() = savedLogOption;
    romSearchDirectoryOption().value() = savedDirectory;
    Screen::TearDown();
  }

  DisassemblyPane& pane() { return gCodeWindow->disassembly; }
  u32 rows() { return pane().lines.count(); }
  // The row the pane shows an address on, or rows() when it is not shown.
  u32 rowOf(u32 address) {
    for (u32 r = 0; r < rows(); ++r)
      if (pane().rowAddress(r) == address) return r;
    return rows();
  }
  u16 colourOf(u32 row) { return pane().lines[row].at(0); }
  void clickRow(PaneContainer& p, u32 row) { p.onClick(p.x + 3, p.y + row * widgetgfx::fontHeight() + 5); }
  static void setPc(u32 pc) {
    gEmulator.cpu().switchState(pc);
    gEmulator.cpu().setReg(15, pc);
  }

  i32 savedCursorOption = 0, savedLogOption = 0;
  FixedIString savedDirectory;
};

TEST_F(CodeWin, CursorOptionSetsTheLinesBeforeTheCursor) {
  loadCartridge("disasm");
  ASSERT_GE(rows(), 20u);
  const struct {
    i32 option;
    u32 before;
  } cases[] = {{0, 0}, {1, 10}, {2, rows() / 2}, {3, 0}, {-1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    cursorDisplayOption().value() = c.option;
    gCodeWindow->showPc();
    EXPECT_EQ(pane().cursor, 0x08000000u);
    EXPECT_EQ(rowOf(0x08000000), c.before);
    EXPECT_EQ(colourOf(c.before), 6);  // yellow
    EXPECT_EQ(pane().end, 0x08000000 + (rows() - c.before) * 4);
  }
}

TEST_F(CodeWin, LinesReadAddressOpcodeAndText) {
  loadCartridge("disasm");
  cursorDisplayOption().value() = 0;
  gCodeWindow->showPc();
  auto expected = [](u16 lead, u32 address, u16 second, const char* opcode) {
    FixedIString t;
    t.appendChar16(lead);
    char a[16];
    std::snprintf(a, sizeof a, "%08x:  ", address);
    t.appendText(a);
    if (second) t.appendChar16(second);
    t.appendText(opcode);
    t.appendText("  ");
    InstructionDecoder::disassemble(gEmulator.cpu(), t, address);
    return bytes(t);
  };
  char op[16];
  std::snprintf(op, sizeof op, "%08x", gEmulator.memory().peek32(0x08000004));
  EXPECT_EQ(bytes(pane().lines[1]), expected(8, 0x08000004, 2, op));  // white, then red
  std::snprintf(op, sizeof op, "%08x", gEmulator.memory().peek32(0x08000000));
  EXPECT_EQ(bytes(pane().lines[0]), expected(6, 0x08000000, 0, op));  // the cursor: yellow throughout

  // The same pane lists Thumb code once the processor is in Thumb state.
  setPc(0x08000001);
  gCodeWindow->showPc();
  std::snprintf(op, sizeof op, "%04x", gEmulator.memory().peek16(0x08000002));
  EXPECT_EQ(bytes(pane().lines[1]), expected(8, 0x08000002, 3, op));  // green, four digits
  EXPECT_EQ(pane().end, 0x08000000 + rows() * 2);
}

TEST_F(CodeWin, BreakpointsColourTheirLinesAndClicksToggleThem) {
  loadCartridge("disasm");
  cursorDisplayOption().value() = 1;
  gCodeWindow->showPc();
  const BreakpointList& list = gEmulator.breakpoints().list();
  // The first row is ten instructions before the cursor.
  clickRow(pane(), 0);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list[0].address, 0x08000000u - 40);
  EXPECT_EQ(list[0].length, 4u);
  EXPECT_EQ(list[0].kinds, u32(kBreakExecute));
  EXPECT_EQ(colourOf(0), 4);  // blue
  clickRow(pane(), 0);
  EXPECT_EQ(list.count(), 0u);
  EXPECT_EQ(colourOf(0), 8);
  // On the cursor line: magenta.
  clickRow(pane(), 10);
  EXPECT_EQ(colourOf(10), 7);
  // F2 toggles at the cursor only while the Disassembly tab shows.
  EXPECT_EQ(gCodeWindow->cursorAddress(), 0x08000000u);
  debuggerKey(0x71);
  EXPECT_EQ(list.count(), 0u);
  gCodeWindow->selectTab(CodeWindow::kLoad);
  EXPECT_EQ(gCodeWindow->cursorAddress(), 0xFFFFFFFFu);
  debuggerKey(0x71);
  EXPECT_EQ(list.count(), 0u);
  // In Thumb state a click covers one halfword.
  gCodeWindow->selectTab(CodeWindow::kDisassembly);
  setPc(0x08000001);
  gCodeWindow->showPc();
  clickRow(pane(), 11);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list[0].address, 0x08000002u);
  EXPECT_EQ(list[0].length, 2u);
  // The part row below the last line sets nothing.
  pane().onClick(pane().x, pane().y + rows() * widgetgfx::fontHeight() + 1);
  EXPECT_EQ(list.count(), 1u);
}

TEST_F(CodeWin, ScrollingAndPaging) {
  const u32 n = rows();
  cursorDisplayOption().value() = 0;
  pane().goTo(0x08000100);
  pane().scrollDown();
  EXPECT_EQ(pane().cursor, 0x08000104u);
  pane().scrollUp();
  pane().scrollUp();
  EXPECT_EQ(pane().cursor, 0x080000FCu);
  pane().pageUp();
  EXPECT_EQ(pane().cursor, 0x080000FC - (n - 4) * 4);
  pane().pageDown();
  EXPECT_EQ(pane().cursor, 0x080000FC + 16);
  // With lines before the cursor, paging up keeps the old cursor on the page.
  cursorDisplayOption().value() = 1;
  pane().goTo(0x08000100);
  pane().pageUp();
  EXPECT_EQ(pane().cursor, 0x08000100 - (n - 4) * 4 + 7 * 4);
  EXPECT_EQ(rowOf(0x08000100), n - 1);
  // Across address 0 the pane wraps and paging still ends.
  pane().goTo(0x10);
  pane().pageUp();
  EXPECT_EQ(rowOf(0x10), n - 1);
  pane().goTo(0xFFFFFFF0);
  pane().pageDown();
  EXPECT_EQ(pane().cursor, 0xFFFFFFF0 + (n - 10) * 4);
  // The keys reach the pane through the frame.
  gCodeWindow->selectTab(CodeWindow::kDisassembly);
  const u32 at = pane().cursor;
  debuggerKey(0x28);  // Down
  EXPECT_EQ(pane().cursor, at + 4);
}

TEST_F(CodeWin, TabsPrepareTheirPanesAndGoTo) {
  loadCartridge("disasm");
  pane().goTo(0x02000000);
  gCodeWindow->selectTab(CodeWindow::kDisassembly);
  EXPECT_EQ(pane().cursor, 0x08000000u);
  gCodeWindow->goToAddress(0x03000000);
  EXPECT_EQ(pane().cursor, 0x03000000u);
  gCodeWindow->selectTab(CodeWindow::kWarnings);
  gCodeWindow->showPc();  // whichever tab shows
  EXPECT_EQ(pane().cursor, 0x08000000u);
  for (u32 tab : {u32(CodeWindow::kLoad), u32(CodeWindow::kOptions), u32(CodeWindow::kUser)}) {
    gCodeWindow->selectTab(tab);
    gCodeWindow->goToAddress(0x03000000);
    EXPECT_EQ(pane().cursor, 0x08000000u);
  }
  clearWarnings();
  for (int i = 0; i < 100; ++i) postWarningText("one of many");
  gCodeWindow->goToAddress(5);
  EXPECT_EQ(gCodeWindow->warnings.top, 5u);
  gCodeWindow->goToAddress(0xFFFFFFF0);  // clamped to the last page
  EXPECT_EQ(gCodeWindow->warnings.top, 100 - gCodeWindow->warnings.lines.count());
}

TEST_F(CodeWin, WarningsAppendInYellowAndComeForward) {
  WarningsPane& w = gCodeWindow->warnings;
  clearWarnings();
  w.setTop(0);
  gCodeWindow->selectTab(CodeWindow::kOptions);
  postWarningText("first");
  EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kWarnings));
  EXPECT_EQ(bytes(w.lines[0]),
            "\x06"
            "first");
  EXPECT_EQ(w.top, 0u);
  const u32 n = w.lines.count();
  for (u32 i = 0; i < n + 3; ++i) postWarningText(("warning " + std::to_string(i)).c_str());
  EXPECT_EQ(w.source.count(), n + 4);
  EXPECT_EQ(w.top, 4u);
  EXPECT_EQ(bytes(w.lines[n - 1]),
            "\x06"
            "warning " +
                std::to_string(n + 2));
  EXPECT_EQ(bytes(w.lines[0]),
            "\x06"
            "warning 3");
  EXPECT_EQ(lastWarning(), "warning " + std::to_string(n + 2));
}

TEST_F(CodeWin, UserTabShowsTheGuestsPrints) {
  loadCartridge("userprint");
  startRunning(0);
  runUntilStopped();
  const TextPane& user = gCodeWindow->user;
  const u32 n = user.lines.count();
  ASSERT_GE(n, 2u);
  EXPECT_EQ(bytes(user.lines[n - 2]), "Hello from the guest");
  EXPECT_EQ(bytes(user.lines[n - 1]), "and a second line");
  // The pane keeps only what it shows.
  for (u32 i = 0; i < 2 * n; ++i) gCodeWindow->printUserMessage(text(("line " + std::to_string(i)).c_str()));
  for (u32 r = 0; r < n; ++r) EXPECT_EQ(bytes(user.lines[r]), "line " + std::to_string(n + r));
}

TEST_F(CodeWin, UserMessagesAreLoggedWhenAsked) {
  logUserMessagesOption().value() = 0;
  gCodeWindow->printUserMessage(text("not logged"));
  EXPECT_FALSE(std::filesystem::exists("debug.txt"));
  logUserMessagesOption().value() = 1;
  gCodeWindow->printUserMessage(text("logged"));
  gCodeWindow->printUserMessage(text("and again"));
  EXPECT_EQ(frontend::readText("debug.txt"), "logged\nand again\n");
  // A log that cannot be opened warns each time; the message still shows.
  std::filesystem::remove("debug.txt");
  std::filesystem::create_directory("debug.txt");
  clearWarnings();
  gCodeWindow->selectTab(CodeWindow::kUser);
  gCodeWindow->printUserMessage(text("unlogged"));
  EXPECT_EQ(lastWarning(), "Unable to open debug.txt for appending.\n");
  EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kWarnings));
  const TextPane& user = gCodeWindow->user;
  EXPECT_EQ(bytes(user.lines[user.lines.count() - 1]), "unlogged");
}

TEST_F(CodeWin, HelpReadsItsFile) {
  HelpPane& help = gCodeWindow->help;
  {
    std::ofstream f("help.txt");
    f << "Keys\n\tF5\trun\n";
  }
  loadHelpText(help, text("help.txt"));
  ASSERT_EQ(help.source.count(), 3u);  // the newline at the end gives an empty last line
  EXPECT_EQ(bytes(help.lines[0]), "Keys\n");
  EXPECT_EQ(bytes(help.lines[1]), "\tF5\trun\n");
  EXPECT_EQ(bytes(help.lines[2]), "");
  gCodeWindow->selectTab(CodeWindow::kHelp);
  help.draw();
  for (u32 i = 0; i < 32; ++i) EXPECT_EQ(gTabStops[i], help.x + i * 4 * widgetgfx::fontWidth());
  // Missing, or a directory that opens but cannot be read: an empty tab.
  loadHelpText(help, text("no-such-help.txt"));
  EXPECT_EQ(help.source.count(), 0u);
  std::filesystem::create_directory("helpdir");
  loadHelpText(help, text("helpdir"));
  EXPECT_LE(help.source.count(), 1u);
  // The program's own help names its keys.
  loadHelpText(help, text(VANDREL_ASSET_DIR "/help_eng.txt"));
  ASSERT_GT(help.source.count(), 10u);
  bool namesF2 = false;
  for (u32 i = 0; i < help.source.count(); ++i) {
    std::string line;
    for (u32 k = 0; k < help.sourceLine(i).length(); ++k) line.push_back(char(help.sourceLine(i)[k]));
    namesF2 |= line.find("F2") != std::string::npos;
  }
  EXPECT_TRUE(namesF2);
}

// The row of the Load tab whose text is kind + name, or lines.count().
u32 loadRow(const LoadPane& load, u16 kind, const std::string& name) {
  for (u32 r = 0; r < load.lines.count(); ++r)
    if (bytes(load.lines[r]) == std::string(1, char(kind)) + name) return r;
  return load.lines.count();
}

TEST_F(CodeWin, LoadTabBrowsesAndLoads) {
  namespace fs = std::filesystem;
  const fs::path base = fs::current_path();
  fs::create_directories("games/inner");
  fs::create_directory("games/gone");
  fs::copy_file(testsupport::guestImage("disasm"), "games/disasm.gba");
  LoadPane& load = gCodeWindow->load;
  romSearchDirectoryOption().value() = text(base.c_str());
  load.changeDirectory(text("games"));
  const std::string games = (base / "games").string();
  EXPECT_EQ(bytes(romSearchDirectoryOption().value()), games);
  EXPECT_EQ(load.top, 0u);
  ASSERT_LT(loadRow(load, kListFile, "disasm.gba"), load.lines.count());
  ASSERT_LT(loadRow(load, kListDirectory, "inner"), load.lines.count());
  // Directories before files.
  EXPECT_LT(loadRow(load, kListDirectory, "inner"), loadRow(load, kListFile, "disasm.gba"));

  // Entering a directory, and coming back with "..".
  clickRow(load, loadRow(load, kListDirectory, "inner"));
  EXPECT_EQ(bytes(romSearchDirectoryOption().value()), games + "/inner");
  EXPECT_EQ(loadRow(load, kListFile, "disasm.gba"), load.lines.count());
  clickRow(load, loadRow(load, kListDirectory, ".."));
  EXPECT_EQ(bytes(romSearchDirectoryOption().value()), games);

  // A directory that has gone keeps the old directory and listing.
  fs::remove("games/gone");
  const u32 before = load.source.count();
  clickRow(load, loadRow(load, kListDirectory, "gone"));
  EXPECT_EQ(bytes(romSearchDirectoryOption().value()), games);
  EXPECT_EQ(load.source.count(), before);
  EXPECT_LT(loadRow(load, kListFile, "disasm.gba"), load.lines.count());

  // A click below the list does nothing.
  ASSERT_LT(load.source.count(), load.lines.count());
  clickRow(load, load.lines.count() - 1);
  EXPECT_EQ(bytes(romSearchDirectoryOption().value()), games);

  // A file row loads the cartridge and shows it at the PC.
  gCodeWindow->selectTab(CodeWindow::kLoad);
  gEmulator.cpu().setReg(15, 0x02000000);
  clickRow(load, loadRow(load, kListFile, "disasm.gba"));
  EXPECT_EQ(gEmulator.romName(), games + "/disasm.gba");
  EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kDisassembly));
  EXPECT_EQ(pane().cursor, gEmulator.cpu().pc());
  u32 first = 0;
  std::ifstream("games/disasm.gba", std::ios::binary).read(reinterpret_cast<char*>(&first), 4);
  EXPECT_EQ(gEmulator.memory().peek32(0x08000000), first);
}

TEST_F(CodeWin, TheLoadTabListsNewFilesAndTheStatusLineNamesWhatItLoads) {
  namespace fs = std::filesystem;
  const fs::path games = fs::current_path() / "games";
  fs::create_directory(games);
  romSearchDirectoryOption().value() = text(games.c_str());
  LoadPane& load = gCodeWindow->load;
  load.changeDirectory(text("."));
  // A file that comes after the listing shows when the tab is chosen.
  fs::copy_file(testsupport::guestImage("disasm"), games / "disasm.gba");
  ASSERT_EQ(loadRow(load, kListFile, "disasm.gba"), load.lines.count());
  click(120, 5);  // the Load title
  ASSERT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kLoad));
  const u32 row = loadRow(load, kListFile, "disasm.gba");
  ASSERT_LT(row, load.lines.count());
  click(load.x + 3, load.y + row * widgetgfx::fontHeight() + 5);
  const std::string loaded = (games / "disasm.gba").string();
  EXPECT_EQ(bytes(gRomName), loaded);
  EXPECT_NE(bytes(statusLineLayout(640, 8, gRomName, 0).romName).find("disasm.gba"), std::string::npos);
  // A file that cannot be read leaves the name of the cartridge that is in.
  fs::copy_file(testsupport::guestImage("disasm"), games / "gone.gba");
  click(120, 5);
  const u32 gone = loadRow(load, kListFile, "gone.gba");
  ASSERT_LT(gone, load.lines.count());
  fs::remove(games / "gone.gba");
  click(load.x + 3, load.y + gone * widgetgfx::fontHeight() + 5);
  EXPECT_EQ(bytes(gRomName), loaded);
}

// A file row that cannot be a cartridge: one line in the Warnings tab,
// which stays in front, and the cartridge in before stays.
TEST_F(CodeWin, AFileThatCannotBeLoadedIsSaidAndChangesNothing) {
  namespace fs = std::filesystem;
  fs::create_directory("games");
  std::ofstream("games/empty.gba").close();
  ASSERT_EQ(mkfifo("games/pipe.gba", 0600), 0);
  ASSERT_TRUE(gEmulator.loadRom(testsupport::guestImage("disasm")));
  const u32 first = gEmulator.memory().peek32(0x08000000);
  LoadPane& load = gCodeWindow->load;
  romSearchDirectoryOption().value() = text("games");
  load.changeDirectory(text("."));
  for (const char* name : {"empty.gba", "pipe.gba"}) {
    clearWarnings();
    gCodeWindow->selectTab(CodeWindow::kLoad);
    clickRow(load, loadRow(load, kListFile, name));
    EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kWarnings)) << name;
    ASSERT_EQ(gCodeWindow->warnings.source.count(), 1u) << name;
    const std::string reason = std::string(name) == "empty.gba" ? " is empty." : " is not a regular file.";
    EXPECT_EQ(bytes(gCodeWindow->warnings.lines[0]), std::string("\x06") + "Cartridge not loaded: games/" + name + reason);
    EXPECT_EQ(gEmulator.romName(), testsupport::guestImage("disasm"));
    EXPECT_EQ(gEmulator.memory().peek32(0x08000000), first);
  }
}

TEST_F(CodeWin, DotDotGoesUpFromRelativeDirectories) {
  std::filesystem::create_directories("games/inner");
  const struct {
    const char* from;
    const char* to;
  } cases[] = {
      {"./", "./.."}, {"./..", "./../.."}, {"games", "."}, {"games/", "."}, {"./games/inner", "./games"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    romSearchDirectoryOption().value() = text(c.from);
    gCodeWindow->load.changeDirectory(text("\x03.."));
    EXPECT_EQ(bytes(romSearchDirectoryOption().value()), c.to);
  }
}

TEST_F(CodeWin, LoadTabFallsBackToTheProgramsDirectory) {
  trackedFree(gCodeWindow);  // leaves the frame list
  romSearchDirectoryOption().value() = text("/no/such/directory");
  trackedAlloc(gCodeWindow, 1, __FILE__, __LINE__);
  addTabFrame(gCodeWindow);
  EXPECT_EQ(bytes(romSearchDirectoryOption().value()), bytes(programDirectory()));
}

}  // namespace
