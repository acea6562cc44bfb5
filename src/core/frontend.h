#pragma once
// The few calls the core makes into the debugger front end.  The core never
// includes a front-end header: the front end installs an implementation of
// this interface at start-up, and until it does the calls go nowhere.

#include <cstdint>
#include <string_view>

class CoreFrontEnd {
 public:
  virtual ~CoreFrontEnd() = default;
  // A line for the code window's User tab (the guest debug service).
  virtual void printUserMessage(std::u16string_view text) = 0;
  // A line for the code window's Warnings tab, which comes to the front.
  virtual void postWarning(std::u16string_view text) = 0;
  // A breakpoint was toggled: the code window's current tab and the data
  // window's Breakpoints tab show it.
  virtual void breakpointsChanged() = 0;
  // The video unit finished a debugger-mode picture in gScreenBitmap: the
  // app window's App tab takes it.
  virtual void showInAppPane() {}
  // The debugger's display size and font line height, which place the app
  // window's screen pane; without a front end a 640x480 display with a
  // 12-pixel font.
  struct Metrics {
    uint32_t width = 640, height = 480, fontHeight = 12;
  };
  virtual void displayMetrics(uint32_t& width, uint32_t& height, uint32_t& fontHeight) {
    const Metrics m;
    width = m.width;
    height = m.height;
    fontHeight = m.fontHeight;
  }
};

// Through the installed front end; nothing happens without one.
void postCoreWarning(const char* text);

// The installed front end, or null.
CoreFrontEnd* coreFrontEnd();
void installCoreFrontEnd(CoreFrontEnd* frontEnd);
