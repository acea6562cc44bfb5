// The message box and the prompt: typing, Backspace, Esc, Enter, the key
// delay, the screen under the box, and a frame that is missing or too big.

#include "frontend.h"

using namespace frontend;

namespace {

float gFakeSeconds = 0;
float fakeClock() { return gFakeSeconds; }

int gCommandRuns = 0;
FixedIString gLineSeen;
void command() {
  ++gCommandRuns;
  gLineSeen = gPromptLine;
}

class Prompt : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    gCommandRuns = 0;
    gFakeSeconds = 0;
    setDialogClock(&fakeClock);
    std::filesystem::copy_file(std::string(VANDREL_ASSET_DIR) + "/dlg_eng.bmp", "dlg_eng.bmp");
  }
  void key(u32 k) { Dialog::handleKey(k); }
  void type(const char* s) {
    for (; *s; ++s) key(u32(*s));
  }
  // Both display pages, pixel by pixel.
  std::vector<uint16_t> pages() {
    std::vector<uint16_t> out;
    for (int page = 0; page < 2; ++page) {
      gView.lock(1);
      for (u32 y = 0; y < gView.height(); y += 3)
        for (u32 x = 0; x < gView.width(); x += 3) out.push_back(gView.pixel(x, y));
      gView.unlock();
      gView.present();
    }
    return out;
  }
  void paintPattern() {
    for (int page = 0; page < 2; ++page) {
      gView.lock(2);
      for (u32 y = 0; y < gView.height(); ++y)
        for (u32 x = 0; x < gView.width(); ++x) gView.setPixel(x, y, uint16_t(x * 7 + y * 13));
      gView.unlock();
      gView.present();
    }
  }
};

TEST_F(Prompt, TypingBackspaceAndEnterRunTheCommandWithTheLine) {
  promptForInput(text("Title"), &command);
  EXPECT_EQ(gDisplayMode, 2u);
  EXPECT_FALSE(isMouseDispatchOn());
  EXPECT_EQ(bytes(gPromptLine), "\x03");
  key(8);  // Backspace on the empty line keeps the colour code
  EXPECT_EQ(bytes(gPromptLine), "\x03");
  type("x 80");
  key(8);
  type("9");
  EXPECT_EQ(bytes(gPromptLine), "\x03x 89");
  EXPECT_EQ(gDialogRedrawMask, 0xFFu);
  key(13);
  EXPECT_EQ(gCommandRuns, 1);
  EXPECT_EQ(bytes(gLineSeen), "\x03x 89");
  EXPECT_EQ(gDisplayMode, 0u);
  EXPECT_TRUE(isMouseDispatchOn());
}

TEST_F(Prompt, EnterAtOnceRunsTheCommandWithOnlyTheColourCode) {
  promptForInput(text("Title"), &command);
  key(13);
  EXPECT_EQ(gCommandRuns, 1);
  EXPECT_EQ(bytes(gLineSeen), "\x03");
}

TEST_F(Prompt, EscRunsNothingAndEmptiesTheLine) {
  promptForInput(text("Title"), &command);
  type("abc");
  key(27);
  EXPECT_EQ(gCommandRuns, 0);
  EXPECT_EQ(gPromptLine.length(), 0u);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Prompt, TheLineHoldsAtMost256Characters) {
  promptForInput(text("Title"), &command);
  for (int i = 0; i < 300; ++i) key('7');
  EXPECT_EQ(gPromptLine.length(), 256u);
  key(13);
}

TEST_F(Prompt, MessageBoxIgnoresOtherKeysAndHonoursItsDelay) {
  gFakeSeconds = 10;
  showMessageBox(text("Title"), text("Text"), 0.5f);
  EXPECT_EQ(gIsMessageBox, 1u);
  gFakeSeconds = 10.4f;
  key(13);  // too early
  EXPECT_EQ(gDisplayMode, 2u);
  gFakeSeconds = 10.6f;
  key('a');
  EXPECT_EQ(gDisplayMode, 2u);
  EXPECT_EQ(gKeyDelay, 0.0f);
  key(27);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Prompt, WithoutDelayTheFirstKeyCounts) {
  gKeyDelay = 0;
  showMessageBox(text("Title"), text("Text"), 0);
  key(13);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Prompt, TheScreenUnderTheBoxComesBackOnBothPages) {
  paintPattern();
  const std::vector<uint16_t> before = pages();
  showMessageBox(text("Title"), text("Text"), 0);
  EXPECT_NE(pages(), before);
  key(13);
  EXPECT_EQ(pages(), before);
  promptForInput(text("Title"), &command);
  type("12");
  for (int i = 0; i < 4; ++i) {
    gFakeSeconds += 0.25f;
    Dialog::draw();
    gView.present();
  }
  key(27);
  EXPECT_EQ(pages(), before);
}

