#pragma once
// Thumb instructions are translated by re-encoding them as ARM words and
// handing those to the ARM handlers, so both instruction sets share one body
// generator.  This header holds the pure part: which format an opcode is, the
// ARM word it becomes and which ARM handler takes it.  Only the long branch
// with link (format 19) has code of its own.

#include <cstdint>

// Which ARM handler a re-encoded word is meant for.  Some words use the
// internal 12-bit immediate form (bit 26 set in a data-processing word), which
// the ARM decode tree would take for a load or store, so the Thumb translator
// calls the handler directly.
enum class ThumbHandler : uint8_t {
  kDataProcessing,
  kMultiply,
  kBranchExchange,
  kLoadStore,
  kHalfwordRegister,
  kHalfwordImmediate,
  kBlockTransfer,
  kBranch,
  kSoftwareInterrupt,
  kLongBranch,
};

struct ThumbArmWord {
  int format;            // 1-19
  ThumbHandler handler;
  uint32_t arm;          // the ARM word (0 for format 19)
  uint32_t extraFlags;   // translation flags for this one instruction (0x400: invalid encoding)
};

// Invalid-encoding mark: a high-register operation on two low registers.
inline constexpr uint32_t kThumbInvalidEncoding = 0x400;

// The format 1-19 of an opcode, by the shared Thumb decode tree.
int thumbFormat(uint16_t op);

// The ARM word and handler of a Thumb opcode.
ThumbArmWord thumbToArm(uint16_t op);

// Format 19, the two halves of BL.  First half (bit 11 clear): the value of
// R14 it writes.  Second half (bit 11 set): the branch target from R14, and
// the return address (the half's own address + 3, bit 0 marking Thumb).
uint32_t thumbLongBranchHigh(uint32_t address, uint16_t op);
uint32_t thumbLongBranchTarget(uint32_t lr, uint16_t op);
inline uint32_t thumbLongBranchReturn(uint32_t address) { return address + 3; }
inline bool thumbLongBranchIsSecondHalf(uint16_t op) { return (op & 0x0800) != 0; }
