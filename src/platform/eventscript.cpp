#include "platform/eventscript.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/window.h"

namespace platform {

namespace {

std::vector<std::string> sLines;
size_t sNext = 0;
uint64_t sResumeAt = 0;
// A wait also lasts at least one poll for every 20 of its milliseconds, so
// that on a loaded machine, where time passes but the program hardly runs,
// the program still takes in what came before the wait.
uint64_t sPollsLeft = 0;

void pushKey(const std::string& name, bool down) {
  const SDL_Scancode code = SDL_GetScancodeFromName(name.c_str());
  if (code == SDL_SCANCODE_UNKNOWN) {
    std::fprintf(stderr, "event script: unknown key \"%s\"\n", name.c_str());
    return;
  }
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = code;
  e.key.keysym.sym = SDL_GetKeyFromScancode(code);
  SDL_PushEvent(&e);
}

void pushWindowEvent(Uint8 kind) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = kind;
  if (SDL_Window* w = sdlWindow()) e.window.windowID = SDL_GetWindowID(w);
  SDL_PushEvent(&e);
}

// Runs one line; false for a wait, which ends this step.
bool runLine(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  if (verb.empty() || verb[0] == '#') return true;
  std::string rest;
  std::getline(in >> std::ws, rest);
  if (verb == "wait") {
    const uint64_t ms = std::strtoull(rest.c_str(), nullptr, 10);
    sResumeAt = monotonicNanoseconds() + ms * 1000000u;
    sPollsLeft = (ms + 19) / 20;
    return false;
  }
  if (verb == "down" || verb == "up" || verb == "press") {
    if (verb != "up") pushKey(rest, true);
    if (verb != "down") pushKey(rest, false);
    return true;
  }
  if (verb == "move" || verb == "click") {
    std::istringstream args(rest);
    std::string button;
    if (verb == "click") args >> button;
    int x = 0, y = 0;
    args >> x >> y;
    SDL_Event e{};
    // The window's own id, so that a renderer converts the position as it
    // does for real events.
    const Uint32 id = sdlWindow() ? SDL_GetWindowID(sdlWindow()) : 0;
    if (verb == "move") {
      e.motion.windowID = id;
      e.type = SDL_MOUSEMOTION;
      e.motion.x = x;
      e.motion.y = y;
      SDL_PushEvent(&e);
    } else {
      for (int down = 1; down >= 0; --down) {
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = button == "right" ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.windowID = id;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
      }
    }
    return true;
  }
  if (verb == "window") {
    if (rest == "minimized")
      pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    else if (rest == "restored")
      pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    else if (rest == "exposed")
      pushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    else if (rest == "moved")
      pushWindowEvent(SDL_WINDOWEVENT_MOVED);
    else if (rest == "close")
      pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    else
      std::fprintf(stderr, "event script: unknown window event \"%s\"\n", rest.c_str());
    return true;
  }
  std::fprintf(stderr, "event script: unknown line \"%s\"\n", line.c_str());
  return true;
}

}  // namespace

void startEventScript() {
  sLines.clear();
  sNext = 0;
  sResumeAt = 0;
  sPollsLeft = 0;
  const char* name = std::getenv("VANDREL_EVENT_SCRIPT");
  if (!name || !*name) return;
  std::ifstream in(name);
  if (!in) {
    std::fprintf(stderr, "event script: cannot open %s\n", name);
    return;
  }
  for (std::string line; std::getline(in, line);) sLines.push_back(line);
}

bool eventScriptPending() { return sNext < sLines.size(); }

void stepEventScript() {
  // While events of earlier lines still wait to be taken in, the script
  // waits too: the message pump polls once for every message it hands on,
  // and a wait is to last rounds of the pump, not messages.
  if (sNext < sLines.size() && SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
  while (sNext < sLines.size()) {
    if (sPollsLeft > 0) --sPollsLeft;
    if (sPollsLeft > 0 || monotonicNanoseconds() < sResumeAt) return;
    if (!runLine(sLines[sNext++])) return;
  }
}

}  // namespace platform
