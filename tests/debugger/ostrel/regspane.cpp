// The older program's registers pane: every value in orange, changed or not.

#include "../frontend.h"

using namespace frontend;

namespace {

class OlderRegisters : public Screen {};

TEST_F(OlderRegisters, NoChangeColours) {
  gEmulator.cpu().setReg(0, 0x12345678);
  gAppWindow->registers.refresh();
  EXPECT_EQ(bytes(gAppWindow->registers.lines[0]).substr(0, 16), "\x05R00:12345678  \x05");
  gEmulator.cpu().setReg(0, 1);
  gAppWindow->registers.refresh();
  const std::string line = bytes(gAppWindow->registers.lines[0]);
  EXPECT_EQ(line.substr(0, 16), "\x05R00:00000001  \x05");
  EXPECT_EQ(line.find('\x02'), std::string::npos);
  EXPECT_EQ(line.find('\x08'), std::string::npos);
}

}  // namespace
