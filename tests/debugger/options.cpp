// The Options tab: its column layout, the choice lists and check boxes and
// the settings they reach.

#include <algorithm>
#include <array>
#include <utility>

#include "core/soundbuf.h"
#include "core/video.h"
#include "debugger/armdis.h"
#include "debugger/formats.h"
#include "frontend.h"
#include "general/widgetgfx.h"

namespace {

class CountingOutput : public SoundOutput {
 public:
  void start() override { ++starts; }
  void stop() override { ++stops; }
  void writeBlock(u32, u32, const i16*) override {}
  int starts = 0, stops = 0;
};

class Options : public frontend::Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    saved = {gMemoryFormat.value(),           gRegisterFormat.value(),        cursorDisplayOption().value(),
             gSoundEnableOption.value(),      useHiRegSyntaxOption().value(), i32(gVideoWidth.value()),
             i32(gVideoHeight.value()),       gRunAppModeSwitch.value(),      gRunAppWindowed.value(),
             logUserMessagesOption().value(), useMnemonicOption().value(),    skipStartupOption()};
  }
  void TearDown() override {
    gMemoryFormat.value() = saved[0];
    gRegisterFormat.value() = saved[1];
    cursorDisplayOption().value() = saved[2];
    gSoundEnableOption.value() = saved[3];
    useHiRegSyntaxOption().value() = saved[4];
    gVideoWidth.value() = u16(saved[5]);
    gVideoHeight.value() = u16(saved[6]);
    gRunAppModeSwitch.value() = saved[7];
    gRunAppWindowed.value() = saved[8];
    logUserMessagesOption().value() = saved[9];
    useMnemonicOption().value() = saved[10];
    setSkipStartupOption(saved[11]);
    languageIndex = 0;
    installSoundOutput(programSoundOutput());
    Screen::TearDown();
  }
  OptionsPane& pane() { return gCodeWindow->options; }
  // Clicks the marker of choice i.
  static void pick(ChoiceItem& item, u32 i) {
    item.onClick(item.x, item.y + (i + 1) * widgetgfx::fontHeight());
  }
  static void toggle(CheckItem& item) { item.onClick(item.x, item.y); }

  std::array<i32, 12> saved{};
};

TEST_F(Options, ControlsStackInColumnsThatWrap) {
  OptionsPane& p = pane();
  ASSERT_EQ(p.children.count(), 12u);
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  // A pane wide enough for the columns: each control below the one before
  // with one empty row between, or at the top of a new column two cells
  // right of the widest control of the one before.
  p.setRect(10, 20, 1200, 25 * fh);
  EXPECT_EQ(p.language.x, 14u);
  EXPECT_EQ(p.language.y, 22u);
  EXPECT_EQ(p.registerFormat.x, 14u);
  EXPECT_EQ(p.registerFormat.y, 22 + 10 * fh);
  EXPECT_EQ(p.memoryFormat.x, 14 + p.cursorDisplay.width() + 2 * fw);
  u32 columnLeft = 14, widest = 0;
  for (u32 i = 1; i < p.children.count(); ++i) {
    const DialogItem& a = *p.children[i - 1];
    const DialogItem& b = *p.children[i];
    widest = std::max(widest, a.width());
    if (b.x == a.x) {
      EXPECT_EQ(b.y, a.y + a.height() + fh) << i;
    } else {
      EXPECT_EQ(b.y, 22u) << i;
      EXPECT_EQ(b.x, columnLeft + widest + 2 * fw) << i;
      columnLeft = b.x;
      widest = 0;
    }
  }
  EXPECT_TRUE(p.everyItemInside());
  // Laid out afresh, not after the previous columns.
  p.setRect(0, 0, 1200, 60 * fh);
  EXPECT_EQ(p.registerFormat.x, 4u);
  EXPECT_EQ(p.registerFormat.y, 2 + 10 * fh);
}

