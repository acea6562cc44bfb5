#include "core/debugsvc.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/frontend.h"

namespace {

// Stands in for the code window's User tab.
struct UserTab : CoreFrontEnd {
  std::vector<std::u16string> lines;
  void printUserMessage(std::u16string_view text) override { lines.emplace_back(text); }
  void postWarning(std::u16string_view) override {}
  void breakpointsChanged() override {}
};

struct DebugServiceTest : ::testing::Test {
  UserTab tab;
  std::map<uint32_t, uint8_t> bytes;  // anything else reads as unmapped
  GuestReader guest{
      [this](uint32_t a) -> uint8_t {
        auto it = bytes.find(a);
        return it == bytes.end() ? 0xFF : it->second;
      },
      [this](uint32_t a) -> uint16_t {
        auto lo = bytes.find(a), hi = bytes.find(a + 1);
        if (lo == bytes.end() || hi == bytes.end()) return 0xFFFF;
        return uint16_t(lo->second | hi->second << 8);
      }};
  void SetUp() override { installCoreFrontEnd(&tab); }
  void TearDown() override { installCoreFrontEnd(nullptr); }
  void put(uint32_t a, const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) bytes[a + uint32_t(i)] = uint8_t(s[i]);
  }
  std::u16string call(uint32_t r0, uint32_t r1, uint32_t& status) {
    tab.lines.clear();
    runDebugService(r0, r1, guest, status);
    return tab.lines.empty() ? u"<nothing>" : tab.lines.back();
  }
};

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

TEST_F(DebugServiceTest, CodesZeroToFourAndOthers) {
  uint32_t status = 0;
  put(0x02000000, std::string("Hello\0", 6));
  EXPECT_EQ(call(1, 0x02000000, status), u"Hello");
  put(0x02000100, std::string("H\0i\0!\0\0\0", 8));
  EXPECT_EQ(call(2, 0x02000100, status), u"Hi!");
  EXPECT_EQ(call(3, 0xBEEF, status), u"0000BEEF");
  EXPECT_EQ(call(4, 0x00018000, status), u"1.5     ");
  EXPECT_EQ(call(4, 0xFFFF0000, status), u"-1      ");
  EXPECT_EQ(call(4, 0xFFFFFFFF, status), u"-1.52588");  // cut to eight characters
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(call(0, 0, status), u"<nothing>");
  EXPECT_EQ(status, kStatusGuestStop);
  status = 0;
  EXPECT_EQ(call(7, 0x02000000, status), u"<nothing>");
  EXPECT_EQ(status, 0u);
}

TEST_F(DebugServiceTest, StringsStopAtTwoHundredFiftySixCharacters) {
  uint32_t status = 0;
  put(0x03000000, std::string(300, 'x'));
  EXPECT_EQ(call(1, 0x03000000, status), wide(std::string(256, 'x')));
  // Unmapped memory reads all ones and ends only at the limit.
  EXPECT_EQ(call(1, 0x01000000, status).size(), 256u);
  EXPECT_EQ(call(2, 0x01000000, status), std::u16string(256, u'\xFFFF'));
  // High bytes are characters 128-255, not sign-extended.
  put(0x02000200, std::string("\xE9\0", 2));
  EXPECT_EQ(call(1, 0x02000200, status), std::u16string(1, u'\u00E9'));
}

TEST_F(DebugServiceTest, WithoutAFrontEndNothingIsPrinted) {
  installCoreFrontEnd(nullptr);
  uint32_t status = 0;
  runDebugService(3, 1, guest, status);
  EXPECT_TRUE(tab.lines.empty());
}
