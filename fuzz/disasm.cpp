// The disassembler: any ARM word and Thumb halfword pair at any address,
// with every setting of "Use hi-reg syntax" and "Use mnemonic", directly
// and through the memory map in both processor states.  Every opcode gives
// some text, never more than a line holds, and no CHECK failure.

#include <cstring>

#include "core/emulator.h"
#include "debugger/armdis.h"
#include "harness.h"

namespace {

u32 word(const uint8_t* p) { return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24; }

void expectLine(const FixedIString& prefix, const FixedIString& out) {
  FUZZ_CHECK(out.length() > prefix.length());
  FUZZ_CHECK(out.length() < FixedIString::kCapacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();
  if (size < 12) return 0;
  const u32 arm = word(data), thumbPair = word(data + 4), address = word(data + 8);
  fuzz::takeLog();
  FixedIString prefix;
  prefix.appendText("08000000:  ");
  for (int setting = 0; setting < 4; ++setting) {
    DisassemblyOptions options;
    options.hiRegSyntax = setting & 1;
    options.mnemonic = setting & 2;
    FixedIString out = prefix;
    disassembleArm(out, address, arm, options);
    expectLine(prefix, out);
    out = prefix;
    disassembleThumb(out, address, u16(thumbPair), u16(thumbPair >> 16), options);
    // The second half of a BL pair alone appends nothing.
    FUZZ_CHECK(out.length() < FixedIString::kCapacity);
    FUZZ_CHECK(out.length() > prefix.length() || (thumbPair & 0xF800) == 0xF800);
#ifndef VANDREL_OLDER_VARIANT
    useHiRegSyntaxOption().value() = setting & 1;
    useMnemonicOption().value() = (setting >> 1) & 1;
#endif
    // Through the memory map, at the address in IWRAM the words were put.
    const u32 at = 0x03000000 + (address & 0x7FF0);
    std::memcpy(gEmulator.memory().arena().iwram + (at & 0x7FFF), data, 8);
    ArmCpu& cpu = gEmulator.cpu();
    for (u32 pc : {at, at + 1}) {
      cpu.switchState(pc);
      out = prefix;
      InstructionDecoder::disassemble(cpu, out, at);
      FUZZ_CHECK(out.length() < FixedIString::kCapacity);
    }
  }
  FUZZ_CHECK(fuzz::takeLog().empty());
  return 0;
}
