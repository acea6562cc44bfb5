// The real programs, started as a user would, driven by scripted input
// events and by signals.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child.h"
#include "support/tempdir.h"

using namespace testsupport;

namespace {

const char* const kAltQ = "wait 300\ndown Left Alt\npress Q\nup Left Alt\n";

class Program : public ::testing::TestWithParam<const char*> {
 protected:
  testsupport::ScopedTempDir dir_;
};

TEST_P(Program, EndsWithZeroOnAltQAndReportsOutstandingAllocations) {
  const std::string script = eventScript(kAltQ);
  EXPECT_EQ(finishChild(startChild({programPath(GetParam()), "-g"}, {"SDL_VIDEODRIVER=dummy", script})), 0);
  const std::string log = fileText("dbgout.txt");
  EXPECT_NE(log.find("===Outstanding memory allocations:\n"), std::string::npos) << log;
  EXPECT_NE(log.find("===End of memory dump.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("------ Total outstanding memory:  0.\n"), std::string::npos) << log;
  // The settings and the language table are written back at exit.
  EXPECT_NE(fileText("kez.cfg").find("Video Width\t640\n"), std::string::npos);
  // Vandrel's sound set-up translates its failure text; the older program
  // has no sound and, until the front end is in, no text to translate.
  if (std::string(GetParam()) == "vandrel") {
    EXPECT_NE(fileText("english.csv").find("\"Unable to initialize DirectSound.\""), std::string::npos);
  }
}

TEST_P(Program, ASessionEndsWithNothingOutstanding) {
  // A cartridge and a breakpoint from the command line, a run and its stop,
  // every tab of the three windows, a prompt, the decoded I/O registers and
  // (Vandrel) the reset box, then Alt+Q.
  const std::string script = eventScript(
      "wait 300\npress F5\nwait 300\npress F5\nwait 200\n"
      "click left 120 5\nclick left 170 5\nclick left 240 5\nclick left 320 5\nclick left 370 5\n"
      "click left 40 5\nclick left 20 300\nclick left 180 300\nclick left 260 300\nclick left 100 300\n"
      "click left 460 300\nclick left 540 300\nclick left 410 300\nwait 200\n"
      "press B\npress X\npress Space\npress 8\npress 0\npress 0\npress 0\npress 0\npress 5\npress 0\n"
      "press Return\nwait 100\nclick left 100 300\n"
      "down Left Shift\npress G\nup Left Shift\npress 4\npress 0\npress 0\npress 0\npress 0\npress 0\n"
      "press 0\npress Return\nwait 100\ndown Left Shift\npress Page Down\nup Left Shift\n"
      "press F9\npress F4\nwait 200\npress Return\nwait 200\n" +
      std::string(kAltQ));
  const std::vector<std::string> args = {programPath(GetParam()), "-ar" + guestImage("keypad"),
                                         "-abw3000000"};
  EXPECT_EQ(finishChild(startChild(args, {"SDL_VIDEODRIVER=dummy", script})), 0);
  const std::string log = fileText("dbgout.txt");
  EXPECT_NE(log.find("------ Total outstanding memory:  0.\n"), std::string::npos) << log;
}

TEST_P(Program, RunningAtOnceWithoutACartridgeIsWarnedAbout) {
  if (std::string(GetParam()) != "vandrel") GTEST_SKIP() << "the older program takes no switches";
  const std::string script = eventScript(kAltQ);
  EXPECT_EQ(finishChild(startChild({programPath(GetParam()), "-ag"}, {"SDL_VIDEODRIVER=dummy", script})), 0);
  EXPECT_NE(fileText("dbgout.txt").find("Warning: No cartridge loaded\n"), std::string::npos);
}

TEST_P(Program, KeepsTheSettingsItFound) {
  std::ofstream("kez.cfg") << "Video Width\t800\nVideo Height\t600\n";
  const std::string script = eventScript(kAltQ);
  EXPECT_EQ(finishChild(startChild({programPath(GetParam())}, {"SDL_VIDEODRIVER=dummy", script})), 0);
  const std::string cfg = fileText("kez.cfg");
  EXPECT_NE(cfg.find("Video Width\t800\n"), std::string::npos) << cfg;
  EXPECT_NE(cfg.find("Video Height\t600\n"), std::string::npos) << cfg;
}

TEST_P(Program, EndsWithZeroWhenTheWindowIsClosed) {
  const std::string script = eventScript("wait 300\nwindow close\n");
  EXPECT_EQ(finishChild(startChild({programPath(GetParam())}, {"SDL_VIDEODRIVER=dummy", script})), 0);
}

TEST_P(Program, EndsWithZeroOnSigterm) {
  const Child r = startChild({programPath(GetParam())}, {"SDL_VIDEODRIVER=dummy"});
  // Sent before the program has its handler, the signal would just kill it.
  ASSERT_TRUE(waitForSignalHandler(r, SIGTERM)) << "the program never took SIGTERM over";
  kill(r.pid, SIGTERM);
  EXPECT_EQ(finishChild(r), 0);
  EXPECT_NE(fileText("dbgout.txt").find("===End of memory dump.\n"), std::string::npos);
}

TEST_P(Program, KeysOtherThanAltQLeaveItRunning) {
  // F10, Alt+X and plain keys do not end the program; Alt+Q then does.
  const std::string script = eventScript(
      "wait 200\npress F10\ndown Left Alt\npress X\nup Left Alt\npress Q\npress Escape\nwindow minimized\n"
      "window restored\nclick left 10 10\nwait 800\ndown Left Alt\npress Q\n");
  const Child r = startChild({programPath(GetParam())}, {"SDL_VIDEODRIVER=dummy", script});
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_FALSE(childEnded(r)) << "ended before Alt+Q";
  EXPECT_EQ(finishChild(r), 0);
}

TEST_P(Program, RunsInARealWindowUnderXvfb) {
  if (system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
  const std::string script = eventScript(kAltQ);
  PrivateXServer x;
  ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
  EXPECT_EQ(finishChild(startChild({programPath(GetParam())},
                                   {"SDL_VIDEODRIVER=x11", "DISPLAY=" + x.display(), script})),
            0);
  EXPECT_NE(fileText("dbgout.txt").find("===End of memory dump.\n"), std::string::npos);
}

TEST_P(Program, WithoutADisplaySaysSoOnceAndFails) {
  // Nothing names a display or a driver, so SDL would fall back on one that
  // shows nothing.
  const Child r =
      startChild({programPath(GetParam())},
                 {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "SDL_VIDEODRIVER"}, "stderr.txt");
  const int status = finishChild(r, 60);
  EXPECT_GT(status, 0) << "the program ran on unseen or was killed";
  const std::string err = fileText("stderr.txt");
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("no display can be opened"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, Program, ::testing::Values("vandrel", "ostrel"));

}  // namespace
