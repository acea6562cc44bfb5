// IString and FixedIString.
#include "general/istring.h"

#include <gtest/gtest.h>

#include <string>

#include "support/logcapture.h"

namespace {

using testsupport::LogCapture;

std::string narrow(const IString& s) {
  char buffer[1024];
  s.toCString(buffer, sizeof buffer);
  return buffer;
}

std::string narrow(const FixedIString& s) {
  char buffer[300];
  s.toCString(buffer, sizeof buffer);
  return buffer;
}

std::size_t checkFailures(const std::string& log) {
  std::size_t n = 0;
  for (std::size_t p = 0; (p = log.find("CHECK failure", p)) != std::string::npos; ++p) ++n;
  return n;
}

TEST(IString, FromTextSizesAndConversions) {
  struct Case {
    const char* text;
    u32 length, capacity;
  } cases[] = {{"hello", 5, 8}, {"", 0, 1}, {nullptr, 0, 1}, {"a", 1, 1}, {"abcd", 4, 4}};
  for (const Case& c : cases) {
    IString s = IString::fromText(c.text);
    EXPECT_EQ(s.length(), c.length) << (c.text ? c.text : "null");
    EXPECT_EQ(s.capacity(), c.capacity) << (c.text ? c.text : "null");
  }
  EXPECT_EQ(IString::fromText(nullptr).data(), nullptr);

  IString e = IString::fromText("caf\xE9");
  EXPECT_EQ(e.at(3), 0xFFE9);
  EXPECT_EQ(narrow(e), "caf\xE9");
  IString c = IString::fromChar('x');
  EXPECT_EQ(c.length(), 1u);
  EXPECT_EQ(c.capacity(), 1u);
}

TEST(IString, GrowthAndCopiesKeepTheCapacityRules) {
  IString s;
  std::string capacities;
  for (char ch : std::string("abcde")) {
    s.appendChar(static_cast<u16>(ch));
    capacities += std::to_string(s.capacity()) + " ";
  }
  EXPECT_EQ(capacities, "2 4 4 8 8 ");
  EXPECT_EQ(narrow(s), "abcde");

  IString t = IString::fromText("ab");  // capacity 2
  t += IString::fromText("cd");          // length 4 reaches the capacity: 4
  EXPECT_EQ(t.capacity(), 4u);
  t.appendText("efghi");
  EXPECT_EQ(t.capacity(), 16u);
  EXPECT_EQ(narrow(t), "abcdefghi");

  IString copy(t);
  EXPECT_EQ(copy.capacity(), 16u);
  EXPECT_EQ(narrow(copy), "abcdefghi");
  FixedIString f;
  f.assignText("12345");
  copy.assignFixed(f);
  EXPECT_EQ(copy.capacity(), 8u);
  EXPECT_EQ(narrow(copy), "12345");
  copy.assignText(nullptr);
  EXPECT_EQ(copy.length(), 0u);
}

TEST(IString, SelfAssignmentAndSelfAppend) {
  for (const char* text : {"", "a", "ab", "abc", "abcdefgh"}) {
    IString s = IString::fromText(text);
    s = s;
    s.assign(s);
    EXPECT_EQ(narrow(s), text);
    s += s;
    EXPECT_EQ(narrow(s), std::string(text) + text);
    s += s;
    EXPECT_EQ(narrow(s), std::string(text) + text + text + text);
  }
}

TEST(IString, OrderAndInequality) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  } cases[] = {
      {"ab", "abc", true}, {"abc", "ab", false}, {"B", "a", true},
      {"abc", "abc", false}, {"", "a", true},   {"\xE9", "z", false},  // 0xFFE9 sorts last
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IString::fromText(c.a) < IString::fromText(c.b), c.less) << c.a << " < " << c.b;
    FixedIString fa, fb;
    fa.assignText(c.a);
    fb.assignText(c.b);
    EXPECT_EQ(fa < fb, c.less) << c.a << " < " << c.b;
  }
  EXPECT_FALSE(IString::fromText("abc") != IString::fromText("abc"));
  EXPECT_TRUE(IString::fromText("abc") != IString::fromText("abd"));
  EXPECT_TRUE(IString::fromText("abc") != IString::fromText("ab"));
}

