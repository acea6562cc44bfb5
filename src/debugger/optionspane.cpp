#include "debugger/optionspane.h"

#include <algorithm>
#include <vector>

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

namespace {

// Where a control or a block of controls goes, in pane coordinates.
struct Box {
  u32 x = 0, y = 0, w = 0, h = 0;
};

bool isCheck(const DialogItem* item) { return dynamic_cast<const CheckItem*>(item) != nullptr; }

// Two boxes closer than the gaps between controls.
bool clash(const Box& a, const Box& b, u32 gapX, u32 gapY) {
  return a.x < b.x + b.w + gapX && b.x < a.x + a.w + gapX && a.y < b.y + b.h + gapY && b.y < a.y + a.h + gapY;
}

}  // namespace

void OptionsPane::setRect(u32 left, u32 top, u32 width, u32 height) {
  PaneContainer::setRect(left, top, width, height);
  // Laid out afresh each time, so a second rectangle does not continue the
  // columns of the first.  Every control must be drawn whole and take its
  // clicks: at the smaller display sizes the columns run past the pane, so
  // tighter layouts are tried in turn.
  xOffset = 4;
  yOffset = 2;
  columnWidth = 0;
  for (u32 i = 0; i < children.count(); ++i) placeItem(*children.at(i));
  if (everyItemInside()) return;
  layOutTightColumns();
  if (everyItemInside()) return;
  layOutBlocks();
}

bool OptionsPane::everyItemInside() const {
  for (u32 i = 0; i < children.count(); ++i) {
    const DialogItem& item = *children.atConst(i);
    if (item.x < x || item.y < y || item.x - x + item.width() > w || item.y - y + item.height() > h)
      return false;
  }
  return true;
}

// The same columns in the same order, with the check boxes of a run one
// under the other without an empty row between them, and no empty row
// needed below the last control of a column.
void OptionsPane::layOutTightColumns() {
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  u32 left = 4, top = 2, widest = 0;
  for (u32 i = 0; i < children.count(); ++i) {
    DialogItem& item = *children.at(i);
    if (top > 2 && top + item.height() > h) {
      left += widest + 2 * fw;
      widest = 0;
      top = 2;
    }
    item.setPosition(x + left, y + top);
    const bool checkFollows = i + 1 < children.count() && isCheck(&item) && isCheck(children.at(i + 1));
    top += item.height() + (checkFollows ? 0 : fh);
    if (item.width() > widest) widest = item.width();
  }
}

// Blocks (a choice list, or a run of check boxes one under the other),
// the tallest first, each at the highest and then leftmost place where it
// keeps one empty row and two character cells from the blocks placed before.
void OptionsPane::layOutBlocks() {
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  struct Block {
    u32 first, count;
    Box box;
  };
  std::vector<Block> blocks;
  for (u32 i = 0; i < children.count();) {
    Block b{i, 1, {}};
    const bool checks = isCheck(children.at(i));
    while (checks && b.first + b.count < children.count() && isCheck(children.at(b.first + b.count)))
      ++b.count;
    for (u32 k = b.first; k < b.first + b.count; ++k) {
      b.box.w = std::max(b.box.w, children.at(k)->width());
      b.box.h += children.at(k)->height();
    }
    blocks.push_back(b);
    i += b.count;
  }
  std::vector<Block*> order;
  for (Block& b : blocks) order.push_back(&b);
  std::stable_sort(order.begin(), order.end(),
                   [](const Block* a, const Block* b) { return a->box.h > b->box.h; });
  std::vector<Box> placed;
  for (Block* b : order) {
    std::vector<u32> xs{4}, ys{2};
    for (const Box& p : placed) {
      xs.push_back(p.x + p.w + 2 * fw);
      ys.push_back(p.y + p.h + fh);
    }
    std::sort(xs.begin(), xs.end());
    std::sort(ys.begin(), ys.end());
    bool found = false;
    for (u32 top : ys) {
      for (u32 left : xs) {
        const Box at{left, top, b->box.w, b->box.h};
        if (left + at.w > w || top + at.h > h) continue;
        bool free = true;
        for (const Box& p : placed) free = free && !clash(at, p, 2 * fw, fh);
        if (free) {
          b->box = at;
          found = true;
          break;
        }
      }
      if (found) break;
    }
    // A pane too small for it: below everything, where it is cut.
    if (!found) {
      u32 bottom = 2;
      for (const Box& p : placed) bottom = std::max(bottom, p.y + p.h + fh);
      b->box.x = 4;
      b->box.y = bottom;
    }
    placed.push_back(b->box);
    u32 top = b->box.y;
    for (u32 k = b->first; k < b->first + b->count; ++k) {
      children.at(k)->setPosition(x + b->box.x, y + top);
      top += children.at(k)->height();
    }
  }
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