TEST_F(Prompt, EveryPromptBoxHidesWhatLiesUnderIt) {
  gCodeWindow->selectTab(CodeWindow::kDisassembly);
  for (int i = 0; i < 3; ++i) mainLoopPass();
  // B, G, D and Shift+E, each with a typed line, over the listing.
  const struct { u32 key, modifiers; } prompts[] = {{'B', 0}, {'G', 0}, {'D', 0}, {'E', kKeyShift}};
  for (const auto& p : prompts) {
    SCOPED_TRACE(char(p.key));
    press(p.key, p.modifiers);
    ASSERT_EQ(gDisplayMode, 2u);
    frontend::Screen::type("12");
    const DialogGeometry g = dialogGeometry();
    // On the page shown last the box is the frame picture itself, the
    // cursor's underline aside.
    gDialogFrame.lock(1);
    const u16* page = display->buffers().shown();
    u32 differing = 0;
    for (u32 y = 0; y < gDialogFrame.height(); ++y)
      for (u32 x = 0; x < gDialogFrame.width(); ++x)
        differing += page[(g.boxY + y) * 640 + g.boxX + x] != gDialogFrame.pixel(x, y);
    gDialogFrame.unlock();
    EXPECT_LE(differing, 2 * 8u);
    press(platform::VK_ESCAPE);
  }
}

TEST_F(Prompt, BoxIsCentredAndTheCursorFollowsTheLine) {
  promptForInput(text("Title"), &command);
  const DialogGeometry g = dialogGeometry();
  EXPECT_EQ(g.boxX, (640 - gDialogFrame.width()) / 2);
  EXPECT_EQ(g.boxY, (480 - gDialogFrame.height()) / 2);
  EXPECT_EQ(g.bottomRow, gDialogFrame.height() * 3 / 4);
  type("12");
  gFakeSeconds = 0.25f;  // the cursor's bright phase
  Dialog::draw();
  const u32 y = g.boxY + g.bottomRow + 12;
  const u32 x = g.boxX + 20 + 8 * 2;
  gView.lock(1);
  EXPECT_EQ(gView.pixel(x, y), gView.rgb(1, 1, 0));
  EXPECT_EQ(gView.pixel(x + 8, y), gView.rgb(1, 1, 0));
  gView.unlock();
  key(27);
}

TEST_F(Prompt, ALongLineKeepsItsCursorInsideTheBox) {
  promptForInput(text("Title"), &command);
  for (int i = 0; i < 200; ++i) key('7');
  gFakeSeconds = 0.25f;
  Dialog::draw();
  const DialogGeometry g = dialogGeometry();
  const u32 y = g.boxY + g.bottomRow + 12;
  gView.lock(1);
  u32 rightmost = 0;
  for (u32 x = 0; x < gView.width(); ++x)
    if (gView.pixel(x, y) == gView.rgb(1, 1, 0)) rightmost = x;
  gView.unlock();
  EXPECT_GT(rightmost, g.boxX);
  EXPECT_LE(rightmost, g.boxX + gDialogFrame.width() - 20);
  key(27);
}

TEST(PromptFrame, AMissingOrOversizedFrameStillGivesABoxOnScreen) {
  testsupport::ScopedTempDir dir;  // no dlg_eng.bmp here
  auto backend = std::make_unique<platform::MemoryDisplay>(platform::kMasks565);
  gView.useBackend(std::move(backend));
  gView.setScreenMode(320, 240, 2, false);
  gRunAppModeSwitch.value() = 0;
  gDialogFrame.clear();
  promptForInput(text("Title"), nullptr);
  EXPECT_GT(gDialogFrame.height(), 0u);
  DialogGeometry g = dialogGeometry();
  EXPECT_LE(g.boxX + gDialogFrame.width(), 320u);
  EXPECT_LE(g.boxY + gDialogFrame.height(), 240u);
  Dialog::handleKey(27);
  // A frame picture larger than the display sits at its top left corner; a
  // whole prompt on it stays on the display and puts the screen back.
  {
    PlainBitmap big;
    big.resize(400, 300);
    big.fillRect(0x1234, nullptr);
    ASSERT_TRUE(gView.saveBmp("dlg_eng.bmp", big));
  }
  gDialogFrame.clear();
  gView.fill(0x0042, nullptr);
  gView.present();
  gView.fill(0x0042, nullptr);
  promptForInput(text("Title"), nullptr);
  g = dialogGeometry();
  EXPECT_EQ(gDialogFrame.width(), 400u);
  EXPECT_EQ(g.boxX, 0u);
  EXPECT_EQ(g.boxY, 0u);
  for (int i = 0; i < 60; ++i) Dialog::handleKey('7');
  Dialog::draw();
  Dialog::handleKey(27);
  for (int page = 0; page < 2; ++page) {
    gView.lock(1);
    EXPECT_EQ(gView.pixel(0, 0), 0x0042);
    EXPECT_EQ(gView.pixel(319, 239), 0x0042);
    gView.unlock();
    gView.present();
  }
  gDialogFrame.clear();
  gView.useBackend(nullptr);
}

}  // namespace
