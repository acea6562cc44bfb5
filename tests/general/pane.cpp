#include "general/pane.h"

#include <gtest/gtest.h>

#include "widgetscreen.h"

#include <string>

namespace {

using Panes = WidgetScreen;

// A list of numbered lines "L0", "L1", ...
class NumberList : public ListPane {
 public:
  explicit NumberList(u32 count) {
    for (u32 i = 0; i < count; ++i) source.append(IString::fromText(("L" + std::to_string(i)).c_str()));
  }
};

std::string text(const FixedIString& f) {
  std::string s;
  for (u32 i = 0; i < f.length(); ++i) s += static_cast<char>(f.at(i));
  return s;
}

// The visible lines joined, "-" for an empty one.
std::string shown(const TextPane& p) {
  std::string s;
  for (u32 i = 0; i < p.lines.count(); ++i) {
    const std::string t = text(p.lines.at(i));
    s += (i ? " " : "") + (t.empty() ? std::string("-") : t);
  }
  return s;
}

// Font lines are 12 pixels high: a 100-pixel pane has 8 lines.
constexpr u32 kPaneHeight = 100;

TEST_F(Panes, ListPaneScrollAndPageMovesFromTheEdgeCases) {
  enum Op { kSetTop, kScrollUp, kScrollDown, kPageUp, kPageDown };
  struct Case {
    u32 lines, start;
    Op op;
    u32 arg, top;
    bool dirty;
  } cases[] = {
      // Shorter than the pane: the top stays 0 whatever is asked.
      {5, 0, kScrollDown, 0, 0, false},
      {5, 0, kScrollUp, 0, 0, false},
      {5, 0, kPageDown, 0, 0, true},
      {5, 0, kPageUp, 0, 0, true},
      {5, 0, kSetTop, 3, 0, true},
      // Longer than the pane: the last page stays full.
      {20, 0, kSetTop, 15, 12, true},
      {20, 0, kSetTop, 11, 11, true},
      {20, 8, kPageDown, 0, 12, true},
      {20, 12, kPageDown, 0, 12, true},
      {20, 8, kPageUp, 0, 0, true},
      {20, 9, kPageUp, 0, 1, true},
      {20, 12, kScrollDown, 0, 12, false},
      {20, 11, kScrollDown, 0, 12, true},
      {20, 0, kScrollUp, 0, 0, false},
      {20, 5, kScrollUp, 0, 4, true},
      // "Show the end" requests must not wrap around in 32 bits.
      {20, 0, kSetTop, 0x80000000, 12, true},
      {20, 0, kSetTop, 0xFFFFFFFF, 12, true},
      {20, 0, kSetTop, 0xFFFFFFFA, 12, true},
      // Exactly one page.
      {8, 0, kPageDown, 0, 0, true},
      {8, 0, kScrollDown, 0, 0, false},
  };
  for (const Case& c : cases) {
    NumberList p(c.lines);
    p.setRect(0, 0, 200, kPaneHeight);
    ASSERT_EQ(p.lineCount(), 8u);
    p.setTop(c.start);
    ASSERT_EQ(p.top, c.start);
    p.dirtyMask = 0;
    switch (c.op) {
      case kSetTop: p.setTop(c.arg); break;
      case kScrollUp: p.scrollUp(); break;
      case kScrollDown: p.scrollDown(); break;
      case kPageUp: p.pageUp(); break;
      case kPageDown: p.pageDown(); break;
    }
    SCOPED_TRACE(::testing::Message() << c.lines << " lines from top " << c.start << ", op " << c.op);
    EXPECT_EQ(p.top, c.top);
    EXPECT_EQ(p.dirtyMask != 0, c.dirty);
    // Whatever the move, the visible lines are the source from top on.
    std::string want;
    for (u32 i = 0; i < 8; ++i)
      want += (i ? " " : "") + (c.top + i < c.lines ? "L" + std::to_string(c.top + i) : std::string("-"));
    EXPECT_EQ(shown(p), want);
  }
}

TEST_F(Panes, ListPaneLongSourceLinesAreCutAtTheFixedTextSize) {
  NumberList p(0);
  p.source.append(IString::fromText(std::string(300, 'x').c_str()));
  p.setRect(0, 0, 10, 24);
  p.refresh();
  EXPECT_EQ(p.lines.at(0).length(), 256u);
  EXPECT_EQ(p.lines.at(1).length(), 0u);
}

TEST_F(Panes, TextPaneAppendLineDropsTheTopLine) {
  NumberList p(0);
  p.setRect(0, 0, 10, 36);
  FixedIString a, b, c, d;
  a.assignText("a");
  b.assignText("b");
  c.assignText("c");
  d.assignText("d");
  for (const FixedIString* t : {&a, &b, &c, &d}) p.appendLine(*t);
  EXPECT_EQ(shown(p), "b c d");
}

TEST_F(Panes, PaneLowerThanOneLineIgnoresLineMoves) {
  NumberList p(20);
  p.setRect(0, 0, 100, 11);
  EXPECT_EQ(p.lineCount(), 0u);
  p.setTop(5);
  const u32 top = p.top;
  p.dirtyMask = 0;
  FixedIString t;
  t.assignText("x");
  p.appendLine(t);
  p.scrollUp();
  p.scrollDown();
  p.pageUp();
  p.pageDown();
  EXPECT_EQ(p.top, top);
  EXPECT_EQ(p.dirtyMask, 0u);
}

TEST_F(Panes, TextPaneSetRectResizesOnlyWhenTheLineCountChanges) {
  NumberList p(3);
  p.setRect(0, 0, 100, 36);
  p.refresh();
  p.setRect(10, 10, 50, 47);  // still 3 lines: contents kept
  EXPECT_EQ(shown(p), "L0 L1 L2");
  p.setRect(10, 10, 50, 48);
  EXPECT_EQ(shown(p), "- - - -");
}

TEST_F(Panes, TextPaneStockRefreshes) {
  NumberList p(0);
  p.setRect(0, 0, 100, 24);
  p.dirtyMask = 0;
  refreshPlaceholder(p);
  EXPECT_EQ(text(p.lines.at(0)), "* N * Y * I *");
  EXPECT_EQ(text(p.lines.at(1)), "* N * Y * I *");
  EXPECT_EQ(p.dirtyMask, 255u);
  p.dirtyMask = 0;
  refreshByRedraw(p);
  EXPECT_EQ(p.dirtyMask, 255u);
  EXPECT_EQ(text(p.lines.at(0)), "* N * Y * I *");
}

}  // namespace
