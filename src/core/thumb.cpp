#include "core/thumb.h"

#include "core/armdecode.h"

namespace {

uint32_t bits(uint32_t v, int lo, int count) { return (v >> lo) & ((1u << count) - 1); }

uint32_t signExtendTo24(uint32_t v, int width) {
  uint32_t m = 1u << (width - 1);
  return ((v ^ m) - m) & 0xFFFFFF;
}

ThumbArmWord word(int format, ThumbHandler h, uint32_t arm, uint32_t flags = 0) {
  return ThumbArmWord{format, h, arm, flags};
}

ThumbArmWord format4(uint16_t op) {
  uint32_t rd = bits(op, 0, 3), rs = bits(op, 3, 3), alu = bits(op, 6, 4);
  switch (alu) {
    case 2: case 3: case 4: case 7: {  // LSL, LSR, ASR, ROR by register
      uint32_t type = alu == 7 ? 3 : alu - 2;
      return word(4, ThumbHandler::kDataProcessing, 0xE1B00010 | rd | type << 5 | rs << 8 | rd << 12);
    }
    case 9:  // NEG = RSBS Rd, Rs, #0
      return word(4, ThumbHandler::kDataProcessing, 0xE2700000 | rd << 12 | rs << 16);
    case 13:  // MULS Rd, Rs, Rd
      return word(4, ThumbHandler::kMultiply, 0xE0100090 | rs | rd << 8 | rd << 16);
    default:  // the ARM opcode of the same number, with S
      return word(4, ThumbHandler::kDataProcessing, 0xE0100000 | alu << 21 | rd << 12 | rd << 16 | rs);
  }
}

ThumbArmWord format5(uint16_t op) {
  uint32_t rd = bits(op, 0, 3) + 8 * bits(op, 7, 1), rs = bits(op, 3, 4), sub = bits(op, 8, 2);
  if (sub == 3)  // BX Rs; written as the ARM BX word so that the ARM decode tree agrees
    return word(5, ThumbHandler::kBranchExchange, 0xE12FFF10 | rs);
  static const uint32_t kOps[3] = {0xE0800000, 0xE1500000, 0xE1A00000};  // ADD, CMP, MOV
  uint32_t flags = (rd < 8 && rs < 8) ? kThumbInvalidEncoding : 0;
  return word(5, ThumbHandler::kDataProcessing, kOps[sub] | rd << 12 | rd << 16 | rs, flags);
}

}  // namespace

int thumbFormat(uint16_t op) { return int(armdecode::classifyThumb(op)); }

ThumbArmWord thumbToArm(uint16_t op) {
  const uint32_t rd = bits(op, 0, 3), rs = bits(op, 3, 3), ro = bits(op, 6, 3);
  const uint32_t rd8 = bits(op, 8, 3), imm8 = bits(op, 0, 8), imm5 = bits(op, 6, 5);
  const bool b10 = op & 0x400, b11 = op & 0x800, b12 = op & 0x1000;
  using H = ThumbHandler;
  switch (int f = thumbFormat(op)) {
    case 1:  // MOVS Rd, Rs, shift #imm5
      return word(f, H::kDataProcessing, 0xE1B00000 | rs | bits(op, 11, 2) << 5 | imm5 << 7 | rd << 12);
    case 2:
      return word(f, H::kDataProcessing, ((op & 0x400) ? 0xE2100000 : 0xE0100000) |
                                             ((op & 0x200) ? 0x400000 : 0x800000) | rs << 16 | rd << 12 | ro);
    case 3: {
      static const uint32_t kOps[4] = {0x1A00000, 0x1400000, 0x800000, 0x400000};  // MOV, CMP, ADD, SUB
      return word(f, H::kDataProcessing, 0xE2100000 | kOps[bits(op, 11, 2)] | rd8 << 12 | rd8 << 16 | imm8);
    }
    case 4: return format4(op);
    case 5: return format5(op);
    case 6: return word(f, H::kLoadStore, 0xE59F0000 | rd8 << 12 | imm8 * 4);
    case 7:
      return word(f, H::kLoadStore,
                  (b11 ? 0xE7900000 : 0xE7800000) | (b10 ? 0x400000 : 0) | ro | rs << 16 | rd << 12);
    case 8: {
      static const uint32_t kSh[4] = {1, 2, 1, 3};  // STRH, LDSB, LDRH, LDSH
      uint32_t sel = (b11 ? 2 : 0) | (b10 ? 1 : 0);
      return word(f, H::kHalfwordRegister,
                  0xE1800090 | (sel ? 0x100000 : 0) | ro | rs << 16 | rd << 12 | kSh[sel] << 5);
    }
    case 9:
      return word(f, H::kLoadStore, (b12 ? 0xE5C00000 : 0xE5800000) | uint32_t(b11) << 20 |
                                        (b12 ? imm5 : imm5 * 4) | rs << 16 | rd << 12);
    case 10: {
      uint32_t offset = imm5 * 2;
      return word(f, H::kHalfwordImmediate, 0xE1C000B0 | (b11 ? 0x100000 : 0) | rs << 16 | rd << 12 |
                                                (offset & 0xF0) << 4 | (offset & 15));
    }
    case 11: return word(f, H::kLoadStore, (b11 ? 0xE59D0000 : 0xE58D0000) + (rd8 << 12) + imm8 * 4);
    case 12:  // ADD Rd, SP/PC, #imm8 x 4 in the internal 12-bit immediate form
      return word(f, H::kDataProcessing, (b11 ? 0xE68D0000 : 0xE68F0000) + (rd8 << 12) + imm8 * 4);
    case 13:
      return word(f, H::kDataProcessing,
                  0xE60DD000 | bits(op, 0, 7) * 4 | ((op & 0x80) ? 0x400000 : 0x800000));
    case 14: {
      uint32_t extra = (op & 0x100) ? (b11 ? 0x8000 : 0x4000) : 0;
      return word(f, H::kBlockTransfer, (b11 ? 0xE8BD0000 : 0xE92D0000) | imm8 | extra);
    }
    case 15: return word(f, H::kBlockTransfer, (b11 ? 0xE8B00000 : 0xE8A00000) + (rd8 << 16) + imm8);
    case 16:
      return word(f, H::kBranch, bits(op, 8, 4) << 28 | 0x0A000000 | signExtendTo24(imm8, 8));
    case 17: return word(f, H::kSoftwareInterrupt, 0xEF000000 | imm8);
    case 18: return word(f, H::kBranch, 0xEA000000 | signExtendTo24(bits(op, 0, 11), 11));
    default: return word(19, H::kLongBranch, 0);
  }
}

uint32_t thumbLongBranchHigh(uint32_t address, uint16_t op) {
  uint32_t off = op & 0x7FF;
  int32_t high = int32_t((off ^ 0x400) - 0x400) * 4096;
  return address + 4 + uint32_t(high);
}

uint32_t thumbLongBranchTarget(uint32_t lr, uint16_t op) { return lr + (op & 0x7FF) * 2; }
