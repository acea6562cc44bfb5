#pragma once
// A message box for errors the user must see.  The text always goes to
// stderr too.  A box is shown only where someone can answer it (a real
// display); it is closed after at most kMessageBoxSeconds, so an
// unattended run never hangs on it.

namespace platform {

inline constexpr int kMessageBoxSeconds = 30;

void messageBox(const char* title, const char* text);

}  // namespace platform
