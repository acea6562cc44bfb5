#include "core/eeprom.h"

#include <memory>

#include "core/emulator.h"

#include "core/breakpt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The guest's side of the protocol, one bit per halfword write from the
// port's start, as a game's DMA of the request would do it.
struct Port {
  uint8_t ports[kEepromPortSize] = {};
  uint8_t store[kEepromStoreSize];
  Port() { std::memset(store, 0xFF, sizeof store); }

  void send(const std::vector<int>& bits) {
    for (size_t i = 0; i < bits.size(); ++i) {
      ports[2 * i] = uint8_t(bits[i]);
      ports[2 * i + 1] = 0;
    }
  }
  static void appendBits(std::vector<int>& out, uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) out.push_back(int(value >> i) & 1);
  }
  void write(uint32_t block, uint64_t data) {
    std::vector<int> bits = {1, 0};
    appendBits(bits, block, 6);
    appendBits(bits, data, 64);
    bits.push_back(0);
    send(bits);
    eepromWriteRequest(ports, store);
  }
  uint64_t read(uint32_t block) {
    std::vector<int> bits = {1, 1};
    appendBits(bits, block, 6);
    bits.push_back(0);
    send(bits);
    eepromReadRequest(ports, store);
    // The guest reads 68 halfwords from the port's start and drops the first four.
    uint64_t data = 0;
    for (int i = 4; i < 68; ++i) data = data << 1 | (ports[2 * i] & 1);
    return data;
  }
};

}  // namespace

TEST(Eeprom, WriteThenReadReturnsTheBitsAfterFourIgnoredOnes) {
  Port p;
  p.write(5, 0x0123456789ABCDEFull);
  p.write(6, 0xFEDCBA9876543210ull);
  EXPECT_EQ(p.read(5), 0x0123456789ABCDEFull);
  EXPECT_EQ(p.read(6), 0xFEDCBA9876543210ull);
  EXPECT_EQ(p.read(63), 0xFFFFFFFFFFFFFFFFull);  // never written: erased state
  // Stored as the block's four halfwords, most significant bit first.
  EXPECT_EQ(p.store[40], 0x23);
  EXPECT_EQ(p.store[41], 0x01);
  // The ready bit the guest polls keeps the 1 it wrote.
  EXPECT_EQ(p.ports[0] & 1, 1);
}

TEST(Eeprom, OtherRequestPatternsDoNothing) {
  Port p;
  p.write(1, 0x5555);
  uint8_t before[kEepromStoreSize];
  std::memcpy(before, p.store, sizeof before);
  p.send({0, 1, 0, 0, 0, 0, 0, 1});
  eepromWriteRequest(p.ports, p.store);
  eepromReadRequest(p.ports, p.store);
  EXPECT_EQ(std::memcmp(before, p.store, sizeof before), 0);
  EXPECT_EQ(p.ports[2 * 4], 0);  // no reply written
  // A read request leaves a write request's data alone and vice versa.
  p.send({1, 1, 0, 0, 0, 0, 0, 1});
  eepromWriteRequest(p.ports, p.store);
  EXPECT_EQ(std::memcmp(before, p.store, sizeof before), 0);
}

TEST(Eeprom, AnEmulatorStartsErasedAndAResetKeepsWhatTheGameSaved) {
  auto emu = std::make_unique<Emulator>();
  EXPECT_EQ(emu->eepromStore()[0], 0xFF);
  EXPECT_EQ(emu->eepromStore()[kEepromStoreSize - 1], 0xFF);
  emu->eepromStore()[3] = 0x12;
  emu->reset();
  emu->breakpoints().installIoTraps();
  EXPECT_EQ(emu->eepromStore()[3], 0x12);
}
