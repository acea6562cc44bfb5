// vandrel-run: the headless runner.  Loads a cartridge (and a BIOS image if
// given), runs slices until a frame count, a cycle count or an address is
// reached, then prints the registers.  ROM test suites and later work use it.
//
//   vandrel-run ROM [--bios FILE] [--frames N] [--cycles N] [--until HEXADDR]
//                   [--skip-startup] [--quiet]
//
// Without a stop condition it runs 60 frames.  Exit status: 0 when the stop
// condition was reached, 1 on a bad command line or unreadable file, 2 when
// the run ended for another reason (the guest asked to stop, the safety
// limit of cycles was reached).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/emulator.h"

namespace {

void usage() {
  std::fprintf(stderr,
               "usage: vandrel-run ROM [--bios FILE] [--frames N] [--cycles N] [--until HEXADDR] "
               "[--skip-startup] [--quiet]\n");
}

u32 gFrames = 0;

// A whole decimal count; false for anything else ("", "12x", "-1").
bool parseCount(const char* text, long long& out) {
  if (!*text) return false;
  unsigned long long n = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9' || n > (1ull << 62)) return false;
    n = n * 10 + unsigned(*p - '0');
  }
  out = (long long)n;
  return true;
}

// One to eight hexadecimal digits, with or without 0x.
bool parseHexAddress(const char* text, long long& out) {
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
  const std::size_t n = std::strlen(text);
  if (n == 0 || n > 8 || std::strspn(text, "0123456789abcdefABCDEF") != n) return false;
  out = (long long)std::strtoull(text, nullptr, 16);
  return true;
}

[[noreturn]] void badValue(const char* option, const char* what, const char* text) {
  std::fprintf(stderr, "vandrel-run: %s needs %s, not '%s'\n", option, what, text);
  std::exit(1);
}

void printRegisters(ArmCpu& cpu) {
  for (u32 r = 0; r < 16; ++r) {
    std::printf("r%-2u %08x%s", r, cpu.reg(r), r % 4 == 3 ? "\n" : "  ");
  }
  u32 c = cpu.cpsr();
  std::printf("cpsr %08x [%c%c%c%c%c%c%c mode %02x]  spsr %08x\n", c, c & 0x80000000 ? 'N' : '-',
              c & 0x40000000 ? 'Z' : '-', c & 0x20000000 ? 'C' : '-', c & 0x10000000 ? 'V' : '-',
              c & 0x80 ? 'I' : '-', c & 0x40 ? 'F' : '-', c & 0x20 ? 'T' : '-', c & 31, cpu.reg(kRegSpsr));
  std::printf("cycles %u  frames %u  status %08x\n", gCycleCount, gFrames, gRunStatus);
}

}  // namespace

int main(int argc, char** argv) {
  std::string rom, bios;
  long long frames = -1, cycles = -1;
  long long untilAddress = -1;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vandrel-run: %s needs a value\n", what);
        std::exit(1);
      }
      return argv[++i];
    };
    if (a == "--bios") bios = value("--bios");
    else if (a == "--frames" || a == "--cycles") {
      const char* text = value(a.c_str());
      if (!parseCount(text, a == "--frames" ? frames : cycles)) badValue(a.c_str(), "a number", text);
    } else if (a == "--until") {
      const char* text = value("--until");
      if (!parseHexAddress(text, untilAddress)) badValue("--until", "a hexadecimal address", text);
    }
    else if (a == "--skip-startup") setSkipStartupOption(1);
    else if (a == "--quiet") quiet = true;
    else if (a == "--help" || a == "-h") {
      usage();
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "vandrel-run: unknown option %s\n", a.c_str());
      usage();
      return 1;
    } else if (rom.empty()) rom = a;
    else {
      usage();
      return 1;
    }
  }
  if (rom.empty()) {
    usage();
    return 1;
  }
  if (frames < 0 && cycles < 0 && untilAddress < 0) frames = 60;
  Emulator& emu = gEmulator;
  emu.commitJournal();
  std::string problem;
  if (bios.empty()) problem = emu.memory().biosProblem();  // a "gba.rom" here that cannot be taken
  else emu.memory().loadBios(bios, &problem);
  if (problem.empty()) emu.loadRom(rom, &problem);
  if (!problem.empty()) {
    std::fprintf(stderr, "vandrel-run: %s\n", problem.c_str());
    return 1;
  }
  // Frames are drawn line by line and handed to no display.
  emu.video().reset();
  emu.video().setPresentMode(2);
  if (untilAddress >= 0) emu.breakpoints().setBits(u32(untilAddress), 4, 1, kBreakExecute, true);
  gStopMask = kStopRunning;
  // A safety limit: ten minutes of console time.
  const unsigned long long limit = cycles >= 0 ? (unsigned long long)cycles : 16777216ull * 600;
  unsigned long long total = 0;
  emu.setFramePresenter([](i32, i32) { ++gFrames; });
  const u32 startFrames = gFrames;
  int result = 2;
  for (;;) {
    u32 before = gCycleCount;
    emu.runSlice();
    total += u32(gCycleCount - before);
    if (untilAddress >= 0 && (gRunStatus & 0x20) && emu.cpu().pc() == u32(untilAddress)) {
      result = 0;
      break;
    }
    if (gRunStatus & 0x40) break;  // the guest asked to stop
    if (frames >= 0 && gFrames - startFrames >= frames) {
      result = 0;
      break;
    }
    if (total >= limit) {
      result = cycles >= 0 ? 0 : 2;
      break;
    }
  }
  if (!quiet) printRegisters(emu.cpu());
  return result;
}
