// The SDL display in a real X server: draws text, a frame and the cursor at
// 320 x 240 in a 640 x 480 window, reads the screen back with xwd, and
// compares it, each picture pixel a 2 x 2 block, with the same drawing on the
// memory display.  Skipped when Xvfb or xwd is not installed.

#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bmpfile.h"
#include "general/draw.h"
#include "general/text.h"
#include "pictures.h"
#include "platform/window.h"
#include "support/tempdir.h"

extern char** environ;

namespace {

bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    std::string dir = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

// An Xvfb of its own; it picks a free display and tells its number.
class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                          "800x600x24", "-nolisten",  "tcp",      nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      close(fds[0]);
      close(fds[1]);
      return;
    }
    pid_ = pid;
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~Xvfb() {
    if (pid_) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = 0;
  std::string display_;
};

struct Screen {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB
};

uint32_t be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}

// Reads an xwd dump of a TrueColor screen of 24 or 32 bits per pixel.
bool readXwd(const std::string& s, Screen* out) {
  if (s.size() < 100) return false;
  const uint32_t headerSize = be32(s, 0), format = be32(s, 8), width = be32(s, 16), height = be32(s, 20);
  const uint32_t byteOrder = be32(s, 28), bitsPerPixel = be32(s, 44), bytesPerLine = be32(s, 48);
  const uint32_t masks[3] = {be32(s, 56), be32(s, 60), be32(s, 64)};
  const uint32_t colours = be32(s, 76);
  if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24)) return false;
  const uint32_t bytes = bitsPerPixel / 8;
  const size_t data = size_t(headerSize) + size_t(colours) * 12;
  if (s.size() < data + size_t(bytesPerLine) * height) return false;
  out->width = width;
  out->height = height;
  out->rgb.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p =
          reinterpret_cast<const uint8_t*>(s.data() + data + size_t(y) * bytesPerLine + bytes * x);
      uint32_t v = 0;
      for (uint32_t i = 0; i < bytes; ++i) v |= uint32_t(p[byteOrder == 0 ? i : bytes - 1 - i]) << (8 * i);
      uint32_t rgb = 0;
      for (uint32_t m : masks) rgb = rgb << 8 | ((v & m) >> std::countr_zero(m) & 0xFF);
      out->rgb[size_t(y) * width + x] = rgb;
    }
  return true;
}

// The same picture on whatever display gView has: a grey status area, text
// with colour codes and a tab, a tab frame in lines and box glyphs, and the
// mouse cursor as an overlay.  Drawn on both pages.
void drawScene(uint32_t font, SpriteBitmap& cursor) {
  for (int page = 0; page < 2; ++page) {
    gView.fill(0, nullptr);
    Rect band{0, 228, 320, 12};
    gView.fill(gView.rgb(0.75f, 0.75f, 0.75f), &band);
    setTabStop(0, 200);
    drawText(gView, font, 4, 4, gView.rgb(1, 1, 1), u"Vandrel \x02red \x03green\t\x0Bplain ?!", 4);
    drawText(gView, font, 4, 20, gView.rgb(0, 0, 1),
             std::u16string{6, u'0', u'x', 14, 0x001F, u'7', 12, 0x7C00, u'F'}, 4);
    const uint16_t blue = gView.rgb(0, 0, 1);
    drawLine(gView, blue, 10, 60, 10, 200);
    drawLine(gView, blue, 10, 200, 300, 200);
    drawLine(gView, blue, 300, 60, 300, 200);
    drawText(gView, font, 11, 48, blue, std::u16string{19, 19, 19, 19, 19, 19}, 4);
    drawText(gView, font, 11, 48, blue, std::u16string{16, 18, 18, 18, 18, 17}, 5);
    drawText(gView, font, 19, 48, gView.rgb(1, 1, 0), u"Code", 5);
    drawText(gView, font, 300, 100, gView.rgb(1, 0, 0), u"clipped at the edge", 4);
    BlitOptions o;
    o.mode = 1;
    cursor.drawOn(gView, 150, 120, o);
    gView.present();
  }
}

