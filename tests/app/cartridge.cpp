// The real program with a cartridge, driven by keys as a user would: the
// start dialog, running and stopping with the keypad reaching the guest,
// stepping forwards and backwards, a breakpoint from the command line, the
// screenshot key, and the picture in a real window.

#include <gtest/gtest.h>

#include <cstring>

#include "support/child.h"
#include "support/tempdir.h"

using namespace testsupport;

namespace {

const char* const kDummy = "SDL_VIDEODRIVER=dummy";

std::string press(const std::string& key) { return "press " + key + "\n"; }

// Shift held long enough for the program to read the key with it, even on
// a busy machine (the modifiers are taken when the key is read).
std::string shifted(const std::string& key) {
  return "down Left Shift\nwait 200\npress " + key + "\nwait 800\nup Left Shift\nwait 200\n";
}

std::string typeText(const std::string& text) {
  std::string s;
  for (char c : text) s += c == ' ' ? press("Space") : press(std::string(1, char(std::toupper(c))));
  return s;
}

// Shift+D, the range, Enter: a memory dump appended to "dump.txt".
std::string dump(const std::string& range) {
  return shifted("D") + typeText(range) + press("Return") + "wait 600\n";
}

const char* const kQuit = "wait 300\ndown Left Alt\nwait 200\npress Q\nup Left Alt\n";

// The second cell (the word at the range's start + 4) of every dump line.
std::vector<std::string> secondCells(const std::string& text) {
  std::vector<std::string> cells;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.size() > 31 && line[8] == ':') cells.push_back(line.substr(21, 8));
  return cells;
}

class Cartridge : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"eng.bmp", "dlg_eng.bmp", "mouse.bmp"})
      std::filesystem::copy_file(std::string(VANDREL_BINARY_DIR) + "/" + f, f);
  }
  ScopedTempDir dir_;
  const std::string rom_ = "-ar" + guestImage("keypad");
};

TEST_F(Cartridge, StartDialogTakesTheKeysUntilEnter) {
  // The first Shift+D and its line go to the start dialog, whose Enter only
  // closes it; the second one dumps.
  const std::string script = "wait 300\n" + dump("3000000 3000004") + dump("3000000 3000004") + kQuit;
  EXPECT_EQ(finishChild(startChild({programPath("vandrel")}, {kDummy, eventScript(script)})), 0);
  const std::string text = fileText("dump.txt");
  EXPECT_EQ(text.find("====== Memory Dump  3000000 - 3000004:\n"), 0u) << text;
  EXPECT_EQ(text.find("======", 1), std::string::npos) << text;
}

TEST_F(Cartridge, RunsWithTheKeypadStopsTakesAScreenshotAndKeepsTheOptions) {
  // F5 runs; Enter held is Start on the keypad; F5 stops; the guest's copy
  // of KEYINPUT shows Start pressed (bit 3 clear).
  const std::string script = "wait 300\n" + press("F5") + "wait 400\ndown Return\nwait 600\n" + press("F5") +
                             "wait 100\nup Return\nwait 200\n" + dump("3000000 3000008") + press("P") + kQuit;
  EXPECT_EQ(finishChild(startChild({programPath("vandrel"), rom_}, {kDummy, eventScript(script)})), 0);
  const std::string text = fileText("dump.txt");
  EXPECT_NE(text.find("03000000:  000003f7  "), std::string::npos) << text;
  const std::vector<std::string> counts = secondCells(text);
  ASSERT_EQ(counts.size(), 1u) << text;
  EXPECT_NE(counts[0], "00000000");  // the loop went round
  const std::string bmp = fileText("screen.bmp");
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_NE(fileText("dbgout.txt").find("Screenshot detected.\n"), std::string::npos);
  const std::string cfg = fileText("kez.cfg");
  for (const char* option : {"Video Width\t640\n", "Video Height\t480\n", "Run app mode switch\t1\n",
                             "Run app in windowed mode\t0\n", "Sound Enable\t1\n", "Memory Format\t2\n"})
    EXPECT_NE(cfg.find(option), std::string::npos) << option << cfg;
}

