// The Options tab: its column layout, the choice lists and check boxes and
// the settings they reach.

#include <array>

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
  // 12 rows: the language list (9 rows) and its gap fit, the register list does not.
  p.setRect(10, 20, 600, 12 * fh);
  EXPECT_EQ(p.language.x, 14u);
  EXPECT_EQ(p.language.y, 22u);
  EXPECT_EQ(p.registerFormat.x, 14 + p.language.width() + 2 * fw);
  EXPECT_EQ(p.registerFormat.y, 22u);
  // Each control below the one before, one empty row between.
  p.setRect(0, 0, 600, 60 * fh);
  EXPECT_EQ(p.language.y, 2u);
  EXPECT_EQ(p.registerFormat.y, 2 + 10 * fh);
  EXPECT_EQ(p.registerFormat.x, 4u);  // laid out afresh, not after the previous columns
  for (u32 i = 1; i < p.children.count(); ++i) {
    const DialogItem& a = *p.children[i - 1];
    const DialogItem& b = *p.children[i];
    if (b.x == a.x)
      EXPECT_EQ(b.y, a.y + a.height() + fh);
    else
      EXPECT_EQ(b.y, 2u);
  }
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
