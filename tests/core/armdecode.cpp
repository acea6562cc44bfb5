#include "core/armdecode.h"

#include <gtest/gtest.h>

using namespace armdecode;

TEST(ArmDecode, ClassifiesEachArmClass) {
  struct Case { std::uint32_t op; ArmClass want; } cases[] = {
      {0xE12FFF10, ArmClass::BranchExchange},       // BX R0
      {0xE1D000B2, ArmClass::HalfwordImmediate},    // LDRH R0, [R0, #2]
      {0xE19100B2, ArmClass::HalfwordRegister},     // LDRH R0, [R1, R2]
      {0xE1D100D1, ArmClass::HalfwordImmediate},    // LDRSB R0, [R1, #1]
      {0xE0000291, ArmClass::Multiply},             // MUL R0, R1, R2
      {0xE0210392, ArmClass::Multiply},             // MLA R1, R2, R3, R0
      {0xE0810392, ArmClass::MultiplyLong},         // UMULL R0, R1, R2, R3
      {0xE1010092, ArmClass::Swap},                 // SWP R0, R2, [R1]
      {0xE1800090, ArmClass::Undefined},            // bits 24-23 = 3 in the multiply space
      {0xE0810002, ArmClass::DataProcessing},       // ADD R0, R1, R2
      {0xE10F0000, ArmClass::DataProcessing},       // MRS R0, CPSR
      {0xE3A00001, ArmClass::DataProcessing},       // MOV R0, #1 (bit 25 set, bits 7/4 ignored)
      {0xE5910004, ArmClass::LoadStore},            // LDR R0, [R1, #4]
      {0xE7910002, ArmClass::LoadStore},            // LDR R0, [R1, R2]
      {0xE7F000F0, ArmClass::Undefined},            // register offset with bit 4 set
      {0xE8BD000F, ArmClass::BlockTransfer},        // LDMIA SP!, {R0-R3}
      {0xEAFFFFFE, ArmClass::Branch},               // B .
      {0xEB000000, ArmClass::Branch},               // BL
      {0xED900000, ArmClass::CoprocessorTransfer},  // LDC
      {0xEF000000, ArmClass::SoftwareInterrupt},    // SWI 0
      {0xEE000000, ArmClass::CoprocessorData},      // CDP
      {0xEE000010, ArmClass::CoprocessorRegister},  // MCR
  };
  for (const Case& c : cases) EXPECT_EQ(int(classifyArm(c.op)), int(c.want)) << std::hex << c.op;
}

TEST(ArmDecode, RecognisesStatusRegisterTransfers) {
  EXPECT_EQ(classifyDataProcessing(0xE10F0000), DataProcessingKind::Mrs);          // MRS R0, CPSR
  EXPECT_EQ(classifyDataProcessing(0xE14F0000), DataProcessingKind::Mrs);          // MRS R0, SPSR
  EXPECT_EQ(classifyDataProcessing(0xE129F000), DataProcessingKind::MsrRegister);  // MSR CPSR_fc, R0
  EXPECT_EQ(classifyDataProcessing(0xE128F000), DataProcessingKind::MsrFlags);     // MSR CPSR_f, R0
  EXPECT_EQ(classifyDataProcessing(0xE328F20F), DataProcessingKind::MsrFlags);     // MSR CPSR_f, #0xF0000000
  EXPECT_EQ(classifyDataProcessing(0xE1A00000), DataProcessingKind::Alu);          // MOV R0, R0
}

TEST(ArmDecode, ClassifiesEachThumbFormat) {
  struct Case { std::uint16_t op; ThumbFormat want; } cases[] = {
      {0x0048, ThumbFormat::ShiftImmediate},     // LSL R0, R1, #1
      {0x1888, ThumbFormat::AddSubtract},        // ADD R0, R1, R2
      {0x2001, ThumbFormat::Immediate},          // MOV R0, #1
      {0x4048, ThumbFormat::Alu},                // EOR R0, R1
      {0x4708, ThumbFormat::HiRegister},         // BX R1
      {0x4801, ThumbFormat::PcLoad},             // LDR R0, [PC, #4]
      {0x5088, ThumbFormat::LoadStoreRegister},  // STR R0, [R1, R2]
      {0x5E88, ThumbFormat::LoadStoreSigned},    // LDSH R0, [R1, R2]
      {0x6848, ThumbFormat::LoadStoreImmediate}, // LDR R0, [R1, #4]
      {0x8848, ThumbFormat::LoadStoreHalfword},  // LDRH R0, [R1, #2]
      {0x9801, ThumbFormat::SpLoadStore},        // LDR R0, [SP, #4]
      {0xA801, ThumbFormat::LoadAddress},        // ADD R0, SP, #4
      {0xB081, ThumbFormat::AdjustSp},           // SUB SP, #4
      {0xB501, ThumbFormat::PushPop},            // PUSH {R0, LR}
      {0xC803, ThumbFormat::Multiple},           // LDMIA R0!, {R0, R1}
      {0xD0FE, ThumbFormat::ConditionalBranch},  // BEQ .
      {0xDF00, ThumbFormat::SoftwareInterrupt},  // SWI 0
      {0xE7FE, ThumbFormat::Branch},             // B .
      {0xF000, ThumbFormat::LongBranch},         // BL, first half
      {0xF800, ThumbFormat::LongBranch},         // BL, second half
  };
  for (const Case& c : cases) EXPECT_EQ(int(classifyThumb(c.op)), int(c.want)) << std::hex << c.op;
}
