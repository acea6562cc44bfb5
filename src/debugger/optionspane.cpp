#include "debugger/optionspane.h"

#include <algorithm>

#include "core/cpu.h"
#include "core/soundbuf.h"
#include "core/video.h"
#include "debugger/app.h"
#include "debugger/armdis.h"
#include "debugger/disasmpane.h"
#include "debugger/formats.h"
#include "debugger/prompt.h"
#include "debugger/userpane.h"
#include "debugger/windows.h"
#include "general/language.h"
#include "general/widgetgfx.h"
#include "platform/variant.h"

u32 languageIndex = 0;

void OptionChoice::build(const char* labelText, const char* const* texts, u32 count) {
  setLabel(IString::fromEnglish(labelText));
  ChoiceItem::setPosition(0, 0, count);
  for (u32 i = 0; i < count; ++i) setOption(i, IString::fromEnglish(texts[i]));
  selection = getChoice();
}

SettingCheck::SettingCheck(const char* labelText, ConfigOption<i32>* setting) : setting_(setting) {
  setLabel(IString::fromEnglish(labelText));
  setIndent(1);
}

LanguageOption::LanguageOption() {
  static const char* const kTexts[] = {"English", "French",  "German",   "Italian",
                                       "Russian", "Chinese", "Japanese", "Arabic"};
  build("LANGUAGE", kTexts, 8);
}

FormatOption::FormatOption(const char* labelText, std::span<const FormatChoice> choices,
                           ConfigOption<i32>& setting, void (*refreshShown)())
    : choices_(choices), setting_(setting), refreshShown_(refreshShown) {
  // The memory list is the longer of the two.
  const char* texts[kMemoryFormatChoiceCount];
  const u32 count = u32(std::min<std::size_t>(choices.size(), kMemoryFormatChoiceCount));
  for (u32 i = 0; i < count; ++i) texts[i] = choices[i].english;
  build(labelText, texts, count);
}

// A code that is no choice (a hand-edited settings file) marks none, so
// every choice can be picked.
u32 FormatOption::getChoice() {
  for (u32 i = 0; i < choices_.size(); ++i)
    if (i32(choices_[i].code) == setting_.value()) return i;
  return u32(choices_.size());
}

void FormatOption::setChoice(u32 index) {
  if (index >= choices_.size()) return;
  const i32 code = i32(choices_[index].code);
  if (code == setting_.value()) return;
  setting_.value() = code;
  refreshShown_();
}

RegisterFormatOption::RegisterFormatOption()
    : FormatOption("REGISTER FORMAT", kRegisterFormatChoices, gRegisterFormat, [] {
        if (gAppWindow) gAppWindow->refreshTab(AppWindow::kRegisters);
      }) {}

MemoryFormatOption::MemoryFormatOption()
    : FormatOption("MEMORY FORMAT", kMemoryFormatChoices, gMemoryFormat, [] {
        if (gDataWindow) gDataWindow->refreshTab(DataWindow::kMemory);
      }) {}

FullScreenOption::FullScreenOption()
    : SettingCheck(variant::kOlder ? "App runs in full-screen mode" : "Run app full-screen",
                   &gRunAppModeSwitch) {}

#ifndef VANDREL_OLDER_VARIANT
CursorDisplayOption::CursorDisplayOption() {
  static const char* const kTexts[] = {"Display no lines before cursor", "Display 10 lines before cursor",
                                       "Display cursor in middle of page"};
  build("SOURCE/DISASSEMBLY CURSOR", kTexts, 3);
}

u32 CursorDisplayOption::getChoice() { return u32(cursorDisplayOption().value()); }
void CursorDisplayOption::setChoice(u32 index) { cursorDisplayOption().value() = i32(index); }

LogUserOutputOption::LogUserOutputOption()
    : SettingCheck("Log user debug output", &logUserMessagesOption()) {}
WindowedOption::WindowedOption() : SettingCheck("Run KEZ in a window", &gRunAppWindowed) {}

SkipBiosOption::SkipBiosOption() {
  setLabel(IString::fromEnglish("Skip BIOS boot sequence"));
  setIndent(1);
}
bool SkipBiosOption::isChecked() { return skipStartupOption() != 0; }
void SkipBiosOption::setOn() { setSkipStartupOption(1); }
void SkipBiosOption::setOff() { setSkipStartupOption(0); }

HiRegSyntaxOption::HiRegSyntaxOption()
    : SettingCheck("Use Hx for hi-regs in Thumb disassembly", &useHiRegSyntaxOption()) {}
LdmStmMnemonicOption::LdmStmMnemonicOption()
    : SettingCheck("Use mnemonic format for LDM/STM", &useMnemonicOption()) {}

SoundOption::SoundOption() : SettingCheck("Enable sound", &gSoundEnableOption) {}
void SoundOption::setOn() {
  SettingCheck::setOn();
  startSound();
}
void SoundOption::setOff() {
  SettingCheck::setOff();
  stopSound();
}

namespace {
FixedIString translated(const char* english) {
  FixedIString t;
  t.assignTextClipped(translate(english));
  return t;
}

constexpr u16 kResolutions[5][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
}  // namespace

ResolutionOption::ResolutionOption() {
  static const char* const kTexts[] = {"640x480", "800x600", "1024x768", "1280x1024", "1600x1200"};
  build("RESOLUTION", kTexts, 5);
}

u32 ResolutionOption::getChoice() {
  const u16 width = gVideoWidth.value();
  for (u32 i = 1; i < 5; ++i)
    if (kResolutions[i][0] == width) return i;
  return 0;
}

void ResolutionOption::setChoice(u32 index) {
  if (index >= 5) return;
  gVideoWidth.value() = kResolutions[index][0];
  gVideoHeight.value() = kResolutions[index][1];
  showMessageBox(translated("Note:  Resolution changes won't take"),
                 translated("place until you restart KEZ."), 0);
}
#endif

OptionsPane::OptionsPane() {
  DialogItem* items[] = {
      &language,      &registerFormat,
#ifndef VANDREL_OLDER_VARIANT
      &cursorDisplay,
#endif
      &memoryFormat,  &fullScreen,
#ifndef VANDREL_OLDER_VARIANT
      &logUserOutput, &windowed,       &skipBios, &hiRegSyntax, &ldmStmMnemonic, &sound, &resolution,
#endif
  };
  for (DialogItem* item : items) addChild(item);
}

void OptionsPane::setRect(u32 left, u32 top, u32 width, u32 height) {
  PaneContainer::setRect(left, top, width, height);
  // Laid out afresh each time, so a second rectangle does not continue the
  // columns of the first.
  xOffset = 4;
  yOffset = 2;
  columnWidth = 0;
  for (u32 i = 0; i < children.count(); ++i) placeItem(*children.at(i));
}

void OptionsPane::placeItem(DialogItem& item) {
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  if (h < yOffset + item.height() + fh) {
    xOffset += columnWidth + 2 * fw;
    columnWidth = 0;
    yOffset = 2;
  }
  item.setPosition(x + xOffset, y + yOffset);
  yOffset += item.height() + fh;
  if (item.width() > columnWidth) columnWidth = item.width();
}

void OptionsPane::draw() {
  if (isDirtyOnCurrentPage()) {
    widgetgfx::fill(gColourBlack, x, y, w, h);
    clearDirtyOnCurrentPage();
  }
  PaneContainer::draw();
}
