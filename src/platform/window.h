#pragma once
// The program's one window on SDL2.  It has a window procedure like the
// Windows window it stands in for: messages from the queue (messages.h) are
// dispatched to it, and creating or destroying the window sends it the
// messages Windows would send.

#include <cstdint>

struct SDL_Window;

namespace platform {

// Opaque; there is at most one.  Every call taking a Window* accepts a
// pointer to a window that has been destroyed and then does nothing.
struct Window;

using WindowProc = intptr_t (*)(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct Rect {
  int32_t left, top, right, bottom;
};

// Creates, shows and focuses the main window: a borderless window at (0, 0)
// the size of the desktop, kept above other windows when topMost.  Sends
// WM_SIZE, WM_MOVE and WM_ACTIVATE to proc on the way, as showing a window
// does.  nullptr when SDL or the window cannot be set up: no display
// answers (a driver that shows nothing, offscreen or dummy, is used only
// when SDL_VIDEODRIVER names it), or the window cannot be made.
Window* createWindow(const char* title, WindowProc proc, bool topMost);
// Why the last createWindow gave nullptr; empty after one that worked.
const char* windowError();

// Sends WM_DESTROY to the window procedure, then closes the window.  False
// for a window that does not exist (any more).
bool destroyWindow(Window* window);

// The main window, or nullptr before it is created and after it is destroyed.
Window* mainWindow();

// The SDL window behind the main window, for the display's renderer;
// nullptr before it is created and after it is destroyed.
SDL_Window* sdlWindow();

// Size of the desktop the window was opened on (1024 x 768 when unknown).
void desktopSize(int* width, int* height);

// Full screen: the window covers the desktop, borderless.  Windowed: a
// normal framed window whose inside is width x height.  False when the
// window does not exist.
bool setWindowMode(bool fullScreen, int width, int height);

// The size of the picture the display shows in the window (its mode size).
// Mouse positions in messages are given in these pixels: SDL's renderer
// converts them when it has a logical size, else they are scaled here from
// the window's own; before any call, window pixels are used as they are.
void setLogicalSize(int width, int height);

// Outer rectangle of the window and its inside, in desktop coordinates;
// clientRect has its origin at (0, 0).  All zero without a window.
Rect windowRect(Window* window);
Rect clientRect(Window* window);
Rect clientScreenRect(Window* window);

// The mouse pointer over the window: shown (an arrow) or hidden.
void showCursor(bool show);

// Closes what is left of SDL at the end of the program.
void shutdownPlatform();

// The first SIGINT, SIGTERM or SIGHUP after the window exists closes it; a
// later one ends the program at once.  Between hold and release (a file
// being replaced) such an end waits until the last release.
void holdHardStops();
void releaseHardStops();

}  // namespace platform
