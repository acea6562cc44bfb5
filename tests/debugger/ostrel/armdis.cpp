#include "debugger/armdis.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/variant.h"

// Ostrel has no disassembler settings: whatever the options say, it writes
// block transfers bracketed, format-5 high registers as H0-H7, PUSH/POP with
// ", LR }" / ", PC }" and the SP-relative forms with SP.
namespace {

struct Case {
  bool thumb;
  u32 address;
  u32 code;
  const char* text;
};

const Case kCases[] = {
    {false, 0x08000000, 0xE92D4010, "STM\t[-R13]!, { R4, R14 }"},
    {false, 0x08000000, 0xE890002E, "LDM\t[R0+], { R1-R3, R5 }"},
    {false, 0x08000000, 0xE3A0101F, "MOV\tR1, #0x0000001F"},
    {true, 0x08000000, 0x4770, "BX\tH6"},
    {true, 0x08000000, 0x4468, "ADD\tR0, H5"},
    {true, 0x08000000, 0x46F7, "MOV\tH7, H6"},
    {true, 0x08000000, 0x4488, "ADD\tH0, R1"},
    {true, 0x08000000, 0x45EC, "CMP\tH4, H5"},
    {true, 0x08000000, 0xB5F0, "PUSH\t{ R4-R7, LR }"},
    {true, 0x08000000, 0xB500, "PUSH\t{ , LR }"},
    {true, 0x08000000, 0xBD00, "POP\t{ , PC }"},
    {true, 0x08000000, 0xBC01, "POP\t{ R0}"},
    {true, 0x08000000, 0x98FF, "LDR\tR0, [SP, #0xff]"},
    {true, 0x08000000, 0xA8FF, "ADD\tR0, SP, #0x3fc"},
    {true, 0x08000000, 0xB082, "ADD\tSP, #-0x8"},
};

TEST(OstrelDisassembler, FixedForms) {
  ASSERT_TRUE(variant::kOlder);
  for (const Case& c : kCases) {
    for (int settings = 0; settings < 4; ++settings) {
      DisassemblyOptions options;
      options.hiRegSyntax = settings & 1;
      options.mnemonic = settings & 2;
      FixedIString out;
      if (c.thumb) {
        disassembleThumb(out, c.address, static_cast<u16>(c.code), 0, options);
      } else {
        disassembleArm(out, c.address, c.code, options);
      }
      char text[300];
      out.toCString(text, sizeof text);
      EXPECT_EQ(std::string(text), c.text) << std::hex << c.code << " settings " << settings;
    }
  }
}

}  // namespace
