#pragma once
// The ARM and Thumb disassembler: one guest instruction becomes one line of
// text, appended to the caller's FixedIString (mnemonic and suffixes, a TAB,
// then the operands).  The code window and the "dis.txt" dump put their own
// address and opcode in front of it.

#include <cstdint>

#include "debugger/standin.h"  // general/istring.h and general/config.h once they are in

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
ConfigOption<int32_t>& useHiRegSyntaxOption();
ConfigOption<int32_t>& useMnemonicOption();
#endif

// The text of one ARM instruction at a guest address.
void disassembleArm(FixedIString& out, uint32_t address, uint32_t opcode, const DisassemblyOptions& options);

// The text of one Thumb instruction at a guest address; `next` is the halfword
// after it, which the first half of a BL pair needs for its target.
void disassembleThumb(FixedIString& out, uint32_t address, uint16_t opcode, uint16_t next,
                      const DisassemblyOptions& options);

// Text helpers, exposed for the panes that print the same pieces.  Each
// returns its text by value.
struct ShortText {
  char text[64] = {};
  const char* c_str() const { return text; }
};
const char* conditionName(uint32_t opcode);
ShortText registerName(uint32_t n);
ShortText immediateText(uint32_t value, bool negative);
ShortText shifterOperandText(uint32_t opcode, bool registerOnly);
ShortText registerListText(uint32_t mask);
ShortText thumbRegisterName(uint32_t n, bool high, const DisassemblyOptions& options);
uint32_t rotateRight(uint32_t value, uint32_t amount);