// The controls' rectangles: inside the pane and apart from one another.
void expectWholeAndApart(const OptionsPane& p) {
  EXPECT_TRUE(p.everyItemInside());
  for (u32 i = 0; i < p.children.count(); ++i)
    for (u32 k = i + 1; k < p.children.count(); ++k) {
      const DialogItem& a = *p.children.atConst(i);
      const DialogItem& b = *p.children.atConst(k);
      const bool apart = a.x + a.width() <= b.x || b.x + b.width() <= a.x || a.y + a.height() <= b.y ||
                         b.y + b.height() <= a.y;
      EXPECT_TRUE(apart) << i << " and " << k;
    }
}

TEST_F(Options, EveryControlIsWholeAtEachDisplaySize) {
  const u32 fh = widgetgfx::fontHeight();
  for (const auto& [width, height] : {std::pair{640u, 480u}, {800u, 600u}, {1024u, 768u}, {1600u, 1200u}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    const WindowPlace c = codeWindowPlace(width, height, fh);
    pane().setRect(c.x + 2, c.y + fh, c.w - 4, c.h - fh - 2);
    expectWholeAndApart(pane());
  }
  // The columns of old where they fit; at 800x600 the same columns, closer.
  const WindowPlace big = codeWindowPlace(1024, 768, fh);
  pane().setRect(big.x + 2, big.y + fh, big.w - 4, big.h - fh - 2);
  EXPECT_EQ(pane().fullScreen.y, pane().y + 2);
  const WindowPlace mid = codeWindowPlace(800, 600, fh);
  pane().setRect(mid.x + 2, mid.y + fh, mid.w - 4, mid.h - fh - 2);
  EXPECT_EQ(pane().memoryFormat.x, pane().fullScreen.x);
  EXPECT_EQ(pane().logUserOutput.y, pane().fullScreen.y + fh);
}

TEST_F(Options, EveryControlTakesItsClickAt640x480) {
  // The Options title, then every control through the window procedure.
  click(160, 5);
  ASSERT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kOptions));
  OptionsPane& p = pane();
  expectWholeAndApart(p);
  const u32 fh = widgetgfx::fontHeight();
  auto clickBox = [](const DialogItem& item) { click(item.x + 1, item.y + 1); };
  auto clickChoice = [fh](const ChoiceItem& item, u32 i) { click(item.x + 1, item.y + (i + 1) * fh + 1); };
  const struct {
    CheckItem* item;
    ConfigOption<i32>* setting;
  } checks[] = {
      {&p.fullScreen, &gRunAppModeSwitch},       {&p.logUserOutput, &logUserMessagesOption()},
      {&p.windowed, &gRunAppWindowed},           {&p.hiRegSyntax, &useHiRegSyntaxOption()},
      {&p.ldmStmMnemonic, &useMnemonicOption()}, {&p.sound, &gSoundEnableOption},
  };
  CountingOutput out;
  installSoundOutput(&out);
  for (const auto& c : checks) {
    SCOPED_TRACE(c.setting->name());
    const i32 before = c.setting->value();
    clickBox(*c.item);
    EXPECT_EQ(c.setting->value(), before ? 0 : 1);
  }
  const i32 skip = skipStartupOption();
  clickBox(p.skipBios);
  EXPECT_EQ(skipStartupOption(), skip ? 0 : 1);
  clickChoice(p.language, 7);
  EXPECT_EQ(languageIndex, 7u);
  clickChoice(p.registerFormat, 6);
  EXPECT_EQ(gRegisterFormat.value(), 34);
  clickChoice(p.cursorDisplay, 1);
  EXPECT_EQ(cursorDisplayOption().value(), 1);
  clickChoice(p.memoryFormat, 20);
  EXPECT_EQ(gMemoryFormat.value(), 34);
  clickChoice(p.resolution, 4);
  EXPECT_EQ(gVideoWidth.value(), 1600);
  EXPECT_EQ(gDisplayMode, 2u);  // the note on restarting
  press(platform::VK_RETURN);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Options, FormatChoicesShowAndStoreTheirCodes) {
  MemoryFormatOption& memory = pane().memoryFormat;
  const struct {
    i32 code;
    u32 index;
  } shown[] = {{1, 3}, {21, 14}, {2, 6}, {32, 18}, {34, 20}, {31, 21}, {-5, 21}};
  for (const auto& c : shown) {
    gMemoryFormat.value() = c.code;
    EXPECT_EQ(memory.getChoice(), c.index) << c.code;
  }
  // A code that is no choice marks none, so any choice can be picked.
  memory.selection = memory.getChoice();
  pick(memory, 6);
  EXPECT_EQ(gMemoryFormat.value(), 2);
  EXPECT_EQ(memory.selection, 6u);

  // A new format refreshes the Memory tab; the one in use does not.
  gDataWindow->memory.dirtyMask = 0;
  pick(memory, 6);
  EXPECT_EQ(gDataWindow->memory.dirtyMask, 0u);
  pick(memory, 13);
  EXPECT_EQ(gMemoryFormat.value(), 13);
  EXPECT_NE(gDataWindow->memory.dirtyMask, 0u);

  RegisterFormatOption& registers = pane().registerFormat;
  gRegisterFormat.value() = 34;
  EXPECT_EQ(registers.getChoice(), 6u);
  gRegisterFormat.value() = 22;
  EXPECT_EQ(registers.getChoice(), 5u);
  registers.selection = registers.getChoice();
  gAppWindow->registers.dirtyMask = 0;
  pick(registers, 1);
  EXPECT_EQ(gRegisterFormat.value(), 10);
  EXPECT_NE(gAppWindow->registers.dirtyMask, 0u);
}