// How many window pixels differ from the picture, each picture pixel shown
// as a 2 x 2 block at (wx, wy); the first few are described in *where.
int mismatchesOf(const Screen& screen, int wx, int wy, const std::vector<uint16_t>& expected,
                 std::string* where) {
  if (screen.width < uint32_t(wx) + 640 || screen.height < uint32_t(wy) + 480) return -1;
  int mismatches = 0;
  for (uint32_t y = 0; y < 240; ++y)
    for (uint32_t x = 0; x < 320; ++x) {
      const uint16_t p = expected[y * 320 + x];
      for (uint32_t d = 0; d < 4; ++d) {
        uint32_t rgb = screen.rgb[size_t(wy + 2 * y + d / 2) * screen.width + wx + 2 * x + d % 2];
        uint16_t seen = uint16_t(((rgb >> 19) & 31) << 11 | ((rgb >> 10) & 63) << 5 | ((rgb >> 3) & 31));
        if (seen != p && mismatches++ < 5) {
          char text[80];
          std::snprintf(text, sizeof text, " (%u,%u): screen %04x, memory %04x", x, y, seen, p);
          *where += text;
        }
      }
    }
  return mismatches;
}

TEST(SdlDisplay, MatchesTheMemoryDisplayInARealWindow) {
  if (!onPath("Xvfb") || !onPath("xwd")) GTEST_SKIP() << "Xvfb or xwd is not installed";
  pictures::ScopedDisplay scoped;
  testsupport::ScopedTempDir dir;
  const std::string assets = VANDREL_ASSET_DIR;

  // The picture on the memory display first.
  platform::MemoryDisplay* memory = pictures::memoryView(320, 240);
  SpriteBitmap cursor;
  ASSERT_TRUE(cursor.loadBitmapFile((assets + "/mouse.bmp").c_str()));
  drawScene(loadFont((assets + "/eng.bmp").c_str(), 8, 12, 256), cursor);
  const std::vector<uint16_t> expected(memory->buffers().shown(), memory->buffers().shown() + 320 * 240);
  int inked = 0;
  for (uint16_t p : expected) inked += p != 0;
  EXPECT_GT(inked, 320 * 12);  // the scene is really there
  freeFonts();

  Xvfb server;
  if (server.display().empty()) GTEST_SKIP() << "no Xvfb could be started";
  // Quitting video would pull a program window from under the platform.
  if (platform::sdlWindow()) GTEST_SKIP() << "a program window is open";
  // Everything of SDL goes before the server does, whatever fails; SDL's
  // video, which earlier tests may have left running on the dummy driver,
  // and the environment come back as they were.
  struct Sdl {
    explicit Sdl(const std::string& display) {
      for (const char* name : {"DISPLAY", "SDL_VIDEODRIVER"}) {
        const char* v = std::getenv(name);
        saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
      }
      for (; SDL_WasInit(SDL_INIT_VIDEO); ++videoUsers) SDL_QuitSubSystem(SDL_INIT_VIDEO);
      setenv("DISPLAY", display.c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);
#if defined(__SANITIZE_ADDRESS__)
      // Mesa's software driver, which the window's renderer loads and
      // unloads again, keeps a few blocks for good.  Held loaded, it can be
      // named, and tools/lsan.supp leaves out its blocks and only those.
      dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
#endif
      started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    ~Sdl() {
      releaseDisplayAll();
      if (window) SDL_DestroyWindow(window);
      if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
      for (const auto& [name, value] : saved)
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
      for (int i = 0; i < videoUsers; ++i) SDL_InitSubSystem(SDL_INIT_VIDEO);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    int videoUsers = 0;
    bool started = false;
    SDL_Window* window = nullptr;
  } sdl(server.display());
  ASSERT_TRUE(sdl.started) << SDL_GetError();
  SDL_Window* window = sdl.window = SDL_CreateWindow("display test", 0, 0, 640, 480, SDL_WINDOW_BORDERLESS);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  gView.useBackend(platform::makeSdlDisplay(window));
  ASSERT_TRUE(gView.setScreenMode(320, 240, 2, false));
  drawScene(loadFont((assets + "/eng.bmp").c_str(), 8, 12, 256), cursor);

  // Until the window is mapped and drawn, show the last page again and look.
  const std::string command = "xwd -root -silent -display " + server.display() + " -out screen.xwd";
  int mismatches = -1;
  std::string where;
  for (int attempt = 0; attempt < 40 && mismatches != 0; ++attempt) {
    SDL_PumpEvents();
    displayRepaint();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(std::system(command.c_str()), 0);
    Screen screen;
    ASSERT_TRUE(readXwd(bmpfile::read("screen.xwd"), &screen));
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(window, &wx, &wy);
    where.clear();
    mismatches = mismatchesOf(screen, wx, wy, expected, &where);
  }
  EXPECT_EQ(mismatches, 0) << where;
  freeFonts();
}

}  // namespace
