#include "debugger/loadpane.h"

#include <string>
#include <utility>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/windows.h"
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

namespace {

// The text of a listing entry without its kind character.
bool isName(const FixedIString& entry, const char* name) {
  FixedIString plain;
  for (u32 i = 0; i < entry.length(); ++i)
    if (entry.at(i) >= 15) plain.appendChar16(entry.at(i));
  FixedIString wanted;
  wanted.assignText(name);
  return plain == wanted;
}

// ".." where cutting the last component would be wrong: a relative path
// that ends in "." or ".." (the default "./" among them) grows by "/..", and
// a relative path of one name becomes ".", so neither jumps to the root.
// False when cutting is right.
bool relativeParent(FixedIString& path) {
  u32 n = path.length();
  while (n > 0 && path.at(n - 1) == '/') --n;
  if (n == 0 || path.at(0) == '/') return false;
  u32 start = n;
  while (start > 0 && path.at(start - 1) != '/') --start;
  const u32 length = n - start;
  const bool dots = (length == 1 && path.at(start) == '.') ||
                    (length == 2 && path.at(start) == '.' && path.at(start + 1) == '.');
  if (dots) {
    if (n + 3 > FixedIString::kCapacity) return true;  // too long: unchanged
    path.removeLast(path.length() - n);
    path.appendText("/..");
    return true;
  }
  if (start == 0) {
    path.assignText(".");
    return true;
  }
  return false;
}

}  // namespace

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
    if (!isName(entry, "..") || !relativeParent(path)) appendPathComponent(path, entry);
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
  // A file that cannot be a cartridge is said in the Warnings tab, which
  // then stays in front; the cartridge in before stays loaded.
  std::string problem;
  if (!loadCartridge(path, &problem)) {
    FixedIString warning;
    warning.assignTextClipped(problem.c_str());
    postWarning(warning);
    return;
  }
  if (owner) owner->selectTab(0);
}
