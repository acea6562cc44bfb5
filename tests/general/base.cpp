// Debug log, CHECK and the tracked allocator.
#include "general/base.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/logcapture.h"
#include "support/tempdir.h"

namespace {

using testsupport::LogCapture;

// Tests are not under src/, so their own file names are not shortened.
std::string here() {
  char m[512];
  moduleName(__FILE__, m, sizeof m);
  return m;
}

TEST(DebugLog, CheckNamesTheModuleAndGoesOn) {
  LogCapture log;
  int line = __LINE__ + 1;
  bool failed = CHECK(1 + 1 == 3);
  bool passed = CHECK(1 + 1 == 2);
  EXPECT_FALSE(failed);
  EXPECT_TRUE(passed);
  EXPECT_EQ(log.text(), "CHECK failure, file " + here() + ", line " + std::to_string(line) + ".\n");
}

TEST(DebugLog, ModuleNameDropsTheExtensionOnly) {
  struct Case {
    const char* file;
    const char* module;
  } cases[] = {
      {"general/ptr.cpp", "general/ptr"},
      {"general/ptr.h", "general/ptr"},
      {"core/arm", "core/arm"},
      {"dir.d/file", "dir.d/file"},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[64];
    moduleName(c.file, out, sizeof out);
    EXPECT_STREQ(out, c.module) << c.file;
  }
  char small[4];
  moduleName("general/ptr.cpp", small, sizeof small);
  EXPECT_STREQ(small, "gen");
}

TEST(DebugLog, DeferredMessagesComeOutNewestFirstAtUnlock) {
  LogCapture log;
  dbgPrintf("now %d\n", 1);
  EXPECT_EQ(log.text(), "now 1\n");
  setDebugOutputDeferred(1);
  dbgPrintf("first\n");
  dbgPrintf("second\n");
  EXPECT_EQ(log.text(), "now 1\n");
  setDebugOutputDeferred(0);
  EXPECT_EQ(log.text(), "now 1\nsecond\nfirst\n");
}

TEST(DebugLog, LongMessagesAreCutAt1023Characters) {
  LogCapture log;
  std::string big(5000, 'x');
  dbgPrintf("%s", big.c_str());
  EXPECT_EQ(log.text(), std::string(1023, 'x'));
}

// These run in a fresh child process (the log opens once and closes for
// good), which re-enters the test body and so its own temporary directory.
TEST(DebugLog, MessagesAfterCloseAreAppendedNeverWipeTheLog) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testsupport::ScopedTempDir dir;
  EXPECT_EXIT(
      {
        dbgPrintf("kept\n");
        closeDebugLog();
        dbgPrintf("after close %d\n", 1);
        setDebugOutputDeferred(1);
        dbgPrintf("deferred after close\n");
        setDebugOutputDeferred(0);
        // (Static destructors log after the close: an option that could not be saved.)
        std::exit(testsupport::fileText("dbgout.txt") == "kept\nafter close 1\ndeferred after close\n" &&
                          debugLogFile() == nullptr
                      ? 0
                      : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(DebugLog, ALogThatCannotBeCreatedIsSkipped) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testsupport::ScopedTempDir dir;
  std::filesystem::create_directory("dbgout.txt");
  EXPECT_EXIT(
      {
        dbgPrintf("nowhere to go\n");
        CHECK(false);
        setDebugOutputDeferred(1);
        dbgPrintf("held\n");
        setDebugOutputDeferred(0);
        std::exit(debugLogFile() == nullptr ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(TrackedAlloc, ReportListsOutstandingBlocksTotalAndPeak) {
  std::size_t before = allocatedBytes();
  std::size_t peakBefore = peakAllocatedBytes();
  u8* first = nullptr;
  u8* second = nullptr;
  trackedAlloc(first, 0x10, "general/first.cpp", 11);
  int line = __LINE__ + 1;
  trackedAlloc(second, 0x20, __FILE__, line);
  trackedFree(first);
  EXPECT_EQ(first, nullptr);

  LogCapture log;
  dumpOutstandingAllocations();
  std::size_t peak = std::max(peakBefore, before + 0x30);
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "===Outstanding memory allocations:\n"
                "------20 bytes from %s, line %d.\n",
                here().c_str(), line);
  std::string text = log.text();
  ASSERT_EQ(text.rfind(expected, 0), 0u) << text;
  char tail[256];
  std::snprintf(tail, sizeof tail,
                "------ Total outstanding memory:  %zx.\n"
                "------ Max allocated at an instant:  %zx.\n"
                "===End of memory dump.\n",
                before + 0x20, peak);
  ASSERT_GE(text.size(), std::strlen(tail));
  EXPECT_EQ(text.substr(text.size() - std::strlen(tail)), tail);
  trackedFree(second);
  EXPECT_EQ(allocatedBytes(), before);
}

TEST(TrackedAlloc, NullFreeIsSilentAndDuplicateFreeIsReported) {
  LogCapture log;
  u32* none = nullptr;
  trackedFree(none);
  EXPECT_EQ(log.text(), "");

  u32* block = nullptr;
  trackedAlloc(block, 4, "general/dup.cpp", 77);
  u32* again = block;
  trackedFree(block);
  std::size_t after = allocatedBytes();
  trackedFree(again);  // must not read the released block
  EXPECT_EQ(log.text(), "Duplicate deallocation for block at general/dup, line 77.\n");
  EXPECT_EQ(allocatedBytes(), after);

  // A pointer the allocator never handed out is reported, not released.
  LogCapture foreign;
  u32 onStack[4] = {};
  u32* stray = onStack + 1;
  trackedFree(stray);
  EXPECT_NE(foreign.text().find("CHECK failure, file general/alloc"), std::string::npos) << foreign.text();
  EXPECT_EQ(allocatedBytes(), after);
}

struct Counted {
  Counted() { ++built; }
  ~Counted() { ++destroyed; }
  static inline int built = 0;
  static inline int destroyed = 0;
};

TEST(TrackedAlloc, BlocksAreAlignedAndElementsBuiltAndDestroyed) {
  for (std::size_t n : {0u, 1u, 3u, 17u}) {
    char* bytes = nullptr;
    trackedAlloc(bytes, n, __FILE__, __LINE__);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % 16, 0u) << n;
    trackedFree(bytes);
  }
  Counted::built = Counted::destroyed = 0;
  Counted* c = nullptr;
  trackedAlloc(c, 5, __FILE__, __LINE__);
  EXPECT_EQ(Counted::built, 5);
  trackedFree(c);
  EXPECT_EQ(Counted::destroyed, 5);
}

TEST(TrackedAlloc, ManyBlocksFreedInAnyOrderLeaveNothing) {
  std::size_t before = allocatedBytes();
  u16* blocks[3000] = {};
  for (int i = 0; i < 3000; ++i) trackedAlloc(blocks[i], i % 7 + 1, __FILE__, __LINE__);
  for (int i = 0; i < 3000; i += 2) trackedFree(blocks[i]);
  for (int i = 2999; i >= 1; i -= 2) trackedFree(blocks[i]);
  EXPECT_EQ(allocatedBytes(), before);
}

TEST(TrackedAlloc, RandomFloatFollowsItsRecurrence) {
  u32 seed = 1;
  double r = randomFloat(&seed, 10.0);
  EXPECT_EQ(seed, 663608941u);
  EXPECT_DOUBLE_EQ(r, 663608941.0 * 10.0 / 4294967296.0);
}

}  // namespace
