#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <deque>
#include <map>
#include <string>

#include "platform/eventscript.h"
#include "platform/keys.h"
#include "platform/messages.h"

namespace platform {

struct Window {
  SDL_Window* sdl;
  WindowProc proc;
  bool topMost;
};

namespace {

Window* sMain = nullptr;
int sLogicalWidth = 0, sLogicalHeight = 0;
std::deque<Message> sQueue;
bool sQuitPosted = false;
int sQuitCode = 0;
std::atomic<int> sCloseSignals{0};
int sCloseSignalsSeen = 0;
std::atomic<int> sHardStopsHeld{0};
std::atomic<int> sPendingHardStop{0};

// Ends the program as the signal's default would.
void endBy(int signal) {
  std::signal(signal, SIG_DFL);
  raise(signal);
}

void onCloseSignal(int signal) {
  // The first signal closes the window, so the program ends in order.
  if (sCloseSignals.fetch_add(1) == 0) return;
  // A later one ends it at once, for a shut-down that hangs; but not in
  // the middle of a file being replaced (whichever thread it reaches).
  if (sHardStopsHeld.load() > 0) {
    sPendingHardStop.store(signal);
    return;
  }
  endBy(signal);
}

void installCloseSignals() {
  std::signal(SIGINT, onCloseSignal);
  std::signal(SIGTERM, onCloseSignal);
  std::signal(SIGHUP, onCloseSignal);
}

uintptr_t makeLong(int low, int high) {
  return (static_cast<uint32_t>(low) & 0xFFFF) | ((static_cast<uint32_t>(high) & 0xFFFF) << 16);
}

// SDL scancodes by position, as Windows numbers the keys of a US keyboard.
uint32_t virtualKeyOf(SDL_Scancode s) {
  if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z) return 'A' + (s - SDL_SCANCODE_A);
  if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_9) return '1' + (s - SDL_SCANCODE_1);
  if (s >= SDL_SCANCODE_F1 && s <= SDL_SCANCODE_F12) return VK_F1 + (s - SDL_SCANCODE_F1);
  if (s >= SDL_SCANCODE_F13 && s <= SDL_SCANCODE_F24) return VK_F1 + 12 + (s - SDL_SCANCODE_F13);
  // Numpad digits type digits: key commands and the prompt take the code as
  // the character itself, where VK_NUMPAD1 would read as 'a'.
  if (s >= SDL_SCANCODE_KP_1 && s <= SDL_SCANCODE_KP_9) return '1' + (s - SDL_SCANCODE_KP_1);
  switch (s) {
    case SDL_SCANCODE_0:
      return '0';
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
      return VK_RETURN;
    case SDL_SCANCODE_ESCAPE:
      return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE:
      return VK_BACK;
    case SDL_SCANCODE_TAB:
      return VK_TAB;
    case SDL_SCANCODE_SPACE:
      return VK_SPACE;
    case SDL_SCANCODE_MINUS:
      return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS:
      return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET:
      return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET:
      return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH:
    case SDL_SCANCODE_NONUSBACKSLASH:
      return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON:
      return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE:
      return VK_OEM_7;
    case SDL_SCANCODE_GRAVE:
      return VK_OEM_3;
    case SDL_SCANCODE_COMMA:
      return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD:
      return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH:
      return VK_OEM_2;
    case SDL_SCANCODE_CAPSLOCK:
      return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN:
      return VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK:
      return VK_SCROLL;
    case SDL_SCANCODE_PAUSE:
      return VK_PAUSE;
    case SDL_SCANCODE_INSERT:
      return VK_INSERT;
    case SDL_SCANCODE_HOME:
      return VK_HOME;
    case SDL_SCANCODE_PAGEUP:
      return VK_PRIOR;
    case SDL_SCANCODE_DELETE:
      return VK_DELETE;
    case SDL_SCANCODE_END:
      return VK_END;
    case SDL_SCANCODE_PAGEDOWN:
      return VK_NEXT;
    case SDL_SCANCODE_RIGHT:
      return VK_RIGHT;
    case SDL_SCANCODE_LEFT:
      return VK_LEFT;
    case SDL_SCANCODE_DOWN:
      return VK_DOWN;
    case SDL_SCANCODE_UP:
      return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR:
      return VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE:
      return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY:
      return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS:
      return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS:
      return VK_ADD;
    case SDL_SCANCODE_KP_0:
      return '0';
    case SDL_SCANCODE_KP_PERIOD:
      return VK_DECIMAL;
    case SDL_SCANCODE_APPLICATION:
      return VK_APPS;
    case SDL_SCANCODE_LCTRL:
      return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL:
      return VK_RCONTROL;
    case SDL_SCANCODE_LSHIFT:
      return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT:
      return VK_RSHIFT;
    case SDL_SCANCODE_LALT:
      return VK_LMENU;
    case SDL_SCANCODE_RALT:
      return VK_RMENU;
    case SDL_SCANCODE_LGUI:
      return VK_LWIN;
    case SDL_SCANCODE_RGUI:
      return VK_RWIN;
    default:
      return 0;
  }
}

