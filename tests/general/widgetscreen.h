#pragma once
// Fixture for the widget tests: a memory display behind gView, the program's
// own 8 x 12 font as the widget font, and the application colours.

#include <gtest/gtest.h>

#include <string>

#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"
#include "pictures.h"
#include "platform/variant.h"

class WidgetScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    display = pictures::memoryView(640, 480, variant::kOlder ? platform::kMasks555 : platform::kMasks565);
    // Other tests may free the fonts; load ours again when it is gone.
    if (gWidgetFont == 0 || gWidgetFont > gFontTable.size() || fontWidth(gWidgetFont) != 8 ||
        fontHeight(gWidgetFont) != 12)
      gWidgetFont = loadFont((std::string(VANDREL_ASSET_DIR) + "/eng.bmp").c_str(), 8, 12, 256);
    ASSERT_EQ(fontWidth(gWidgetFont), 8u);
    ASSERT_EQ(fontHeight(gWidgetFont), 12u);
    gColourGrey = gView.rgb(0.75f, 0.75f, 0.75f);
    gColourYellow = gView.rgb(1, 1, 0);
    gColourBlue = gView.rgb(0, 0, 1);
    gColourBlack = gView.rgb(0, 0, 0);
    gColourRed = gView.rgb(1, 0, 0);
  }

  // Later tests find the view as the program starts, without a display.
  pictures::ScopedDisplay scoped;
  platform::MemoryDisplay* display = nullptr;
};
