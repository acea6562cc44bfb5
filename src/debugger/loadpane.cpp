#include "debugger/loadpane.h"

#include <utility>

#include "core/emulator.h"
#include "general/files.h"
#include "general/tabframe.h"
#include "general/widgetgfx.h"
#include "platform/variant.h"

#ifndef VANDREL_OLDER_VARIANT
namespace {
constinit ConfigOption<FixedIString> gRomSearchDirectory("ROM search directory", "./");
}

ConfigOption<FixedIString>& romSearchDirectoryOption() { return gRomSearchDirectory; }
#endif

FixedIString& LoadPane::directory() {
#ifdef VANDREL_OLDER_VARIANT
  return directory_;
#else
  return gRomSearchDirectory.value();
#endif
}

LoadPane::LoadPane() {
  if (variant::kOlder || !directoryExists(directory())) directory() = programDirectory();
  FixedIString here;
  here.appendChar('.');
  changeDirectory(here);
}

void LoadPane::changeDirectory(const FixedIString& entry) {
  FixedIString path;
  if (entry.length() != 0 && entry.at(0) == kListDrive) {
    path = entry;
  } else {
    path = directory();
    // "." and a path that would grow too long leave it as it is.
    appendPathComponent(path, entry);
  }
  // Listed apart, so a directory that cannot be read leaves the old list.
  Array<IString> listing;
  if (!findAll(listing, path)) return;
  directory() = path;
  source = std::move(listing);
  top = 0;
  refresh();
}

void LoadPane::onClick(u32, u32 py) {
  const u32 fh = widgetgfx::fontHeight();
  if (fh == 0 || py < y) return;
  const u32 row = (py - y) / fh;
  if (row >= lines.count() || lines.at(row).length() == 0) return;  // below the list
  const FixedIString line = lines.at(row);
  const u16 kind = line.at(0);
  if (kind == kListDirectory || (kind == kListDrive && !variant::kOlder)) {
    changeDirectory(line);
    return;
  }
  FixedIString path = directory();
  if (!appendPathComponent(path, line)) return;
  gEmulator.loadRom(path);
  if (owner) owner->selectTab(0);
}
