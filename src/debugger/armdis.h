#pragma once
// The ARM and Thumb disassembler: one guest instruction becomes one line of
// text, appended to the caller's FixedIString (mnemonic and suffixes, a TAB,
// then the operands).  The code window and the "dis.txt" dump put their own
// address and opcode in front of it.

#include <cstdint>

#include "general/config.h"
#include "general/istring.h"

// How the text is written.  In Vandrel both come from the options
// "Use hi-reg syntax" and "Use mnemonic"; Ostrel has neither setting and
// always writes its own fixed forms.
struct DisassemblyOptions {
  bool hiRegSyntax = true;  // Thumb high registers as H0-H4/sp/lr/pc, SP-relative forms as SP
  bool mnemonic = false;    // LDM/STM with an addressing-mode suffix instead of brackets

  // The options as currently set.
  static DisassemblyOptions current();
};

#ifndef VANDREL_OLDER_VARIANT
// "Use hi-reg syntax" (default 1) and "Use mnemonic" (default 0), which the
// Options tab switches.
ConfigOption<i32>& useHiRegSyntaxOption();
ConfigOption<i32>& useMnemonicOption();
#endif

class ArmCpu;

struct InstructionDecoder {
  // The text of the instruction at a guest address, decoded in the
  // processor's current state (its T flag, not the address) with the options
  // as set; read through the memory map, so unmapped memory shows as all ones.
  static void disassemble(ArmCpu& cpu, FixedIString& out, u32 address);
};

// The text of one ARM instruction at a guest address.
void disassembleArm(FixedIString& out, u32 address, u32 opcode, const DisassemblyOptions& options);

// The text of one Thumb instruction at a guest address; `next` is the halfword
// after it, which the first half of a BL pair needs for its target.
void disassembleThumb(FixedIString& out, u32 address, u16 opcode, u16 next,
                      const DisassemblyOptions& options);

// Text helpers, exposed for the panes that print the same pieces.  Each
// returns its text by value.
struct ShortText {
  char text[64] = {};
  const char* c_str() const { return text; }
};
const char* conditionName(u32 opcode);
ShortText registerName(u32 n);
ShortText immediateText(u32 value, bool negative);
ShortText shifterOperandText(u32 opcode, bool registerOnly);
ShortText registerListText(u32 mask);
ShortText thumbRegisterName(u32 n, bool high, const DisassemblyOptions& options);
u32 rotateRight(u32 value, u32 amount);