// Window pixels to display pixels, clamped to positive values.  A renderer
// with a logical size has already converted the event (letterbox included).
void toLogical(int x, int y, int* lx, int* ly) {
  int w = 0, h = 0;
  bool converted = false;
  if (sMain) {
    SDL_GetWindowSize(sMain->sdl, &w, &h);
    if (SDL_Renderer* r = SDL_GetRenderer(sMain->sdl)) {
      int rw = 0, rh = 0;
      SDL_RenderGetLogicalSize(r, &rw, &rh);
      converted = rw > 0 && rh > 0;
    }
  }
  if (!converted && sLogicalWidth > 0 && sLogicalHeight > 0 && w > 0 && h > 0) {
    x = static_cast<int>(static_cast<int64_t>(x) * sLogicalWidth / w);
    y = static_cast<int>(static_cast<int64_t>(y) * sLogicalHeight / h);
  }
  *lx = std::max(0, std::min(x, 0xFFFF));
  *ly = std::max(0, std::min(y, 0xFFFF));
}

uintptr_t mouseKeyFlags() {
  uintptr_t f = 0;
  if (getKeyState(VK_LBUTTON) < 0) f |= 0x0001;
  if (getKeyState(VK_RBUTTON) < 0) f |= 0x0002;
  if (getKeyState(VK_SHIFT) < 0) f |= 0x0004;
  if (getKeyState(VK_CONTROL) < 0) f |= 0x0008;
  return f;
}

void queue(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  sQueue.push_back(Message{sMain, message, wParam, lParam});
}

void translateKey(const SDL_KeyboardEvent& k) {
  const uint32_t vk = virtualKeyOf(k.keysym.scancode);
  if (vk == 0) return;
  const bool down = k.type == SDL_KEYDOWN;
  const bool wasDown = getKeyState(vk) < 0;
  setKeyState(vk, down);
  // Messages name the common modifier, as Windows does.
  const uint32_t common = commonModifierOf(vk);
  const uint32_t key = common ? common : vk;
  // Alt combinations, Alt itself and F10 are system keys.
  const bool system = getKeyState(VK_MENU) < 0 || key == VK_MENU || key == VK_F10;
  uintptr_t lParam = 1 | (static_cast<uint32_t>(k.keysym.scancode & 0xFF) << 16);
  if (getKeyState(VK_MENU) < 0) lParam |= 1u << 29;
  if (down && (wasDown || k.repeat)) lParam |= 1u << 30;
  if (!down) lParam |= 3u << 30;
  const uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  queue(message, key, static_cast<intptr_t>(lParam));
}

void translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      translateKey(e.key);
      break;
    case SDL_MOUSEMOTION: {
      int x, y;
      toLogical(e.motion.x, e.motion.y, &x, &y);
      queue(WM_SETCURSOR, 0, static_cast<intptr_t>(makeLong(1 /* client area */, WM_MOUSEMOVE)));
      queue(WM_MOUSEMOVE, mouseKeyFlags(), static_cast<intptr_t>(makeLong(x, y)));
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      const bool left = e.button.button == SDL_BUTTON_LEFT;
      if (!left && e.button.button != SDL_BUTTON_RIGHT) break;
      setKeyState(left ? VK_LBUTTON : VK_RBUTTON, down);
      int x, y;
      toLogical(e.button.x, e.button.y, &x, &y);
      const uint32_t message =
          left ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP) : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
      queue(message, mouseKeyFlags(), static_cast<intptr_t>(makeLong(x, y)));
      break;
    }
    case SDL_WINDOWEVENT: {
      const bool minimised = sMain && (SDL_GetWindowFlags(sMain->sdl) & SDL_WINDOW_MINIMIZED);
      switch (e.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
          queue(WM_SIZE, SIZE_MINIMIZED, 0);
          queue(WM_ACTIVATE, makeLong(WA_INACTIVE, 1), 0);
          break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: {
          const Rect c = clientRect(sMain);
          queue(WM_SIZE, e.window.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED,
                static_cast<intptr_t>(makeLong(c.right, c.bottom)));
          queue(WM_ACTIVATE, makeLong(WA_ACTIVE, 0), 0);
          break;
        }
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          if (!minimised)
            queue(WM_SIZE, SIZE_RESTORED, static_cast<intptr_t>(makeLong(e.window.data1, e.window.data2)));
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          queue(WM_ACTIVATE, makeLong(WA_ACTIVE, minimised ? 1 : 0), 0);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          // Held keys are released where we cannot see it.
          releaseAllKeys();
          queue(WM_ACTIVATE, makeLong(WA_INACTIVE, minimised ? 1 : 0), 0);
          break;
        case SDL_WINDOWEVENT_MOVED: {
          const Rect c = clientScreenRect(sMain);
          queue(WM_MOVE, 0, static_cast<intptr_t>(makeLong(c.left, c.top)));
          break;
        }
        case SDL_WINDOWEVENT_EXPOSED:
          queue(WM_PAINT, 0, 0);
          break;
        case SDL_WINDOWEVENT_CLOSE:
          queue(WM_CLOSE, 0, 0);
          break;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
}

std::string sWindowError;

bool named(const char* value) { return value && *value; }

// SDL falls back on drivers that show nothing (offscreen, dummy) when no
// display answers; those are taken only when asked for by name, so that a
// program started without a display says so instead of running unseen.
// Wayland is left out when nothing names a compositor: its client library
// would only complain on stderr.
bool chooseVideoDrivers() {
  if (named(SDL_getenv("SDL_VIDEODRIVER")) || named(SDL_GetHint(SDL_HINT_VIDEODRIVER))) return true;
  std::string list;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const std::string name = SDL_GetVideoDriver(i);
    if (name == "offscreen" || name == "dummy" || name == "evdev") continue;
    if (name == "wayland" && !named(SDL_getenv("WAYLAND_DISPLAY")) && !named(SDL_getenv("XDG_RUNTIME_DIR")))
      continue;
    list += (list.empty() ? "" : ",") + name;
  }
  if (list.empty()) return false;
  SDL_SetHint(SDL_HINT_VIDEODRIVER, list.c_str());
  return true;
}

void fetchEvents() {
  const int signals = sCloseSignals.load();
  if (signals != sCloseSignalsSeen) {
    sCloseSignalsSeen = signals;
    if (sMain) queue(WM_CLOSE, 0, 0);
  }
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  stepEventScript();
  SDL_Event e;
  while (sQueue.empty() && SDL_PollEvent(&e)) translate(e);
}

}  // namespace

// --- Hard stops ---

void holdHardStops() { sHardStopsHeld.fetch_add(1); }

void releaseHardStops() {
  if (sHardStopsHeld.fetch_sub(1) == 1) {
    if (const int signal = sPendingHardStop.exchange(0)) endBy(signal);
  }
}

// --- The window ---

Window* createWindow(const char* title, WindowProc proc, bool topMost) {
  if (sMain) return nullptr;
  // Our own signal handlers turn SIGINT, SIGTERM and SIGHUP into WM_CLOSE.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Losing the keyboard focus must not minimise the full-screen window.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (!chooseVideoDrivers()) {
    sWindowError = "no video driver for a display";
    return nullptr;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    sWindowError = SDL_GetError();
    return nullptr;
  }
  int w, h;
  desktopSize(&w, &h);
  Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN | SDL_WINDOW_INPUT_FOCUS;
  if (topMost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", 0, 0, w, h, flags);
  if (!sdl) {
    sWindowError = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  sWindowError.clear();
  sMain = new Window{sdl, proc, topMost};
  installCloseSignals();
  SDL_RaiseWindow(sdl);
  // What showing and focusing a window sends at once.
  sendMessage(sMain, WM_SIZE, SIZE_RESTORED, static_cast<intptr_t>(makeLong(w, h)));
  sendMessage(sMain, WM_MOVE, 0, 0);
  sendMessage(sMain, WM_ACTIVATE, WA_ACTIVE, 0);
  startEventScript();
  return sMain;
}

bool destroyWindow(Window* window) {
  if (!window || window != sMain) return false;
  sendMessage(window, WM_DESTROY, 0, 0);
  SDL_DestroyWindow(window->sdl);
  sMain = nullptr;
  // Posted messages for the window are dropped, as Windows drops them.
  for (Message& m : sQueue)
    if (m.window == window) m.window = nullptr;
  delete window;
  return true;
}

const char* windowError() { return sWindowError.c_str(); }

Window* mainWindow() { return sMain; }
SDL_Window* sdlWindow() { return sMain ? sMain->sdl : nullptr; }

void desktopSize(int* width, int* height) {
  SDL_DisplayMode mode{};
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
    *width = mode.w;
    *height = mode.h;
  } else {
    *width = 1024;
    *height = 768;
  }
}

