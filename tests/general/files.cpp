// Files, directory listing, paths and hooks.
#include "general/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "general/hooks.h"
#include "general/main.h"
#include "support/logcapture.h"
#include "support/tempdir.h"

namespace {

FixedIString fixed(const std::string& s) {
  FixedIString f;
  f.assignText(s.c_str());
  return f;
}

std::string narrow(const FixedIString& s) {
  char out[300];
  s.toCString(out, sizeof out);
  return out;
}

// An entry as "<kind>name", the kind shown as a digit.
std::string show(const IString& s) {
  std::string out;
  for (u32 i = 0; i < s.length(); ++i) {
    u16 c = s.at(i);
    out += c < 15 ? static_cast<char>('0' + c) : static_cast<char>(c & 0xFF);
  }
  return out;
}

// Entries of a directory other than the debug log.
int entriesBesides(const char* directory = ".") {
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator(directory)) n += e.path().filename() != "dbgout.txt";
  return n;
}

void makeFile(const std::filesystem::path& p, std::size_t bytes) {
  std::ofstream out(p, std::ios::binary);
  out << std::string(bytes, 'z');
}

TEST(Files, ReadFileGivesTheWholeFile) {
  testsupport::ScopedTempDir dir;
  for (std::size_t size : {0u, 1u, 1023u, 1024u, 2048u, 5000u}) {
    makeFile("data.bin", size);
    SizedArray<u8> bytes;
    readFile(bytes, fixed("data.bin"));
    EXPECT_EQ(bytes.count(), size);
    if (size) {
      EXPECT_EQ(bytes.at(static_cast<u32>(size - 1)), 'z');
    }
  }
  testsupport::LogCapture log;
  SizedArray<u8> none;
  readFile(none, fixed("missing.bin"));
  EXPECT_EQ(none.count(), 0u);
  EXPECT_EQ(log.text(), "Unable to open file missing.bin.\n");
}

TEST(Files, ListingKeepsCaseSortsAndShowsDots) {
  testsupport::ScopedTempDir dir;
  std::filesystem::create_directories("top/Roms");
  std::filesystem::create_directories("top/apps");
  makeFile("top/Game.GBA", 4);
  makeFile("top/b.txt", 1);
  std::filesystem::create_symlink("Roms", "top/link");

  Array<IString> list;
  testsupport::LogCapture log;
  ASSERT_EQ(findAll(list, fixed("top")), 1);
  std::vector<std::string> shown;
  for (const IString& e : list) shown.push_back(show(e));
  EXPECT_EQ(shown, (std::vector<std::string>{"3.", "3..", "3Roms", "3apps", "3link", "8Game.GBA", "8b.txt"}));
  EXPECT_EQ(log.text(), "Doing FindAll:  top.\n");

  // The names open again as listed.
  FixedIString path = fixed("top");
  appendPathComponent(path, fixed("Game.GBA"));
  SizedArray<u8> bytes;
  readFile(bytes, path);
  EXPECT_EQ(bytes.count(), 4u);

  // A trailing slash and a leading control make no difference.
  Array<IString> again;
  FixedIString controlled;
  controlled.appendChar16(3);
  controlled.appendText("top/");
  ASSERT_EQ(findAll(again, controlled), 1);
  EXPECT_EQ(again.count(), list.count());
}

TEST(Files, ListingFailures) {
  testsupport::ScopedTempDir dir;
  Array<IString> list;
  list.append(IString::fromText("old"));
  EXPECT_EQ(findAll(list, fixed("no-such-dir")), 0);
  EXPECT_EQ(list.count(), 0u);
  std::string deep(252, 'a');
  EXPECT_EQ(findAll(list, fixed(deep)), 0);
  makeFile("plain", 1);
  EXPECT_EQ(findAll(list, fixed("plain")), 0);
}

TEST(Files, DirectoryExists) {
  testsupport::ScopedTempDir dir;
  std::filesystem::create_directory("sub");
  makeFile("file", 1);
  struct Case {
    const char* path;
    int exists;
  } cases[] = {{"sub", 1}, {"sub/", 1}, {".", 1}, {"file", 0}, {"missing", 0}, {"", 1}};
  for (const Case& c : cases) EXPECT_EQ(directoryExists(fixed(c.path)), c.exists) << c.path;
}

