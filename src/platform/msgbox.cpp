#include "platform/msgbox.h"

#include <SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

namespace platform {

namespace {

bool canShowBox() {
  if (const char* off = std::getenv("VANDREL_NO_MESSAGE_BOX"); off && *off) return false;
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return false;
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

}  // namespace

void messageBox(const char* title, const char* text) {
  std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  std::fflush(stderr);
  if (!canShowBox()) return;
  // The box runs in a child process of its own, so the parent can close it
  // after the time limit; SDL's modal box offers no time-out itself.
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title ? title : "", text ? text : "", nullptr);
    _exit(0);
  }
  const uint64_t deadline = monotonicNanoseconds() + uint64_t{kMessageBoxSeconds} * 1000000000u;
  for (;;) {
    int status;
    const pid_t r = waitpid(child, &status, WNOHANG);
    if (r == child || r < 0) return;
    if (monotonicNanoseconds() >= deadline) break;
    usleep(20000);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

}  // namespace platform
