// The older program's code window: a Source tab, a taller window, a plain
// listing and a Load tab without a saved directory.

#include "../frontend.h"
#include "general/files.h"

using namespace frontend;

namespace {

class OlderCodeWindow : public Screen {};

TEST_F(OlderCodeWindow, HasSevenTabsAndThePlainListing) {
  const char* titles[] = {"Disassembly", "Source", "Load", "Options", "Warnings", "User", "Help"};
  ASSERT_EQ(gCodeWindow->tabs.count(), 7u);
  for (u32 i = 0; i < 7; ++i) EXPECT_EQ(bytes(gCodeWindow->tabs[i].title), titles[i]);
  EXPECT_EQ(gCodeWindow->h, 480u - 174);
  EXPECT_EQ(u32(CodeWindow::kWarnings), 4u);

  loadCartridge("disasm");
  gEmulator.breakpoints().toggleAt(0x08000004, false);
  gCodeWindow->showPc();
  DisassemblyPane& pane = gCodeWindow->disassembly;
  EXPECT_EQ(pane.rowAddress(0), 0x08000000u);
  // No cursor or breakpoint colours: white, then the opcode colour.
  for (u32 row : {0u, 1u}) {
    EXPECT_EQ(pane.lines[row].at(0), 8);
    EXPECT_EQ(pane.lines[row].at(12), 2);
  }

  postWarningText("older");
  EXPECT_EQ(gCodeWindow->currentTab(), 4u);
  EXPECT_EQ(lastWarning(), "older");
}

TEST_F(OlderCodeWindow, LoadTabStartsAtTheProgramsDirectory) {
  EXPECT_EQ(bytes(gCodeWindow->load.directory()), bytes(programDirectory()));
}

TEST_F(OlderCodeWindow, OptionsTabHasFourControls) {
  OptionsPane& p = gCodeWindow->options;
  ASSERT_EQ(p.children.count(), 4u);
  EXPECT_EQ(p.children[3], &p.fullScreen);
  std::string label;
  for (u32 i = 0; i < p.fullScreen.label.length(); ++i) label.push_back(char(p.fullScreen.label[i]));
  EXPECT_EQ(label, "App runs in full-screen mode");
  // All four whole inside the pane at 640x480.
  EXPECT_TRUE(p.everyItemInside());
}

}  // namespace
