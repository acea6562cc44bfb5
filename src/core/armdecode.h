#pragma once
// Instruction classification shared by the translator and the disassembler.
//
// Both clients walk the same two decision trees and differ only in what they
// do per class.  A client classifies an opcode, then indexes its own handler
// table with the class number:
//
//   using Handler = void (Client::*)(u32 address, u32 opcode, Out&);
//   static constexpr Handler kArm[kArmClassCount] = { ... in ArmClass order ... };
//   (this->*kArm[int(classifyArm(opcode))])(address, opcode, out);
//
// Thumb works the same way with classifyThumb and ThumbFormat (the formats are
// numbered 1-19 as in the ARM7TDMI data sheet; index 0 is unused).  The trees
// look only at the bits named beside each class; the handlers decode the rest.

#include <cstdint>

namespace armdecode {

// ARM state, by bits 27-26 first.
enum class ArmClass : std::uint8_t {
  BranchExchange,       // 00, bits 4-19 = 0xFFF1
  HalfwordRegister,     // 00, bit 25 clear, bits 7 and 4 set, bits 5-6 non-zero, bit 22 clear
  HalfwordImmediate,    //   the same with bit 22 set
  Multiply,             // 00, bit 25 clear, bits 7 and 4 set, bits 5-6 zero, bits 24-23 = 0
  MultiplyLong,         //   bits 24-23 = 1
  Swap,                 //   bits 24-23 = 2
  Undefined,            //   bits 24-23 = 3; also 01 with bits 25 and 4 set
  DataProcessing,       // 00 otherwise (includes MRS and MSR)
  LoadStore,            // 01 otherwise
  BlockTransfer,        // 10, bit 25 clear
  Branch,               // 10, bit 25 set
  CoprocessorTransfer,  // 11, bit 25 clear
  SoftwareInterrupt,    // 11, bit 24 set
  CoprocessorData,      // 11, bit 4 clear
  CoprocessorRegister,  // 11, bit 4 set
};
inline constexpr int kArmClassCount = 15;

constexpr ArmClass classifyArm(std::uint32_t op) {
  switch ((op >> 26) & 3) {
    case 0:
      if (((op >> 4) & 0xFFFF) == 0xFFF1) return ArmClass::BranchExchange;
      if (!(op & (1u << 25)) && (op & 0x90) == 0x90) {
        if (op & 0x60) return (op & (1u << 22)) ? ArmClass::HalfwordImmediate : ArmClass::HalfwordRegister;
        switch ((op >> 23) & 3) {
          case 0: return ArmClass::Multiply;
          case 1: return ArmClass::MultiplyLong;
          case 2: return ArmClass::Swap;
          default: return ArmClass::Undefined;
        }
      }
      return ArmClass::DataProcessing;
    case 1:
      if ((op & (1u << 25)) && (op & (1u << 4))) return ArmClass::Undefined;
      return ArmClass::LoadStore;
    case 2:
      return (op & (1u << 25)) ? ArmClass::Branch : ArmClass::BlockTransfer;
    default:
      if (!(op & (1u << 25))) return ArmClass::CoprocessorTransfer;
      if (op & (1u << 24)) return ArmClass::SoftwareInterrupt;
      return (op & (1u << 4)) ? ArmClass::CoprocessorRegister : ArmClass::CoprocessorData;
  }
}

// Within DataProcessing: the status-register transfers are recognised first.
enum class DataProcessingKind : std::uint8_t { Mrs, MsrRegister, MsrFlags, Alu };

constexpr DataProcessingKind classifyDataProcessing(std::uint32_t op) {
  if ((op & 0x0FBF0FFF) == 0x010F0000) return DataProcessingKind::Mrs;
  if ((op & 0x0FB7FFF0) == 0x0121F000) return DataProcessingKind::MsrRegister;
  if ((op & 0x0DBFF000) == 0x0128F000) return DataProcessingKind::MsrFlags;
  return DataProcessingKind::Alu;
}

// Thumb state: the format number, by bits 15-13 first.
enum class ThumbFormat : std::uint8_t {
  None = 0,
  ShiftImmediate = 1,
  AddSubtract = 2,
  Immediate = 3,
  Alu = 4,
  HiRegister = 5,
  PcLoad = 6,
  LoadStoreRegister = 7,
  LoadStoreSigned = 8,
  LoadStoreImmediate = 9,
  LoadStoreHalfword = 10,
  SpLoadStore = 11,
  LoadAddress = 12,
  AdjustSp = 13,
  PushPop = 14,
  Multiple = 15,
  ConditionalBranch = 16,
  SoftwareInterrupt = 17,
  Branch = 18,
  LongBranch = 19,
};
inline constexpr int kThumbFormatCount = 20;

constexpr ThumbFormat classifyThumb(std::uint32_t op) {
  switch ((op >> 13) & 7) {
    case 0: return ((op >> 11) & 3) < 3 ? ThumbFormat::ShiftImmediate : ThumbFormat::AddSubtract;
    case 1: return ThumbFormat::Immediate;
    case 2:
      if (op & (1u << 12)) return (op & (1u << 9)) ? ThumbFormat::LoadStoreSigned : ThumbFormat::LoadStoreRegister;
      if (op & (1u << 11)) return ThumbFormat::PcLoad;
      return (op & (1u << 10)) ? ThumbFormat::HiRegister : ThumbFormat::Alu;
    case 3: return ThumbFormat::LoadStoreImmediate;
    case 4: return (op & (1u << 12)) ? ThumbFormat::SpLoadStore : ThumbFormat::LoadStoreHalfword;
    case 5:
      if (!(op & (1u << 12))) return ThumbFormat::LoadAddress;
      return (op & (1u << 10)) ? ThumbFormat::PushPop : ThumbFormat::AdjustSp;
    case 6:
      if (!(op & (1u << 12))) return ThumbFormat::Multiple;
      return ((op >> 8) & 15) == 15 ? ThumbFormat::SoftwareInterrupt : ThumbFormat::ConditionalBranch;
    default: return (op & (1u << 12)) ? ThumbFormat::LongBranch : ThumbFormat::Branch;
  }
}

// Whether control never falls through to the next instruction: an
// unconditional branch, BX, software interrupt, or write of the PC (data
// processing, LDR or LDM).  A translated block ends behind such an
// instruction.
constexpr bool armEndsBlock(std::uint32_t op) {
  if ((op >> 28) != 14) return false;
  const bool load = (op >> 20) & 1;
  switch (classifyArm(op)) {
    case ArmClass::Branch:
    case ArmClass::BranchExchange:
    case ArmClass::SoftwareInterrupt: return true;
    case ArmClass::DataProcessing: {
      const std::uint32_t opc = (op >> 21) & 15;
      return classifyDataProcessing(op) == DataProcessingKind::Alu && (opc < 8 || opc >= 12) &&
             ((op >> 12) & 15) == 15;
    }
    case ArmClass::LoadStore: return load && ((op >> 12) & 15) == 15;
    case ArmClass::BlockTransfer: return load && (op & 0x8000);
    default: return false;
  }
}

constexpr bool thumbEndsBlock(std::uint32_t op) {
  switch (classifyThumb(op)) {
    case ThumbFormat::Branch:
    case ThumbFormat::SoftwareInterrupt: return true;
    case ThumbFormat::LongBranch: return (op >> 11) & 1;  // the second half
    case ThumbFormat::HiRegister: {
      const std::uint32_t sub = (op >> 8) & 3, rd = (op & 7) + 8 * ((op >> 7) & 1);
      return sub == 3 || (sub != 1 && rd == 15);  // BX; ADD or MOV into PC
    }
    case ThumbFormat::PushPop: return (op & 0x0900) == 0x0900;  // POP {..., PC}
    default: return false;
  }
}

}  // namespace armdecode
