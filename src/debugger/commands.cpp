#include "debugger/commands.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/armdis.h"
#include "debugger/formats.h"
#include "debugger/prompt.h"
#include "debugger/windows.h"
#include "general/language.h"

namespace {

constexpr const char* kBreakpointParseError = "Parse Error:  breakpoints have the format [rwx] <address>.";
constexpr const char* kEditUsage =
    "Specify the address you'd like to modify, followed by the value, followed by b(byte), h(halfword), or "
    "w(word).";
constexpr const char* kRangeUsage =
    "Dump commands expect two addresses [low] [high] (omit brackets, include space).";
constexpr const char* kRangeTooLarge = "A dump covers at most 100000 bytes (hexadecimal); split a larger range.";
// The emulation stands while a dump is written: a mistyped range must not
// fill the disk.  1 MB is a whole region's worth of I/O, palette, VRAM or
// OAM many times over and an eighth of the cartridge.
constexpr u32 kMaxDumpRange = 0x100000;

bool isSpace(u16 c) { return c < 256 && std::isspace(c); }

int hexDigit(u16 c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The low bytes of the characters [first, end) as text for the core's parser.
std::string bytesOf(const FixedIString& text, u32 first, u32 end) {
  std::string s;
  for (u32 i = first; i < end && i < text.length(); ++i) s.push_back(char(text[i] & 0xFF));
  return s;
}

// The line split at its first white space into two texts.
struct Split {
  u32 firstEnd;     // end of the first text
  u32 secondStart;  // start of the rest; the line's length when there is none
  bool hasSpace;
};
Split split(const FixedIString& line) {
  Split s{line.length(), line.length(), false};
  for (u32 i = 0; i < line.length(); ++i)
    if (isSpace(line[i])) {
      s.firstEnd = i;
      s.hasSpace = true;
      break;
    }
  u32 j = s.firstEnd;
  while (j < line.length() && isSpace(line[j])) ++j;
  s.secondStart = j;
  return s;
}

// The bytes of text as 8-bit output (at most 1023).
void writeBytes(FILE* f, const FixedIString& text) {
  char out[1024];
  u32 n = 0;
  for (u32 i = 0; i < text.length() && n < sizeof out - 1; ++i) out[n++] = char(text[i] & 0xFF);
  out[n] = 0;
  std::fprintf(f, "%s\n", out);
}

bool parseRange(u32& low, u32& high) {
  const Split s = split(gPromptLine);
  low = parseHex(gPromptLine, 0, s.firstEnd);
  high = parseHex(gPromptLine, s.secondStart);
  if (low > high) {
    postWarningText(kRangeUsage);
    return false;
  }
  if (high - low > kMaxDumpRange) {
    postWarningText(kRangeTooLarge);
    return false;
  }
  return true;
}

// A dump file opened for appending; close reports whether everything
// reached the disk, and a dump that did not is cut off again, so the file
// holds whole dumps only.
struct DumpFile {
  explicit DumpFile(const char* name) : name(name), f(std::fopen(name, "a")) {
    if (f && std::fseek(f, 0, SEEK_END) == 0) start = std::ftell(f);
  }
  bool close() {
    bool ok = !std::ferror(f);
    ok = std::fclose(f) == 0 && ok;
    if (!ok && start >= 0) {
      if (truncate(name, start) != 0) {
        // A device such as /dev/full cannot be cut; nothing more to do.
      }
    }
    return ok;
  }
  const char* name;
  std::FILE* f;
  long start = -1;
};

void writeHeader(FILE* f, const char* english, u32 low, u32 high) {
  char title[1024];
  std::snprintf(title, sizeof title, "%s", translate(english));
  std::fprintf(f, "%s %x - %x:\n", title, low, high);
}

// Host bytes behind a debugger write through the read tables, or null.
u8* debuggerTarget(u32 address, u32 size) {
  const u32 region = address >> 24;
  if (region >= 16) return nullptr;
  Arena& arena = gEmulator.memory().arena();
  const u32 baseOffset = arena.readBase[region];
  const u32 masked = address & gEmulator.memory().regionMask(region);
  AreaPlace place;
  if (baseOffset == 0 || !placeInArea(region, masked, gEmulator.memory().readSize(region), place) ||
      place.end - place.offset < size)
    return nullptr;
  return arena.byte(baseOffset + place.offset);
}

// A write into the code the processor has translated must show when it
// next runs that code: translated blocks are dropped after every edit.
void afterDebuggerWrite() { gEmulator.cpu().flushBlocks(); }

}  // namespace

u32 parseHex(const FixedIString& text, u32 first, u32 end) {
  u32 value = 0;
  for (u32 i = first; i < end && i < text.length(); ++i) {
    const u16 c = text[i];
    if (c < 32) continue;
    const int d = hexDigit(c);
    if (d < 0) break;
    value = (value << 4) | u32(d);
  }
  return value;
}

void breakpointCommand() {
  u32 kinds = 0, length = 4;
  u32 i = 0;
  for (; i < gPromptLine.length() && gPromptLine[i] != ' '; ++i) {
    const u16 c = gPromptLine[i];
    if (c < 15) continue;
    if (c == 'r' || c == 'R')
      kinds |= 1;
    else if (c == 'w' || c == 'W')
      kinds |= 2;
    else if (c == 'x' || c == 'X') {
      kinds |= 4;
      length = 1;
    } else {
      postWarningText(kBreakpointParseError);
      return;
    }
  }
  // Without kinds, or without an address right after the one blank, there
  // is no breakpoint to set: one at address 0 would be a surprise.
  const u32 addressStart = i + 1;
  bool hasAddress = false;
  for (u32 j = addressStart; j < gPromptLine.length(); ++j) {
    if (gPromptLine[j] < 32) continue;
    hasAddress = hexDigit(gPromptLine[j]) >= 0;
    break;
  }
  if (kinds == 0 || !hasAddress) {
    postWarningText(kBreakpointParseError);
    return;
  }
  const u32 address = Emulator::parseAddress(bytesOf(gPromptLine, addressStart, gPromptLine.length()));
  if (gDataWindow) {
    gDataWindow->breakpointsCommand(address, length, kinds);
    gDataWindow->selectTab(DataWindow::kBreakpoints);
  } else {
    gEmulator.breakpoints().setBits(address, length, 1, kinds, true);
  }
}

namespace {
bool gotoAddress(u32& address) {
  if (gPromptLine.length() <= 1) return false;
  address = Emulator::parseAddress(bytesOf(gPromptLine, 0, gPromptLine.length()));
  return address != 0xFFFFFFFF;
}
}  // namespace

void gotoCommand() {
  u32 address;
  if (gotoAddress(address) && gCodeWindow) gCodeWindow->goToAddress(address);
}

void gotoDataWindowCommand() {
  u32 address;
  if (gotoAddress(address) && gDataWindow) gDataWindow->forwardToCurrent(address);
}

void editMemoryCommand() {
  const Split s = split(gPromptLine);
  if (!s.hasSpace || s.secondStart >= gPromptLine.length()) {
    postWarningText(kEditUsage);
    return;
  }
  u32 valueEnd = gPromptLine.length();
  u32 size = 4;
  const u16 last = gPromptLine[valueEnd - 1];
  if (last == 'b' || last == 'B')
    size = 1;
  else if (last == 'h' || last == 'H')
    size = 2;
  if (last == 'b' || last == 'B' || last == 'h' || last == 'H' || last == 'w' || last == 'W') --valueEnd;
  const u32 value = parseHex(gPromptLine, s.secondStart, valueEnd);
  const u32 address = Emulator::parseAddress(bytesOf(gPromptLine, 0, s.firstEnd));
  if (size == 1)
    pokeByte(address, u8(value));
  else if (size == 2)
    pokeHalf(address, u16(value));
  else
    pokeWord(address, value);
  if (gCodeWindow) gCodeWindow->refreshTab(CodeWindow::kDisassembly);
  if (gDataWindow) gDataWindow->refreshTab(DataWindow::kMemory);
  if (gAppWindow) gAppWindow->refreshTab(AppWindow::kRegisters);
}

void pokeByte(u32 address, u8 value) {
  if (u8* p = debuggerTarget(address, 1)) {
    *p = value;
    afterDebuggerWrite();
  }
}

void pokeHalf(u32 address, u16 value) {
  if (u8* p = debuggerTarget(address, 2)) {
    p[0] = u8(value);
    p[1] = u8(value >> 8);
    afterDebuggerWrite();
  }
}

void pokeWord(u32 address, u32 value) {
  if (u8* p = debuggerTarget(address, 4)) {
    for (int i = 0; i < 4; ++i) p[i] = u8(value >> (8 * i));
    afterDebuggerWrite();
  }
}

void disassembleToFile() {
  u32 low, high;
  if (!parseRange(low, high)) return;
  ArmCpu& cpu = gEmulator.cpu();
  const bool thumb = cpu.isThumb();
  const u32 step = thumb ? 2 : 4;
  low &= ~(step - 1);
  high &= ~(step - 1);
  DumpFile file("dis.txt");
  FILE* f = file.f;
  if (!f) {
    postWarningText("Unable to open dis.txt.");
    return;
  }
  writeHeader(f, "====== Disassembly ", low, high);
  GbaMemory& memory = gEmulator.memory();
  // Compared as a count of steps, so a range that ends near the top of the
  // address space cannot wrap round and never end.
  for (u64 address = low; address < high; address += step) {
    const u32 a = u32(address);
    std::string head;
    formatHex8(head, a);
    FixedIString line;
    line.assignTextClipped(head.c_str());
    line.appendText(":  ");
    const u32 op = thumb ? memory.peek16(a) : memory.peek32(a);
    char code[16];
    std::snprintf(code, sizeof code, thumb ? "%04lx  " : "%08lx  ", static_cast<unsigned long>(op));
    line.appendText(code);
    InstructionDecoder::disassemble(cpu, line, a);
    writeBytes(f, line);
  }
  if (!file.close()) postWarningText("Unable to write dis.txt.");
}

void dumpToFile() {
  u32 low, high;
  if (!parseRange(low, high)) return;
  DumpFile file("dump.txt");
  FILE* f = file.f;
  if (!f) {
    postWarningText("Unable to open dump.txt.");
    return;
  }
  writeHeader(f, "====== Memory Dump ", low, high);
  const FormatCode code = memoryFormat();
  const u32 size = formatCellBytes(code);
  GbaMemory& memory = gEmulator.memory();
  // Counted in 64 bits: a range that runs past 0xFFFFFFFF ends there.
  u64 at = low;
  while (at < high) {
    std::fprintf(f, "%08lx:  ", static_cast<unsigned long>(at));
    for (int cell = 0; cell < 16; ++cell) {
      const u32 a = u32(at);
      const u32 value = size == 1 ? memory.peek8(a) : size == 2 ? memory.peek16(a) : memory.peek32(a);
      at += size;
      FixedIString text;
      appendFormattedValue(text, value, code);
      char bytes[257];
      toCString(bytes, text);
      std::fprintf(f, "%s", bytes);
    }
    std::fprintf(f, "\n");
  }
  if (!file.close()) postWarningText("Unable to write dump.txt.");
}
