#pragma once
// The code window's Load tab: the entries of a directory; a click on a
// directory enters it, a click on a file loads it as the cartridge and shows
// the Disassembly tab.

#include "general/config.h"
#include "general/pane.h"

class LoadPane : public ListPane {
 public:
  // Lists the remembered directory (the program's own when it is gone).
  LoadPane();

  void onClick(u32 px, u32 py) override;
  // Enters a listed entry ("." and ".." too).  When the new directory cannot
  // be listed, the old listing and directory stay.
  void changeDirectory(const FixedIString& entry);

  // The directory listed.
  FixedIString& directory();

 private:
#ifdef VANDREL_OLDER_VARIANT
  FixedIString directory_;
#endif
};

inline constexpr u16 kListDrive = 2;

#ifndef VANDREL_OLDER_VARIANT
// "ROM search directory".
ConfigOption<FixedIString>& romSearchDirectoryOption();
#endif
