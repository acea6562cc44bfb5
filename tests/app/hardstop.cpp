// The real program stopped from outside: SIGTERM, SIGINT and SIGHUP while it
// starts, while a cartridge runs, while a prompt is open and while it saves
// at exit (a burst of signals, the later ones ending it at once).  Whatever
// the moment, "kez.cfg" and "english.csv" are the old whole file or a new
// whole one, and no temporary file is left.  A read-only directory or a
// full disk keeps the old files and says so in the debug log.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child.h"
#include "support/tempdir.h"

using namespace testsupport;

namespace {

const char* const kDummy = "SDL_VIDEODRIVER=dummy";

// Files as a run with nothing to add leaves them; the table lacks texts the
// program shows, and the settings lack options, so a save appends lines.
const std::string kOldConfig = "Video Width\t640\n# kept as it is\nVideo Height\t480\nSound Enable\t1\n";
const std::string kOldLanguage = "\"Cycles - \", \"Cycles - \"\n\"Save\", \"Speichern\"\n";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The old file, or the old file's lines (options rewritten in place) and
// then whole new lines; never cut, never empty.
::testing::AssertionResult whole(const char* name, const std::string& old, bool language) {
  const std::string now = fileText(name);
  if (now == old) return ::testing::AssertionSuccess();
  if (now.empty() || now.back() != '\n') return ::testing::AssertionFailure() << name << " cut:\n" << now;
  const std::vector<std::string> was = lines(old), is = lines(now);
  if (is.size() < was.size()) return ::testing::AssertionFailure() << name << " lost lines:\n" << now;
  for (size_t i = 0; i < is.size(); ++i) {
    const std::string& l = is[i];
    const bool kept = i < was.size() && (l == was[i] || (!language && l.substr(0, l.find('\t')) ==
                                                                          was[i].substr(0, was[i].find('\t'))));
    const bool wellFormed = language ? l.size() >= 6 && l.front() == '"' && l.back() == '"' &&
                                           l.find("\", \"") != std::string::npos
                                     : l.find('\t') != std::string::npos && l.find('\t') > 0;
    if (i < was.size() ? !kept : !wellFormed)
      return ::testing::AssertionFailure() << name << " line " << i << " is not whole: " << l << "\n" << now;
  }
  return ::testing::AssertionSuccess();
}

// Names in the directory that are neither what the test put there nor what
// the program writes: temporary files left behind.
std::string strays() {
  std::string out;
  for (const auto& e : std::filesystem::directory_iterator(".")) {
    const std::string n = e.path().filename().string();
    const bool picture = n.size() > 4 && n.substr(n.size() - 4) == ".bmp";
    if (n == "kez.cfg" || n == "english.csv" || n == "dbgout.txt" || n == "events.txt" || picture) continue;
    out += n + " ";
  }
  return out;
}

class HardStop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"eng.bmp", "dlg_eng.bmp", "mouse.bmp"})
      std::filesystem::copy_file(std::string(VANDREL_BINARY_DIR) + "/" + f, f);
  }
  void freshFiles() {
    std::ofstream("kez.cfg") << kOldConfig;
    std::ofstream("english.csv") << kOldLanguage;
  }
  void expectWhole(const std::string& what) {
    EXPECT_TRUE(whole("kez.cfg", kOldConfig, false)) << what;
    EXPECT_TRUE(whole("english.csv", kOldLanguage, true)) << what;
    EXPECT_EQ(strays(), "") << what;
  }
  // Starts the program with a script and sends the signal afterMs after
  // the program has its handler (or, with handler false, afterMs after the
  // start): once, or a burst until the program has ended.
  void stop(int signal, const std::vector<std::string>& args, const std::string& script, bool handler, int afterMs,
            bool burst) {
    freshFiles();
    const Child c = startChild(args, {kDummy, eventScript(script)});
    ASSERT_GT(c.pid, 0);
    if (handler) {
      ASSERT_TRUE(waitForSignalHandler(c, signal)) << "no handler";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
      kill(c.pid, signal);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    } while (burst && !childEnded(c) && std::chrono::steady_clock::now() < deadline);
    const int status = finishChild(c);
    // Taken by the program, a signal ends it in order (status 0); a later
    // one, or one before its handler, ends it at once (no exit status).
    if (handler && !burst) {
      EXPECT_EQ(status, 0) << "signal " << signal;
    }
  }
  ScopedTempDir dir_;
};

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

