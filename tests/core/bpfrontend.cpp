// What the breakpoint table tells the front end.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/emulator.h"
#include "core/frontend.h"

namespace {

struct FrontEndDouble : CoreFrontEnd {
  std::vector<std::u16string> warnings;
  int refreshes = 0;
  void printUserMessage(std::u16string_view) override {}
  void postWarning(std::u16string_view text) override { warnings.emplace_back(text); }
  void breakpointsChanged() override { ++refreshes; }
};

}  // namespace

TEST(BreakpointFrontEnd, BoundsErrorIsWarnedAndTogglesRefreshTheViews) {
  FrontEndDouble fe;
  installCoreFrontEnd(&fe);
  auto emu = std::make_unique<Emulator>();
  EXPECT_FALSE(emu->breakpoints().setBits(0x10000000, 4, 1, kBreakExecute, true));
  ASSERT_EQ(fe.warnings.size(), 1u);
  EXPECT_EQ(fe.warnings[0], u"Breakpoint bounds error.");
  emu->breakpoints().toggleAt(0x08000000, false);
  EXPECT_TRUE(emu->breakpoints().isExecute(0x08000000));
  emu->breakpoints().toggleAt(0xFFFFFFFF, false);  // no address: the views refresh all the same
  EXPECT_EQ(fe.refreshes, 2);
  EXPECT_EQ(emu->breakpoints().list().count(), 1u);
  installCoreFrontEnd(nullptr);
}