TEST(Files, AppendPathComponent) {
  struct Case {
    const char* path;
    const char* name;
    const char* result;
  } cases[] = {
      {"a/b", "c/", "a/b/c"}, {"a/b", "..", "a"},   {"a/b", ".", "a/b"},   {"a", "..", ""},
      {"a/b/", "c", "a/b/c"}, {"", "roms", "/roms"}, {"a/b", "", "a/b"},   {"a/b/c", "../", "a/b"},
      {"./", "roms", "./roms"},
  };
  for (const Case& c : cases) {
    FixedIString path = fixed(c.path);
    appendPathComponent(path, fixed(c.name));
    EXPECT_EQ(narrow(path), c.result) << c.path << " + " << c.name;
  }
  FixedIString controlled;
  controlled.appendChar16(3);
  controlled.appendText("games");
  FixedIString path = fixed("x");
  appendPathComponent(path, controlled);
  EXPECT_EQ(narrow(path), "x/games");

  // Too long for a path: refused, unchanged, nothing logged.
  FixedIString longPath = fixed(std::string(250, 'p'));
  testsupport::LogCapture log;
  EXPECT_FALSE(appendPathComponent(longPath, fixed("toolongname")));
  EXPECT_EQ(longPath.length(), 250u);
  EXPECT_EQ(log.text(), "");
}

TEST(Files, CurrentAndChangeDirectory) {
  testsupport::ScopedTempDir dir;
  std::filesystem::create_directory("inner");
  EXPECT_EQ(changeDirectory(fixed("inner")), 1);
  FixedIString here = currentDirectory();
  EXPECT_EQ(here.at(0), 3);
  EXPECT_EQ(narrow(here).substr(1), std::filesystem::current_path().string());
  EXPECT_EQ(changeDirectory(fixed("missing")), 0);
}

TEST(Files, ProgramDirectoryComesFromTheCommandLine) {
  std::snprintf(gProgramPath, kProgramPathSize, "%s", "/opt/games/vandrel");
  EXPECT_EQ(narrow(programDirectory()), "/opt/games/vandrel");
}

TEST(Files, SortIsByCharacterValue) {
  Array<IString> list;
  for (const char* s : {"b", "B", "a", "\x03z", "ab", "\x08" "a"}) list.append(IString::fromText(s));
  sortIStringArray(list);
  std::vector<std::string> shown;
  for (const IString& e : list) shown.push_back(show(e));
  EXPECT_EQ(shown, (std::vector<std::string>{"3z", "8a", "B", "a", "ab", "b"}));
}

std::vector<int> gOrder;

TEST(Hooks, RunNewestFirst) {
  HookList list = {nullptr};
  StartupHook first, second;
  list.add(first, [] { gOrder.push_back(1); });
  list.add(second, [] { gOrder.push_back(2); });
  gOrder.clear();
  list.run();
  EXPECT_EQ(gOrder, (std::vector<int>{2, 1}));
}

TEST(ReplacementFile, CommitReplacesAndAbandonLeavesNothing) {
  testsupport::ScopedTempDir dir;
  makeFile("target", 3);
  {
    ReplacementFile f;
    ASSERT_TRUE(f.open("target", "tmp"));
    std::fputs("new", f.stream());
  }  // abandoned
  EXPECT_EQ(std::filesystem::file_size("target"), 3u);
  ReplacementFile f;
  ASSERT_TRUE(f.open("target", "tmp"));
  std::fputs("hello", f.stream());
  EXPECT_TRUE(f.commit());
  EXPECT_EQ(std::filesystem::file_size("target"), 5u);
  EXPECT_EQ(entriesBesides(), 1);
}

TEST(ReplacementFile, ALinkIsFollowedAndStaysALink) {
  testsupport::ScopedTempDir dir;
  std::filesystem::create_directory("real");
  makeFile("real/settings", 3);
  std::filesystem::create_symlink("real/settings", "target");
  ReplacementFile f;
  ASSERT_TRUE(f.open("target", "tmp"));
  std::fputs("hello", f.stream());
  ASSERT_TRUE(f.commit());
  EXPECT_TRUE(std::filesystem::is_symlink("target"));
  EXPECT_EQ(testsupport::fileText("real/settings"), "hello");
  EXPECT_EQ(entriesBesides(), 2);                          // the link and the directory
  EXPECT_EQ(entriesBesides("real"), 1);                    // nothing left beside the real file
  std::filesystem::create_symlink("nowhere/settings", "dangling");
  EXPECT_FALSE(f.open("dangling", "tmp"));                  // no file is made behind a broken link
  EXPECT_FALSE(std::filesystem::exists("nowhere"));
}

