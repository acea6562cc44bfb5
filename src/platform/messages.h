#pragma once
// The non-blocking message queue of the main window.  SDL events become the
// Windows messages the window procedure handles (keys as virtual-key codes,
// mouse positions in display pixels); messages the program posts to itself
// go through the same queue.  SIGINT, SIGTERM and SIGHUP become WM_CLOSE, so a
// program ended from outside still shuts down in order.
//
// For tests and scripted runs, the environment variable
// VANDREL_EVENT_SCRIPT may name a file of input events that are fed in as
// SDL events, one line each:
//   wait <ms>                       pause before the next line (at least
//                                   <ms> milliseconds and <ms>/20 polls;
//                                   the script stands while events of
//                                   earlier lines wait to be taken in)
//   down <key> / up <key> / press <key>
//                                   an SDL key name: Q, F5, Left Alt, Return
//   move <x> <y>                    mouse to window pixel x, y
//   click left|right <x> <y>
//   window minimized|restored|exposed|moved|close
// The script starts when the window is created.

#include <cstdint>

#include "platform/window.h"

namespace platform {

enum : uint32_t {
  WM_NULL = 0x0000,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_SETCURSOR = 0x0020,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
};

// WM_SIZE wParam; WM_ACTIVATE low word (the high word is the minimised flag).
enum : uint32_t {
  SIZE_RESTORED = 0,
  SIZE_MINIMIZED = 1,
  SIZE_MAXIMIZED = 2,
  SIZE_MAXSHOW = 3,
  SIZE_MAXHIDE = 4,
  WA_INACTIVE = 0,
  WA_ACTIVE = 1,
};

struct Message {
  Window* window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// Takes the next message, never waiting: false when none is there.  WM_QUIT
// comes only once everything posted before it has been taken.
bool peekMessage(Message* message);
// Waits until input arrives (then true; peekMessage takes it) or at most
// timeoutMs milliseconds have passed (false).  Returns at once while
// messages or a close request are waiting.  While an event script still has
// lines, a wait lasts at most a millisecond, so the script keeps its time.
bool waitForMessage(uint32_t timeoutMs);
// Hands a message to its window's procedure; 0 for a window that is gone.
intptr_t dispatchMessage(const Message& message);
// Calls the window procedure at once.
intptr_t sendMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void postMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void postQuitMessage(int exitCode);
// What a window does with a message its procedure leaves alone: WM_CLOSE
// destroys the window, WM_SETCURSOR shows the arrow; the rest answers 0.
intptr_t defWindowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// A message number of our own for a name, 0xC000 and up, the same for the
// same name; 0 for a null or empty name.
uint32_t registerWindowMessage(const char* name);
// Posts a message to every top-level window we have: the main window.
bool broadcastMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Empties the queue and forgets a pending quit (tests).
void clearMessageQueue();

}  // namespace platform
