// Configuration options and "kez.cfg".
#include "general/config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/logcapture.h"
#include "support/tempdir.h"

namespace {

void write(const std::string& text) {
  std::ofstream out("kez.cfg", std::ios::binary);
  out << text;
}

std::string narrow(const FixedIString& s) {
  char out[300];
  s.toCString(out, sizeof out);
  return out;
}

int entriesInDirectory() {
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator(".")) n += e.path().filename() != "dbgout.txt";
  return n;
}

// An option built before any static initialiser runs.
constinit ConfigOption<i32> gEarly("Early option", 5);

TEST(ConfigOption, ReadsTheFirstMatchingLine) {
  testsupport::ScopedTempDir dir;
  write(
      "Video Width\t800\n"
      "Video Width\t1024\n"
      "grid\t1\r\n"
      "\t\tLeading tabs\t7\textra\n"
      "Video Height\t70000\n"
      "no tab here\n"
      "Empty value\t\n"
      "Number\t  -12abc\n"
      "Letters\tabc\n"
      "Huge\t99999999999999999999\n"
      "Tiny\t-99999999999999999999\n");
  struct Case {
    const char* name;
    i32 fallback;
    i32 expected;
  } cases[] = {
      {"Video Width", 640, 800}, {"grid", 0, 1},        {"Leading tabs", 0, 7},
      {"no tab here", 3, 3},     {"Empty value", 4, 4}, {"Number", 0, -12},
      {"Letters", 9, 0},         {"Missing", 6, 6},     {"Huge", 0, INT32_MAX},
      {"Tiny", 0, INT32_MIN},    {"video width", 1, 1},
  };
  for (const Case& c : cases) {
    char value[64];
    if (!config::readValue(c.name, value, sizeof value)) {
      EXPECT_EQ(c.fallback, c.expected) << c.name;
      continue;
    }
    EXPECT_EQ(config::parseNumber(value), c.expected) << c.name;
  }
  ConfigOption<u16> height("Video Height", 480);
  EXPECT_EQ(height.value(), 4464);  // low 16 bits of 70000
  ConfigOption<i32> width("Video Width", 640);
  EXPECT_EQ(width.value(), 800);
  EXPECT_EQ(gEarly.value(), 5);
}

TEST(ConfigOption, RewriteReplacesEveryLineAndNormalises) {
  testsupport::ScopedTempDir dir;
  write(
      "Video Width\t800\n"
      "grid\t1\r\n"
      "comment without a tab\n"
      "Video Width\t1024\textra\n"
      "Other\t2\t3\n"
      "Tail without newline");
  {
    ConfigOption<i32> width("Video Width", 640);
    ConfigOption<i32> grid("grid", 0);
    EXPECT_EQ(width.value(), 800);
    EXPECT_EQ(grid.value(), 1);
    width.value() = 1280;
  }  // grid saves first, then width
  EXPECT_EQ(testsupport::fileText("kez.cfg"),
            "Video Width\t1280\n"
            "grid\t1\n"
            "comment without a tab\n"
            "Video Width\t1280\n"
            "Other\t2\n"
            "Tail without newline\n");
  EXPECT_EQ(entriesInDirectory(), 1);  // no temporary file left
}

// A line longer than any buffer stays one line; it is not split into a
// second, misread one.
TEST(ConfigOption, LongLinesSurviveARewrite) {
  testsupport::ScopedTempDir dir;
  std::string longValue(3000, 'v');
  std::string longLine = "Long\t" + longValue + "grid\t5\n";
  write(longLine + "grid\t1\n");
  {
    ConfigOption<i32> grid("grid", 0);
    EXPECT_EQ(grid.value(), 1);
    grid.value() = 2;
  }
  // (Text after a second tab is dropped as on every rewrite.)
  EXPECT_EQ(testsupport::fileText("kez.cfg"), "Long\t" + longValue + "grid\ngrid\t2\n");
}

TEST(ConfigOption, WithoutAFileEachOptionAppendsItsLine) {
  testsupport::ScopedTempDir dir;
  {
    ConfigOption<i32> a("Skip startup", 0);
    ConfigOption<u16> b("Video Width", 640);
    ConfigOption<FixedIString> c("ROM search directory", "./");
  }
  EXPECT_EQ(testsupport::fileText("kez.cfg"), "ROM search directory\t./\nVideo Width\t640\nSkip startup\t0\n");
}