TEST(ReplacementFile, ReadOnlyFilesAndDirectoriesAreNotReplaced) {
  testsupport::ScopedTempDir dir;
  using std::filesystem::perms;
  makeFile("target", 3);
  std::filesystem::permissions("target", perms::owner_read | perms::group_read | perms::others_read);
  ReplacementFile f;
  EXPECT_FALSE(f.open("target", "tmp"));  // also for root, who could write it
  std::filesystem::permissions("target", perms::owner_read | perms::owner_write);
  std::filesystem::create_directory("locked");
  makeFile("locked/target", 3);
  std::filesystem::permissions("locked", perms::owner_read | perms::owner_exec);
  EXPECT_FALSE(f.open("locked/target", "tmp"));
  std::filesystem::permissions("locked", perms::owner_all);
  EXPECT_EQ(entriesBesides("locked"), 1);
  std::filesystem::create_directory("adir");
  EXPECT_FALSE(f.open("adir", "tmp"));  // only a file is replaced
  EXPECT_EQ(std::filesystem::file_size("target"), 3u);
  EXPECT_EQ(entriesBesides(), 3);
}

// A hard stop while the file is written waits until it is whole and the
// temporary file is gone.
volatile sig_atomic_t gTermSeen = 0;
TEST(ReplacementFile, StopSignalsWaitForTheEnd) {
  testsupport::ScopedTempDir dir;
  makeFile("target", 3);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    gTermSeen = 0;
    struct sigaction action {}, previous{};
    action.sa_handler = [](int) { gTermSeen = 1; };
    sigaction(sig, &action, &previous);
    {
      ReplacementFile f;
      ASSERT_TRUE(f.open("target", "tmp"));
      raise(sig);
      EXPECT_EQ(gTermSeen, 0);
      std::fputs("hello", f.stream());
      EXPECT_TRUE(f.commit());
      EXPECT_EQ(gTermSeen, 1);
      EXPECT_EQ(entriesBesides(), 1);
      gTermSeen = 0;
      ASSERT_TRUE(f.open("target", "tmp"));
      raise(sig);
      EXPECT_EQ(gTermSeen, 0);
    }  // abandoned
    EXPECT_EQ(gTermSeen, 1);
    EXPECT_EQ(entriesBesides(), 1);
    sigaction(sig, &previous, nullptr);
  }
}

// A full disk (here: a limit on the file size) keeps the old file whole.
TEST(ReplacementFile, AFullDiskKeepsTheOldFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testsupport::ScopedTempDir dir;
  makeFile("target", 3);
  EXPECT_EXIT(
      {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        ReplacementFile f;
        bool ok = f.open("target", "tmp");
        const std::string big(100000, 'x');
        std::fputs(big.c_str(), f.stream());
        ok = ok && !f.commit();
        std::exit(ok && std::filesystem::file_size("target") == 3 && entriesBesides() == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Files, OnlyRegularFilesAreOpenedForReading) {
  testsupport::ScopedTempDir dir;
  makeFile("plain", 4);
  std::filesystem::create_symlink("plain", "link");
  std::filesystem::create_directory("adir");
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  for (const char* name : {"plain", "link"}) {
    std::FILE* f = openRegularFile(name, "rb");
    ASSERT_NE(f, nullptr) << name;
    char bytes[8];
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, f), 4u);
    std::fclose(f);
  }
  errno = 0;
  EXPECT_EQ(openRegularFile("adir", "rb"), nullptr);
  EXPECT_EQ(errno, EISDIR);
  // Neither blocks nor reads for ever.
  for (const char* name : {"fifo", "/dev/zero"}) {
    errno = 0;
    EXPECT_EQ(openRegularFile(name, "rb"), nullptr) << name;
    EXPECT_EQ(errno, ENODEV) << name;
  }
  errno = 0;
  EXPECT_EQ(openRegularFile("missing", "rb"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  SizedArray<u8> bytes;
  readFile(bytes, fixed("fifo"));
  EXPECT_EQ(bytes.count(), 0u);
}

}  // namespace