TEST_F(Cartridge, BreakpointSwitchStopsTheRunAndStepsGoBothWays) {
  // The breakpoint sits on the store of the pass count: the run stops before
  // the first store, F9 stores 1, Shift+F9 takes it back.
  const std::string script = "wait 300\n" + press("F5") + "wait 500\n" + dump("3000000 3000004") +
                             press("F9") + "wait 300\n" + dump("3000000 3000004") + shifted("F9") +
                             "wait 300\n" + dump("3000000 3000004") + kQuit;
  EXPECT_EQ(
      finishChild(startChild({programPath("vandrel"), rom_, "-abx8000054"}, {kDummy, eventScript(script)})),
      0);
  const std::vector<std::string> counts = secondCells(fileText("dump.txt"));
  EXPECT_EQ(counts, (std::vector<std::string>{"00000000", "00000001", "00000000"})) << fileText("dump.txt");
}

// Pixels of an XWD dump of the root window as 0xRRGGBB.
std::vector<uint32_t> xwdPixels(const std::string& file) {
  auto be32 = [&](size_t at) {
    return uint32_t(uint8_t(file[at])) << 24 | uint32_t(uint8_t(file[at + 1])) << 16 |
           uint32_t(uint8_t(file[at + 2])) << 8 | uint32_t(uint8_t(file[at + 3]));
  };
  std::vector<uint32_t> out;
  if (file.size() < 100) return out;
  const uint32_t headerSize = be32(0), width = be32(16), height = be32(20), byteOrder = be32(28);
  const uint32_t bpp = be32(44), bytesPerLine = be32(48), ncolors = be32(76);
  const uint32_t red = be32(56), green = be32(60), blue = be32(64);
  if (bpp != 32 && bpp != 24) return out;
  const size_t data = headerSize + size_t(ncolors) * 12;
  auto shiftOf = [](uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
      mask >>= 1;
      ++s;
    }
    return s;
  };
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = data + size_t(y) * bytesPerLine + size_t(x) * (bpp / 8);
      if (at + bpp / 8 > file.size()) return out;
      uint32_t p = 0;
      for (uint32_t b = 0; b < bpp / 8; ++b) {
        const uint32_t byte = uint8_t(file[at + b]);
        p |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bpp / 8 - 1 - b));
      }
      out.push_back(((p & red) >> shiftOf(red)) << 16 | ((p & green) >> shiftOf(green)) << 8 |
                    ((p & blue) >> shiftOf(blue)));
    }
  return out;
}

// Red and white pixels of the X screen, as the cartridge draws them.
struct Colours {
  size_t red = 0, white = 0;
};
Colours screenColours(const std::string& display) {
  Colours c;
  const std::string cmd = "xwd -root -silent -display " + display + " > shot.xwd 2>/dev/null";
  if (system(cmd.c_str()) != 0) return c;
  for (uint32_t p : xwdPixels(fileText("shot.xwd"))) {
    const uint32_t r8 = p >> 16, g8 = (p >> 8) & 0xFF, b8 = p & 0xFF;
    if (r8 > 200 && g8 < 40 && b8 < 40) ++c.red;
    if (r8 > 200 && g8 > 200 && b8 > 200) ++c.white;
  }
  return c;
}

// Full screen in run mode's own 320 x 240 mode, and in a window on the
// debugger's display at the app window's place.
TEST_F(Cartridge, PlaysInARealWindowUnderXvfb) {
  if (system("command -v Xvfb >/dev/null 2>&1 && command -v xwd >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "Xvfb or xwd is not installed";
  struct Case {
    const char* config;
    size_t red, white;  // at least, on a 1024 x 768 screen
  };
  const Case cases[] = {
      {"", 100000, 10000},
      {"Run app in windowed mode\t1\nRun app mode switch\t0\n", 20000, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    std::ofstream("kez.cfg", std::ios::trunc) << c.config;
    PrivateXServer x;
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    const Child r = startChild({programPath("vandrel"), rom_, "-ag"},
                               {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "DISPLAY=" + x.display()});
    Colours seen;
    // Waits for the picture itself, as long as a loaded machine needs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline && !childEnded(r) &&
           (seen.red < c.red || seen.white < c.white)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      seen = screenColours(x.display());
    }
    EXPECT_GE(seen.red, c.red);
    EXPECT_GE(seen.white, c.white);
    kill(r.pid, SIGTERM);
    EXPECT_EQ(finishChild(r), 0);
  }
}

}  // namespace
