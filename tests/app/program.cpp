// The real programs, started as a user would, driven by scripted input
// events and by signals.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/tempdir.h"

extern char** environ;

namespace {

std::string program(const char* name) { return std::string(VANDREL_BINARY_DIR) + "/" + name; }

struct Child {
  pid_t pid = -1;
};

// Starts argv in the working directory with extra environment entries.
Child start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env;
  // An extra entry replaces the inherited one of the same name.
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& x : extraEnv)
      replaced = replaced || entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
    if (!replaced) env.push_back(entry);
  }
  for (const std::string& e : extraEnv) env.push_back(e);
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  Child r;
  if (posix_spawn(&r.pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) r.pid = -1;
  return r;
}

// The exit code, or -1 when it did not end within the time (it is killed).
int finish(Child r, int seconds = 30) {
  if (r.pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(r.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(r.pid, SIGKILL);
      waitpid(r.pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string writeScript(const std::string& text) {
  std::ofstream("events.txt") << text;
  return "VANDREL_EVENT_SCRIPT=" + (std::filesystem::current_path() / "events.txt").string();
}

const char* const kAltQ = "wait 300\ndown Left Alt\npress Q\nup Left Alt\n";

class Program : public ::testing::TestWithParam<const char*> {
 protected:
  testsupport::ScopedTempDir dir_;
};

std::string readText(const char* name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_P(Program, EndsWithZeroOnAltQAndReportsOutstandingAllocations) {
  const std::string script = writeScript(kAltQ);
  EXPECT_EQ(finish(start({program(GetParam()), "-g"}, {"SDL_VIDEODRIVER=dummy", script})), 0);
  const std::string log = readText("dbgout.txt");
  EXPECT_NE(log.find("===Outstanding memory allocations:\n"), std::string::npos) << log;
  EXPECT_NE(log.find("===End of memory dump.\n"), std::string::npos) << log;
  // The settings and the language table are written back at exit.
  EXPECT_NE(readText("kez.cfg").find("Video Width\t640\n"), std::string::npos);
  // Vandrel's sound set-up translates its failure text; the older program
  // has no sound and, until the front end is in, no text to translate.
  if (std::string(GetParam()) == "vandrel") {
    EXPECT_NE(readText("english.csv").find("\"Unable to initialize DirectSound.\""), std::string::npos);
  }
}

TEST_P(Program, KeepsTheSettingsItFound) {
  std::ofstream("kez.cfg") << "Video Width\t800\nVideo Height\t600\n";
  const std::string script = writeScript(kAltQ);
  EXPECT_EQ(finish(start({program(GetParam())}, {"SDL_VIDEODRIVER=dummy", script})), 0);
  const std::string cfg = readText("kez.cfg");
  EXPECT_NE(cfg.find("Video Width\t800\n"), std::string::npos) << cfg;
  EXPECT_NE(cfg.find("Video Height\t600\n"), std::string::npos) << cfg;
}

TEST_P(Program, EndsWithZeroWhenTheWindowIsClosed) {
  const std::string script = writeScript("wait 300\nwindow close\n");
  EXPECT_EQ(finish(start({program(GetParam())}, {"SDL_VIDEODRIVER=dummy", script})), 0);
}

TEST_P(Program, EndsWithZeroOnSigterm) {
  Child r = start({program(GetParam())}, {"SDL_VIDEODRIVER=dummy"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(r.pid, SIGTERM);
  EXPECT_EQ(finish(r), 0);
  EXPECT_NE(readText("dbgout.txt").find("===End of memory dump.\n"), std::string::npos);
}

TEST_P(Program, KeysOtherThanAltQLeaveItRunning) {
  // F10, Alt+X and plain keys do not end the program; Alt+Q then does.
  const std::string script = writeScript(
      "wait 200\npress F10\ndown Left Alt\npress X\nup Left Alt\npress Q\npress Escape\nwindow minimized\n"
      "window restored\nclick left 10 10\nwait 800\ndown Left Alt\npress Q\n");
  const Child r = start({program(GetParam())}, {"SDL_VIDEODRIVER=dummy", script});
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(waitpid(r.pid, nullptr, WNOHANG), 0) << "ended before Alt+Q";
  EXPECT_EQ(finish(r), 0);
}

// A private X server: -displayfd lets Xvfb pick a free display number
// itself, so tests running at the same time never race for one.
class PrivateXServer {
 public:
  PrivateXServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buffer[32] = {};
    ssize_t n = pid_ > 0 ? read(fds[0], buffer, sizeof buffer - 1) : -1;
    close(fds[0]);
    if (n <= 0) return;
    // A server that lost a race for its display number ends soon after.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (waitpid(pid_, nullptr, WNOHANG) != 0) {
      pid_ = -1;
      return;
    }
    display_ = ":" + std::to_string(std::atoi(buffer));
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

TEST_P(Program, RunsInARealWindowUnderXvfb) {
  if (system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
  const std::string script = writeScript(kAltQ);
  // Other tests start X servers at the same time; a server that goes away
  // under us is replaced, a few times at most.
  int code = -2;
  for (int attempt = 0; attempt < 4 && code != 0; ++attempt) {
    PrivateXServer x;
    if (x.display().empty()) continue;
    code =
        finish(start({program(GetParam())}, {"SDL_VIDEODRIVER=x11", "DISPLAY=" + x.display(), script}), 60);
  }
  EXPECT_EQ(code, 0);
  EXPECT_NE(readText("dbgout.txt").find("===End of memory dump.\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, Program, ::testing::Values("vandrel", "ostrel"));

}  // namespace