TEST(IString, ToCStringRespectsTheBuffer) {
  IString s = IString::fromText("hello");
  char out[8] = "XXXXXXX";
  s.toCString(out, 0);  // nothing at all, not even the NUL
  EXPECT_STREQ(out, "XXXXXXX");
  s.toCString(out, 1);
  EXPECT_STREQ(out, "");
  s.toCString(out, 4);
  EXPECT_STREQ(out, "hel");
  FixedIString f;
  f.assignText("hello");
  char fout[4] = "XXX";
  f.toCString(fout, 0);
  EXPECT_STREQ(fout, "XXX");
  f.toCString(fout, sizeof fout);
  EXPECT_STREQ(fout, "hel");
}

TEST(IString, ElementAccessIsChecked) {
  IString s = IString::fromText("ab");
  LogCapture log;
  s.at(2) = 'z';
  EXPECT_EQ(s.at(5), 0);
  EXPECT_EQ(IString().at(0), 0);
  EXPECT_EQ(narrow(s), "ab");
  EXPECT_EQ(checkFailures(log.text()), 3u);
  EXPECT_NE(log.text().find("file general/ptr"), std::string::npos);
}

TEST(FixedIString, LimitOf256) {
  FixedIString f;
  for (int i = 0; i < 256; ++i) f.appendChar('x');
  LogCapture log;
  f.appendChar('y');
  EXPECT_EQ(f.length(), 256u);
  EXPECT_EQ(checkFailures(log.text()), 1u);
  EXPECT_NE(log.text().find("file general/istring"), std::string::npos);

  std::string long300(300, 'q');
  LogCapture quiet;
  FixedIString clipped;
  clipped.assignTextClipped(long300.c_str());
  clipped.assign(IString::fromText(long300.c_str()));
  EXPECT_EQ(clipped.length(), 256u);
  EXPECT_EQ(quiet.text(), "");

  LogCapture loud;
  FixedIString reported;
  reported.assignText(long300.c_str());
  EXPECT_EQ(reported.length(), 256u);
  reported.assignIString(IString::fromText(long300.c_str()));
  EXPECT_EQ(reported.length(), 256u);
  EXPECT_EQ(checkFailures(loud.text()), 88u);

  // Access is checked against the capacity, not the length.
  FixedIString shortText;
  shortText.assignText("ab");
  LogCapture access;
  shortText.at(100) = 'k';
  EXPECT_EQ(shortText.at(100), 'k');
  EXPECT_EQ(access.text(), "");
  EXPECT_EQ(shortText.at(256), 0);
  EXPECT_EQ(checkFailures(access.text()), 1u);
}

TEST(FixedIString, Formatting) {
  struct Case {
    const char* name;
    void (*build)(FixedIString&);
    const char* expected;
  } cases[] = {
      {"hex4", [](FixedIString& f) { f.appendHex(0x1234ABCD, 4); }, "ABCD"},
      {"hex8", [](FixedIString& f) { f.appendHex8(0x1F); }, "0000001F"},
      {"hex1", [](FixedIString& f) { f.appendHex(0xFE, 1); }, "E"},
      {"hex0", [](FixedIString& f) { f.appendHex(0xFE, 0); }, ""},
      {"hex12", [](FixedIString& f) { f.appendHex(0xDEADBEEF, 12); }, "DEADBEEF"},
      {"float6", [](FixedIString& f) { f.appendFloat(1.5, 6); }, "1.5   "},
      {"float2", [](FixedIString& f) { f.appendFloat(1.5, 2); }, "1."},
      {"removeLast", [](FixedIString& f) { f.assignText("abcd"); f.removeLast(3); }, "a"},
      {"removeTooMany", [](FixedIString& f) { f.assignText("ab"); f.removeLast(9); }, ""},
      {"selfAppend", [](FixedIString& f) { f.assignText("ab"); f.appendFixed(f); }, "abab"},
      {"mixed", [](FixedIString& f) { f.assignChar('<'); f.appendString(IString::fromText("s")); f.appendText("t"); }, "<st"},
  };
  for (const Case& c : cases) {
    FixedIString f;
    c.build(f);
    EXPECT_EQ(narrow(f), c.expected) << c.name;
  }
}

TEST(FixedIString, ToCStringDropsControls) {
  FixedIString f;
  f.appendChar16(3);
  f.appendText("roms");
  f.appendChar16(14);
  f.appendChar16(0xFFE9);
  char out[257];
  EXPECT_EQ(toCString(out, f), 5u);
  EXPECT_STREQ(out, "roms\xE9");
}

TEST(FixedIString, IsConstantInitialisable) {
  static constinit FixedIString early;
  EXPECT_EQ(early.length(), 0u);
}

}  // namespace
