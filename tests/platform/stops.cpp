// Stop signals once the window exists: the first closes the window, a later
// one ends the program at once, but never while a file is being replaced,
// even when another thread takes the signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/messages.h"
#include "platform/window.h"
#include "support/tempdir.h"

using namespace platform;

namespace {

intptr_t plainProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return defWindowProc(window, message, wParam, lParam);
}

TEST(HardStops, ALaterSignalWaitsForTheReleaseWhicheverThreadTakesIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs the test again from its start: the file is named after
  // the parent, which is this process there.
  auto written = [](pid_t parent) { return "/tmp/vandrel-stops-" + std::to_string(parent); };
  std::remove(written(getpid()).c_str());
  EXPECT_EXIT(
      {
        if (!createWindow("stops", plainProc, false)) std::_Exit(2);
        kill(getpid(), SIGTERM);  // the first: the window is to close
        Message m;
        bool close = false;
        while (peekMessage(&m)) close |= m.message == WM_CLOSE;
        if (!close) std::_Exit(3);
        // A thread that takes every signal this one blocks, as library
        // threads may.
        std::atomic<bool> stop{false};
        std::thread other([&] {
          while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        holdHardStops();
        kill(getpid(), SIGTERM);  // reaches the other thread
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // Still here: the write is finished.
        std::FILE* f = std::fopen(written(getppid()).c_str(), "w");
        std::fputs("whole", f);
        std::fclose(f);
        stop = true;
        other.join();
        releaseHardStops();  // now the stop ends the program
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::_Exit(4);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(testsupport::fileText(written(getpid()).c_str()), "whole");
  std::remove(written(getpid()).c_str());
}

}  // namespace
