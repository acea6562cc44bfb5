#include "general/sound.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Sound on a machine without any usable audio driver: the null device.
class NullDeviceSound : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    saved_ = old ? old : "";
    hadOld_ = old != nullptr;
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    initSound();
  }
  void TearDown() override {
    releaseSound();
    if (hadOld_)
      setenv("SDL_AUDIODRIVER", saved_.c_str(), 1);
    else
      unsetenv("SDL_AUDIODRIVER");
  }
  static std::vector<uint8_t> stream() {
    std::vector<uint8_t> bytes(gStreamBuffer->size());
    EXPECT_TRUE(gStreamBuffer->read(0, bytes.data(), bytes.size()));
    return bytes;
  }
  std::string saved_;
  bool hadOld_ = false;
};

TEST_F(NullDeviceSound, StreamIsFourBlocksOf367StereoFrames) {
  ASSERT_NE(gStreamBuffer, nullptr);
  EXPECT_TRUE(gStreamBuffer->nullDevice());
  EXPECT_EQ(gFramesPerBlock, 367u);
  EXPECT_EQ(gStreamBuffer->size(), 5872u);
  for (uint8_t b : stream()) ASSERT_EQ(b, 0);  // starts silent
}

TEST_F(NullDeviceSound, BlockThreeFillsItsOwnBytesOnly) {
  std::vector<int16_t> samples(367 * 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(0x0101 * (1 + i % 100));
  writeSoundBlock(3, 0, samples.data());
  const std::vector<uint8_t> bytes = stream();
  for (size_t i = 0; i < 4404; ++i) ASSERT_EQ(bytes[i], 0) << i;
  for (size_t i = 4404; i < 5872; ++i) ASSERT_NE(bytes[i], 0) << i;
  EXPECT_EQ(bytes[4404], 1);
  EXPECT_EQ(bytes[5871], static_cast<uint8_t>(1 + (733 % 100)));
}

TEST_F(NullDeviceSound, NullSamplesAndBadBlocksLeaveTheStreamAlone) {
  std::vector<int16_t> samples(367 * 2, 0x2222);
  writeSoundBlock(1, 367, samples.data());
  const std::vector<uint8_t> before = stream();
  writeSoundBlock(1, 367, nullptr);
  writeSoundBlock(4, 367, samples.data());
  writeSoundBlock(0xFFFFFFFF, 367, samples.data());
  EXPECT_EQ(stream(), before);
  EXPECT_EQ(before[1468], 0x22);
  EXPECT_EQ(before[1467], 0);
  EXPECT_EQ(before[2936], 0);
}

TEST_F(NullDeviceSound, SecondSetUpKeepsTheStreamAndReleaseForgetsIt) {
  platform::AudioStream* first = gStreamBuffer;
  initSound();
  EXPECT_EQ(gStreamBuffer, first);
  releaseSound();
  EXPECT_EQ(gStreamBuffer, nullptr);
  writeSoundBlock(0, 367, nullptr);  // nothing there: nothing happens
  releaseSound();
}

TEST(DeviceSound, DummyDeviceTakesBlocksToo) {
  initSound();
  ASSERT_NE(gStreamBuffer, nullptr);
  std::vector<int16_t> samples(367 * 2, -1);
  writeSoundBlock(0, 367, samples.data());
  uint8_t b[2] = {0, 0};
  EXPECT_TRUE(gStreamBuffer->read(1466, b, 2));
  EXPECT_EQ(b[0], 0xFF);
  EXPECT_EQ(b[1], 0xFF);
  releaseSound();
}

}  // namespace
