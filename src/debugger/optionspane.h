#pragma once
// The code window's Options tab: choice lists and check boxes, laid out in
// columns, each reading its setting when drawn and writing it back at once.

#include <span>

#include "debugger/formats.h"
#include "general/config.h"
#include "general/dialog.h"
#include "general/pane.h"

// The language picked on the Options tab: only shown, never saved; the
// texts come from the language table.
extern u32 languageIndex;

// A choice list of fixed texts; beforeChoiceChange does nothing.
class OptionChoice : public ChoiceItem {
 public:
  void beforeChoiceChange(u32) override {}

 protected:
  // Label and texts through the language table; the selection from getChoice.
  void build(const char* label, const char* const* texts, u32 count);
};

// A check box over a 0/1 setting.
class SettingCheck : public CheckItem {
 public:
  SettingCheck(const char* label, ConfigOption<i32>* setting);
  bool isChecked() override { return setting_->value() != 0; }
  void setOn() override { setting_->value() = 1; }
  void setOff() override { setting_->value() = 0; }

 private:
  ConfigOption<i32>* setting_;
};

class LanguageOption : public OptionChoice {
 public:
  LanguageOption();
  u32 getChoice() override { return languageIndex; }
  void setChoice(u32 index) override { languageIndex = index; }
};

// A choice list over a format setting; a new code refreshes the tab that
// shows it.
class FormatOption : public OptionChoice {
 public:
  FormatOption(const char* label, std::span<const FormatChoice> choices, ConfigOption<i32>& setting,
               void (*refreshShown)());
  u32 getChoice() override;
  void setChoice(u32 index) override;

 private:
  std::span<const FormatChoice> choices_;
  ConfigOption<i32>& setting_;
  void (*refreshShown_)();
};

// "Register Format"; a new code refreshes the Registers tab.
class RegisterFormatOption : public FormatOption {
 public:
  RegisterFormatOption();
};

// "Memory Format"; a new code refreshes the Memory tab.
class MemoryFormatOption : public FormatOption {
 public:
  MemoryFormatOption();
};

class FullScreenOption : public SettingCheck {
 public:
  FullScreenOption();
};

#ifndef VANDREL_OLDER_VARIANT
class CursorDisplayOption : public OptionChoice {
 public:
  CursorDisplayOption();
  u32 getChoice() override;
  void setChoice(u32 index) override;
};

class LogUserOutputOption : public SettingCheck {
 public:
  LogUserOutputOption();
};

class WindowedOption : public SettingCheck {
 public:
  WindowedOption();
};

class SkipBiosOption : public CheckItem {
 public:
  SkipBiosOption();
  bool isChecked() override;
  void setOn() override;
  void setOff() override;
};

class HiRegSyntaxOption : public SettingCheck {
 public:
  HiRegSyntaxOption();
};

class LdmStmMnemonicOption : public SettingCheck {
 public:
  LdmStmMnemonicOption();
};

// "Sound Enable"; also starts or stops the sound output at once.
class SoundOption : public SettingCheck {
 public:
  SoundOption();
  void setOn() override;
  void setOff() override;
};

// "Video Width" and "Video Height", read at the next start.
class ResolutionOption : public OptionChoice {
 public:
  ResolutionOption();
  u32 getChoice() override;
  void setChoice(u32 index) override;
};
#endif

class OptionsPane : public PaneContainer {
 public:
  OptionsPane();
  void setRect(u32 left, u32 top, u32 width, u32 height) override;
  void draw() override;
  void scrollUp() override {}
  void scrollDown() override {}
  void pageUp() override {}
  void pageDown() override {}
  void refresh() override { markDirty(); }
  // Puts the control below the previous one, or at the top of a new column
  // when it would not fit.
  virtual void placeItem(DialogItem& item);
  // True when every control lies wholly inside the pane.
  bool everyItemInside() const;

  LanguageOption language;
  RegisterFormatOption registerFormat;
#ifndef VANDREL_OLDER_VARIANT
  CursorDisplayOption cursorDisplay;
#endif
  MemoryFormatOption memoryFormat;
  FullScreenOption fullScreen;
#ifndef VANDREL_OLDER_VARIANT
  LogUserOutputOption logUserOutput;
  WindowedOption windowed;
  SkipBiosOption skipBios;
  HiRegSyntaxOption hiRegSyntax;
  LdmStmMnemonicOption ldmStmMnemonic;
  SoundOption sound;
  ResolutionOption resolution;
#endif

  u32 yOffset = 2;
  u32 xOffset = 4;
  u32 columnWidth = 0;

 private:
  // The layouts tried when the columns above run past the pane: the same
  // columns packed tighter, then the controls packed as blocks.
  void layOutTightColumns();
  void layOutBlocks();
};
