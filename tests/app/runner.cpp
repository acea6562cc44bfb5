// The headless runner as scripts use it: a bad value or a file that cannot
// be a cartridge or BIOS ends it with one line on stderr and status 1.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/tempdir.h"

using namespace testsupport;

namespace {

struct Outcome {
  int status = -1;
  std::string err;
};

// Runs vandrel-run with args; its stderr goes to a file that is read back.
Outcome run(std::vector<std::string> args) {
  args.insert(args.begin(), programPath("vandrel-run"));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Outcome o;
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    Child c;
    c.pid = pid;
    o.status = finishChild(c, 60);
  }
  posix_spawn_file_actions_destroy(&actions);
  o.err = fileText("stderr.txt");
  return o;
}

class Runner : public ::testing::Test {
 protected:
  ScopedTempDir dir_;
  const std::string rom_ = guestImage("cpuloop");
};

TEST_F(Runner, BadValuesAreRefusedWithALine) {
  const struct {
    std::vector<std::string> args;
    const char* line;
  } cases[] = {
      {{"--until", "zz"}, "vandrel-run: --until needs a hexadecimal address, not 'zz'\n"},
      {{"--until", ""}, "vandrel-run: --until needs a hexadecimal address, not ''\n"},
      {{"--until", "123456789"}, "vandrel-run: --until needs a hexadecimal address, not '123456789'\n"},
      {{"--frames", "12x"}, "vandrel-run: --frames needs a number, not '12x'\n"},
      {{"--cycles", "-1"}, "vandrel-run: --cycles needs a number, not '-1'\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), rom_);
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 1) << c.line;
    EXPECT_EQ(o.err, c.line);
  }
  // Good values still run: 0x prefix or none.
  EXPECT_EQ(run({rom_, "--until", "0x08000000"}).status, 0);
  EXPECT_EQ(run({rom_, "--cycles", "1000"}).status, 0);
}

TEST_F(Runner, FilesThatCannotBeTakenEndItWithALine) {
  std::ofstream("empty.gba").close();
  std::filesystem::create_directory("folder.gba");
  ASSERT_EQ(mkfifo("fifo.gba", 0600), 0);
  std::ofstream("short.bin") << "not a bios";
  const struct {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"empty.gba"}, "vandrel-run: Cartridge not loaded: empty.gba is empty.\n"},
      {{"folder.gba"}, "vandrel-run: Cartridge not loaded: folder.gba is a directory.\n"},
      {{"fifo.gba"}, "vandrel-run: Cartridge not loaded: fifo.gba is not a regular file.\n"},
      {{"/dev/zero"}, "vandrel-run: Cartridge not loaded: /dev/zero is not a regular file.\n"},
      {{rom_, "--bios", "short.bin"}, "vandrel-run: BIOS not loaded: short.bin is not 16 KB long.\n"},
      {{rom_, "--bios", "folder.gba"}, "vandrel-run: BIOS not loaded: folder.gba is a directory.\n"},
  };
  for (const auto& c : cases) {
    const Outcome o = run(c.args);
    EXPECT_EQ(o.status, 1) << c.line;
    EXPECT_EQ(o.err, c.line);
  }
  // A "gba.rom" in the working directory that cannot be taken is said too.
  std::ofstream("gba.rom") << "short";
  const Outcome o = run({rom_, "--cycles", "100"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "vandrel-run: BIOS not loaded: gba.rom is not 16 KB long.\n");
}

}  // namespace