bool setWindowMode(bool fullScreen, int width, int height) {
  if (!sMain) return false;
  SDL_Window* w = sMain->sdl;
  if (fullScreen) {
    int dw, dh;
    desktopSize(&dw, &dh);
    SDL_SetWindowBordered(w, SDL_FALSE);
    SDL_SetWindowAlwaysOnTop(w, sMain->topMost ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowSize(w, dw, dh);
    SDL_SetWindowPosition(w, 0, 0);
  } else {
    SDL_SetWindowAlwaysOnTop(w, SDL_FALSE);
    SDL_SetWindowBordered(w, SDL_TRUE);
    SDL_SetWindowSize(w, std::max(1, width), std::max(1, height));
    SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  SDL_ShowWindow(w);
  return true;
}

void setLogicalSize(int width, int height) {
  sLogicalWidth = width;
  sLogicalHeight = height;
}

Rect windowRect(Window* window) {
  if (!window || window != sMain) return Rect{};
  int x, y, w, h, top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowPosition(window->sdl, &x, &y);
  SDL_GetWindowSize(window->sdl, &w, &h);
  SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right);
  return Rect{x - left, y - top, x + w + right, y + h + bottom};
}

Rect clientRect(Window* window) {
  if (!window || window != sMain) return Rect{};
  int w, h;
  SDL_GetWindowSize(window->sdl, &w, &h);
  return Rect{0, 0, w, h};
}

Rect clientScreenRect(Window* window) {
  if (!window || window != sMain) return Rect{};
  int x, y, w, h;
  SDL_GetWindowPosition(window->sdl, &x, &y);
  SDL_GetWindowSize(window->sdl, &w, &h);
  return Rect{x, y, x + w, y + h};
}

void showCursor(bool show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// --- The message queue ---

bool peekMessage(Message* message) {
  if (sQueue.empty()) fetchEvents();
  if (!sQueue.empty()) {
    *message = sQueue.front();
    sQueue.pop_front();
    return true;
  }
  if (sQuitPosted) {
    sQuitPosted = false;
    *message = Message{nullptr, WM_QUIT, static_cast<uintptr_t>(sQuitCode), 0};
    return true;
  }
  return false;
}

bool waitForMessage(uint32_t timeoutMs) {
  if (!sQueue.empty() || sQuitPosted || sCloseSignals.load() != sCloseSignalsSeen) return true;
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  if (eventScriptPending() && timeoutMs > 1) timeoutMs = 1;
  SDL_Event e;
  if (SDL_WaitEventTimeout(&e, int(timeoutMs > 0x7FFFFFFF ? 0x7FFFFFFF : timeoutMs)) == 0) return false;
  translate(e);
  return true;
}

intptr_t dispatchMessage(const Message& message) {
  return sendMessage(message.window, message.message, message.wParam, message.lParam);
}

intptr_t sendMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // A window that was destroyed is only compared, never touched.
  if (!window || window != sMain || !window->proc) return 0;
  return window->proc(window, message, wParam, lParam);
}

void postMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  sQueue.push_back(Message{window, message, wParam, lParam});
}

void postQuitMessage(int exitCode) {
  sQuitPosted = true;
  sQuitCode = exitCode;
}

intptr_t defWindowProc(Window* window, uint32_t message, uintptr_t, intptr_t) {
  switch (message) {
    case WM_CLOSE:
      destroyWindow(window);
      return 0;
    case WM_SETCURSOR:
      showCursor(true);
      return 0;
    default:
      return 0;
  }
}

uint32_t registerWindowMessage(const char* name) {
  static std::map<std::string, uint32_t> registered;
  if (!name || !*name) return 0;
  auto [it, added] = registered.emplace(name, 0xC000u + static_cast<uint32_t>(registered.size()));
  return it->second;
}

bool broadcastMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!sMain) return false;
  postMessage(sMain, message, wParam, lParam);
  return true;
}

void clearMessageQueue() {
  sQueue.clear();
  sQuitPosted = false;
}

void shutdownPlatform() {
  if (sMain) destroyWindow(sMain);
  clearMessageQueue();
  SDL_Quit();
}

}  // namespace platform