TEST(ConfigOption, TextValues) {
  testsupport::ScopedTempDir dir;
  std::string long300(300, 'd');
  write("ROM search directory\t" + long300 + "\n");
  {
    ConfigOption<FixedIString> dirOption("ROM search directory", "./");
    EXPECT_EQ(dirOption.value().length(), 256u);
  }
  EXPECT_EQ(testsupport::fileText("kez.cfg"), "ROM search directory\t" + std::string(255, 'd') + "\n");

  write("Name\tgood\nOther\t1\n");
  {
    ConfigOption<FixedIString> name("Name", "x");
    EXPECT_EQ(narrow(name.value()), "good");
    name.value().assignText("bad\tvalue");
  }
  EXPECT_EQ(testsupport::fileText("kez.cfg"), "Name\tgood\nOther\t1\n");  // the old line stays
  {
    ConfigOption<FixedIString> name("Name", "x");
    name.value().assignText("\xE9t\xE9");
  }
  EXPECT_EQ(testsupport::fileText("kez.cfg"), "Name\t\xE9t\xE9\nOther\t1\n");
  {
    ConfigOption<FixedIString> back("Name", "x");
    EXPECT_EQ(back.value().at(0), 0xFFE9);
  }

  // An empty text reads back as the default, and saving it again replaces
  // its line rather than adding one.
  for (int run = 0; run < 2; ++run) {
    ConfigOption<FixedIString> name("Name", "x");
    EXPECT_EQ(narrow(name.value()), run == 0 ? "\xE9t\xE9" : "x");
    name.value().clear();
  }
  EXPECT_EQ(testsupport::fileText("kez.cfg"), "Name\t\nOther\t1\n");
}

TEST(ConfigOption, FailedSaveKeepsTheOldFileAndSaysSo) {
  testsupport::ScopedTempDir dir;
  using std::filesystem::perms;
  write("grid\t1\n");
  // A read-only directory, then a read-only file (root included).
  for (const char* locked : {".", "kez.cfg"}) {
    std::filesystem::permissions(locked, perms::owner_read | perms::owner_exec);
    testsupport::LogCapture log;
    {
      ConfigOption<i32> grid("grid", 0);
      grid.value() = 0;
    }
    std::filesystem::permissions(locked, perms::owner_read | perms::owner_write | perms::owner_exec);
    EXPECT_EQ(testsupport::fileText("kez.cfg"), "grid\t1\n") << locked;
    EXPECT_NE(log.text().find("Unable to save the option grid: kez.cfg was left as it was.\n"), std::string::npos)
        << locked;
    EXPECT_EQ(entriesInDirectory(), 1) << locked;
  }

  // A "kez.cfg" that is a directory cannot be replaced: nothing is left over.
  std::filesystem::remove_all("kez.cfg");
  std::filesystem::create_directory("kez.cfg");
  EXPECT_FALSE(config::writeValue("grid", "1"));
  EXPECT_EQ(entriesInDirectory(), 1);
  char value[8];
  EXPECT_FALSE(config::readValue("grid", value, sizeof value));
}

// A "kez.cfg" kept elsewhere through a symbolic link is written there.
TEST(ConfigOption, ALinkedFileStaysALink) {
  testsupport::ScopedTempDir dir;
  std::filesystem::create_directory("dotfiles");
  std::ofstream("dotfiles/kez.cfg") << "grid\t1\n";
  std::filesystem::create_symlink("dotfiles/kez.cfg", "kez.cfg");
  {
    ConfigOption<i32> grid("grid", 0);
    EXPECT_EQ(grid.value(), 1);
    grid.value() = 0;
  }
  EXPECT_TRUE(std::filesystem::is_symlink("kez.cfg"));
  EXPECT_EQ(testsupport::fileText("dotfiles/kez.cfg"), "grid\t0\n");
}

// A NUL inside a line's name must not turn it into a second line of an
// option's name, which would shadow the value just saved.
TEST(ConfigOption, ALineWithANulNeverStandsForAnOption) {
  testsupport::ScopedTempDir dir;
  const std::string strange("grid\0x\t7\n", 9);
  write(strange + "Other\t2\n");
  {
    ConfigOption<i32> grid("grid", 0);
    ConfigOption<i32> other("Other", 0);
    EXPECT_EQ(grid.value(), 0);
    grid.value() = 1;
  }  // other saves first, then grid
  EXPECT_EQ(testsupport::fileText("kez.cfg"), strange + "Other\t2\ngrid\t1\n");
  ConfigOption<i32> again("grid", 0);
  EXPECT_EQ(again.value(), 1);
}

}  // namespace
