#include "general/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

struct Case {
  const char* line;
  const char* directory;
  Strings switches;
  Strings eValues;
};

TEST(CommandLine, ParsesProgramDirectoryAndSwitches) {
  const Case cases[] = {
      {"\"C:\\My Games\\emu.exe\" -arC:\\roms\\game.gba -g",
       "C:/My Games",
       {"arC:\\roms\\game.gba", "g"},
       {}},
      {"emu.exe -e5 -E7 -g", "", {"g"}, {"5", "7"}},
      {"/usr/bin/vandrel -ar\"/roms/my game.gba\" -g", "/usr/bin", {"ar/roms/my game.gba", "g"}, {}},
      {"emu a-b", "", {"b"}, {}},
      {"emu - -g", "", {"", "g"}, {}},
      {"emu -", "", {""}, {}},
      {"emu -e", "", {}, {""}},
      {"emu", "", {}, {}},
      {"", "", {}, {}},
      {"dir/emu\t-g", "dir", {}, {}},  // a tab does not end the path, so it swallows -g
      {"a/b/emu -abrw8000000\t-ac", "a/b", {"abrw8000000", "ac"}, {}},
      {"\"dir with blank/emu\"", "dir with blank", {}, {}},
      {"\"unterminated/emu -g", "unterminated", {}, {}},
      {"emu -ar\"a\tb\"x -g", "", {"ara\tbx", "g"}, {}},
      {"c:\\x\\emu.exe -g -ar\"unclosed name -g", "c:/x", {"g", "arunclosed name -g"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const ParsedCommandLine p = parseCommandLine(c.line, 4096);
    EXPECT_EQ(p.programDirectory, c.directory);
    EXPECT_EQ(p.switches, c.switches);
    EXPECT_EQ(p.eSwitchValues, c.eValues);
  }
}

TEST(CommandLine, LongPathAndValuesAreCutToTheirBuffers) {
  const std::string longDir(5000, 'd');
  const std::string line = longDir + "/emu -ar" + std::string(300, 'x') + " -g";
  const ParsedCommandLine p = parseCommandLine(line.c_str(), 260);
  EXPECT_EQ(p.programDirectory, std::string(259, 'd'));
  ASSERT_EQ(p.switches.size(), 2u);
  EXPECT_EQ(p.switches[0], "ar" + std::string(254, 'x'));
  EXPECT_EQ(p.switches[1], "g");
}

TEST(CommandLine, RebuiltLineGivesEveryArgumentBack) {
  const char* argv[] = {"/opt/my emu/vandrel", "-ar/roms/my  game.gba", "-g", "-e5", "-ac"};
  const std::string line = rebuildCommandLine(5, argv);
  const ParsedCommandLine p = parseCommandLine(line.c_str(), 4096);
  EXPECT_EQ(p.programDirectory, "/opt/my emu");
  EXPECT_EQ(p.switches, (Strings{"ar/roms/my  game.gba", "g", "ac"}));
  EXPECT_EQ(p.eSwitchValues, Strings{"5"});
}

}  // namespace