TEST_F(HardStop, WhileItStarts) {
  for (int s : kSignals) {
    for (int delay : {0, 30, 120}) {
      stop(s, {programPath("vandrel")}, "wait 5000\n", false, delay, false);
      expectWhole("start, signal " + std::to_string(s) + " after " + std::to_string(delay) + " ms");
    }
  }
}

TEST_F(HardStop, WhileACartridgeRunsAndWhileAPromptIsOpen) {
  const std::string rom = "-ar" + guestImage("keypad");
  for (int s : kSignals) {
    stop(s, {programPath("vandrel"), rom, "-ag"}, "wait 5000\n", true, 300, false);
    expectWhole("running, signal " + std::to_string(s));
    // The breakpoint prompt, with a line half typed.
    stop(s, {programPath("vandrel"), rom}, "wait 300\npress B\npress X\nwait 5000\n", true, 900, false);
    expectWhole("prompt, signal " + std::to_string(s));
  }
}

TEST_F(HardStop, WhileItSavesAtExit) {
  for (int s : kSignals) {
    for (int delay : {250, 400, 600}) {
      stop(s, {programPath("vandrel")}, "wait 200\ndown Left Alt\npress Q\nup Left Alt\n", true, delay, true);
      expectWhole("exit, signal " + std::to_string(s) + " burst after " + std::to_string(delay) + " ms");
    }
  }
}

// Ends on Alt+Q, as a child whose files may grow to `limit` bytes at most
// (SIGXFSZ ignored, so a write beyond fails as on a full disk).
int runLimited(rlim_t limit) {
  const std::string script = eventScript("wait 300\ndown Left Alt\npress Q\nup Left Alt\n");
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit r;
    r.rlim_cur = r.rlim_max = limit;
    setrlimit(RLIMIT_FSIZE, &r);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("VANDREL_EVENT_SCRIPT", script.substr(script.find('=') + 1).c_str(), 1);
    const std::string path = programPath("vandrel");
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Child c;
  c.pid = pid;
  return finishChild(c);
}

TEST_F(HardStop, AReadOnlyDirectoryOrAFullDiskKeepsTheOldFilesAndSaysSo) {
  freshFiles();
  std::ofstream("dbgout.txt").close();  // the log itself can still be written
  namespace fs = std::filesystem;
  fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec);
  const int status = finishChild(startChild({programPath("vandrel")},
                                            {kDummy, eventScript("wait 300\ndown Left Alt\npress Q\nup Left Alt\n")}));
  fs::permissions(".", fs::perms::owner_all);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fileText("kez.cfg"), kOldConfig);
  EXPECT_EQ(fileText("english.csv"), kOldLanguage);
  std::string log = fileText("dbgout.txt");
  EXPECT_NE(log.find("Unable to open english.csv for writing.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Unable to save the option Video Width: kez.cfg was left as it was.\n"), std::string::npos)
      << log;

  // A full disk: the language table is larger than may be written.
  std::string big = kOldLanguage;
  for (int i = 0; i < 3000; ++i) big += "\"text " + std::to_string(i) + "\", \"Text " + std::to_string(i) + "\"\n";
  std::ofstream("english.csv") << big;
  std::ofstream("kez.cfg") << kOldConfig;
  std::filesystem::remove("dbgout.txt");
  EXPECT_EQ(runLimited(big.size() / 2), 0);
  EXPECT_EQ(fileText("english.csv"), big);
  log = fileText("dbgout.txt");
  EXPECT_NE(log.find("Unable to open english.csv for writing.\n"), std::string::npos) << log;
  EXPECT_EQ(strays(), "");
}

}  // namespace