TEST_F(Options, ResolutionIsStoredForTheNextStart) {
  ResolutionOption& r = pane().resolution;
  gVideoWidth.value() = 1000;
  EXPECT_EQ(r.getChoice(), 0u);
  gVideoWidth.value() = 640;
  r.selection = r.getChoice();
  pick(r, 2);
  EXPECT_EQ(gVideoWidth.value(), 1024);
  EXPECT_EQ(gVideoHeight.value(), 768);
  EXPECT_EQ(gIsMessageBox, 1u);
  EXPECT_EQ(r.selection, 2u);
  EXPECT_EQ(gView.width(), 640u);  // the display keeps its size
  // The choice already made does nothing.
  setDisplayMode(0);
  gIsMessageBox = 0;
  pick(r, 2);
  EXPECT_EQ(gIsMessageBox, 0u);
}

TEST_F(Options, ChecksAndListsReachTheirSettings) {
  OptionsPane& p = pane();
  const struct {
    CheckItem* item;
    ConfigOption<i32>* setting;
  } checks[] = {
      {&p.fullScreen, &gRunAppModeSwitch},       {&p.logUserOutput, &logUserMessagesOption()},
      {&p.windowed, &gRunAppWindowed},           {&p.hiRegSyntax, &useHiRegSyntaxOption()},
      {&p.ldmStmMnemonic, &useMnemonicOption()},
  };
  for (const auto& c : checks) {
    SCOPED_TRACE(c.setting->name());
    c.setting->value() = 0;
    toggle(*c.item);
    EXPECT_EQ(c.setting->value(), 1);
    toggle(*c.item);
    EXPECT_EQ(c.setting->value(), 0);
  }
  setSkipStartupOption(0);
  toggle(p.skipBios);
  EXPECT_EQ(skipStartupOption(), 1);

  // The disassembler reads its option at the next listing.
  useHiRegSyntaxOption().value() = 1;
  toggle(p.hiRegSyntax);
  EXPECT_FALSE(DisassemblyOptions::current().hiRegSyntax);

  // Sound acts at once.
  CountingOutput out;
  installSoundOutput(&out);
  gSoundEnableOption.value() = 1;
  toggle(p.sound);
  EXPECT_EQ(gSoundEnableOption.value(), 0);
  EXPECT_EQ(out.stops, 1);
  toggle(p.sound);
  EXPECT_EQ(gSoundEnableOption.value(), 1);
  EXPECT_EQ(out.starts, 1);

  cursorDisplayOption().value() = 0;
  p.cursorDisplay.selection = 0;
  pick(p.cursorDisplay, 2);
  EXPECT_EQ(cursorDisplayOption().value(), 2);
  pick(p.language, 5);
  EXPECT_EQ(languageIndex, 5u);
  EXPECT_EQ(p.language.selection, 5u);
}

}  // namespace
