#pragma once
// The state arena: everything generated code touches, in one block per
// emulator, reached as [base + disp32] from a fixed host register.  Guest
// memory, the trap bitmaps, the register words, the region and wait tables,
// the condition table and the history ring all live here, so a "location" in
// the history journal is a 32-bit arena offset (never 0-4: the first words
// are a guard, so a location can never look like a record kind).
//
// Host register roles in generated code (x86-64):
//   rbx   arena base
//   r12d  budget register: bits 20-31 the remaining cycles (signed), bits 0-19
//         the stop mask without 0x4; memory accesses OR in 0x8/0x10 when they
//         hit a trap bit and the timer routine ORs in 0x4 when it collects an
//         interrupt.  Every instruction subtracts its cost << 20.
//   r13d  journal register: write position in bytes (word index x 4); it
//         may run past the ring's end into the overflow room within one call
//   r14d  cost register: the instruction's cost << 20 at its end; scratch in a
//         body, the shifter's carry-out in bit 29
//   eax   result register: the status word of an exit
//   r15d  memory wait cycles (<< 20) of the current instruction
//   Scratch: ecx, edx, esi, edi, r8d-r11d.  The timer routine clobbers rax,
//   rcx and rdx only.
//
// Journal record writer (two words, then advance):
//   mov dword [rbx + r13 + kJournal], first
//   mov dword [rbx + r13 + kJournal + 4], second
//   add r13d, 8
// First words: 0 end of instruction {0, cost << 20}; 1 load {1, guest address};
// 2 store {2, guest address}; 3 DMA unit; 4 empty; anything else an arena
// offset whose old content is the second word.

#include <cstddef>
#include <cstring>

#include "core/types.h"

namespace arena {

inline constexpr u32 kRegisterWords = 49;
// The history journal: 2^25 records of two words (256 MB), a second or more
// of console time of a CPU-bound program.
inline constexpr u32 kJournalRecords = u32(1) << 25;
inline constexpr u32 kJournalWords = 2 * kJournalRecords;
inline constexpr u32 kJournalBytes = 4 * kJournalWords;
// Generated code writes records without wrapping: one slice's records (a few
// thousand at most) run on past the ring's end into this room, and the run
// loop moves them to the ring's start when the code returns.
inline constexpr u32 kJournalOverflowWords = 1u << 18;
inline constexpr u32 kBitmapBytes = 278604;

// Memory area sizes.
inline constexpr u32 kBiosSize = 0x4000;
inline constexpr u32 kEwramSize = 0x40000;
inline constexpr u32 kIwramSize = 0x8000;
inline constexpr u32 kIoSize = 0x400;
// The I/O area: the registers' 1 KB, then the memory control register (at
// 0x04000800 and every 64 KB on) in the four bytes behind them.
inline constexpr u32 kMemoryControl = 0x800;
inline constexpr u32 kIoAreaSize = kIoSize + 4;
inline constexpr u32 kPaletteSize = 0x400;
inline constexpr u32 kVramSize = 0x20000;
inline constexpr u32 kOamSize = 0x4000;
inline constexpr u32 kRomSize = 0x800000;
inline constexpr u32 kSramSize = 0x10000;
inline constexpr u32 kEepromPortSize = 0x100;

// Wait tables, in this order, each value cycles << 20 per region.
enum WaitTable { kWait16Seq, kWait16NonSeq, kWait32Seq, kWait32NonSeq };

}  // namespace arena

// The DMA channels' latched state, eight arrays of four (one per channel).
struct DmaChannels {
  u32 source[4];
  u32 destination[4];
  u32 remaining[4];  // units left; 0 = idle
  i32 sourceStep[4];
  i32 destinationStep[4];
  u32 unit[4];       // 2 or 4 bytes
  u32 timing[4];     // 0 immediate, 1 V-blank, 2 H-blank, 3 never
  u32 repeat[4];
  u32 repeating[4];  // a repeat transfer ended: the next goes on from where it stood
};

// State of the console beyond registers and memory.  Running backwards must
// restore all of it, so every change is journaled as a location record
// before it is made (the timers, the clock and the DMA channels' stepping
// are undone by arithmetic, see backstep.cpp).
// The display's line timing.
struct VideoClock {
  i32 cycles;   // to the next event
  u32 line;     // 0-228
  u32 phase;    // 0 H-draw, 1 H-blank
  u32 frames;   // frames handed to the display
};

struct MachineState {
  u32 cycleCount;         // cycles since the last reset
  VideoClock video;
  u32 pendingExceptions;  // bits 1 << k of the exceptions waiting to be entered
  u32 interruptFlags;     // the processor's copy of IF
  u32 sliceMark;          // counts forward slices; its records mark their ends
  u32 halted;             // 1 from a write to HALTCNT until an enabled interrupt is requested
  u32 timerControls[4];   // the control words the timer routine was built from
  u32 timerReload[4];     // the counts the timers start from and reload on overflow
  DmaChannels dma;
  u8 eepromStore[1024];   // the cartridge EEPROM's contents
};

// A block entry generated code may jump to without leaving: where a branch
// with a computed target (BX, a load or move into PC) finds the code of the
// instruction it goes to.  Filled by the run loop as it enters blocks.
struct DispatchEntry {
  u32 pc;
  u32 key;
  u64 host;
};

namespace arena {
inline constexpr u32 kDispatchEntries = 1024;
// The key is spread by an odd factor: XORed in as it is, the ARM and Thumb
// keys (0x20 apart) sent code 64 bytes apart in the two states to one entry,
// which interworking code then took from each other on every call.
inline constexpr u32 kDispatchKeyMix = 0x9E37;
inline constexpr u32 blockHash(u32 pc, u32 key) { return (pc >> 1) ^ (pc >> 9) ^ (key * kDispatchKeyMix); }
inline constexpr u32 dispatchIndex(u32 pc, u32 key) { return blockHash(pc, key) & (kDispatchEntries - 1); }
}  // namespace arena

struct alignas(64) Arena {
  u32 guard[8];  // offset 0 stays unused: no location is 0-4

  // Register bank storage (see cpu.h for the assignment).
  u32 registers[arena::kRegisterWords];

  // Core state generated code reads or writes.
  u32 lastDataAddress;          // guest address of the last access that hit a trap bit
  u32 pendingTimerInterrupts;   // interrupt bits the timer routine collected
  u32 timerAccumulators[4];     // fixed-point prescaler counts
  u32 dummyWord[2];             // the unmapped path's access goes here
  u32 journalWriteIndex;        // word index of the next record (outside generated code)
  u32 lastTrapWidth;            // bytes of the last access that hit a write trap
  u64 timerEntry;               // host address of the timer routine

  MachineState machine;
  DispatchEntry dispatch[arena::kDispatchEntries];

  // Region tables, indexed by the guest address's top byte (0-15).  Bases are
  // arena offsets (0 = none).
  u32 readBase[16];
  u32 writeBase[16];
  u32 readSize[16];
  u32 writeSize[16];
  u32 regionMask[16];
  // What generated code masks and compares an offset with, by the address's
  // whole top byte, so that an address above the regions takes the same test
  // (size 0 there): the mask, then the read and write sizes, video RAM's
  // without its upper mirror, which the code folds on its rare path.
  u32 accessMask[256];
  u32 accessSize[2][256];
  u32 bitmapBase[6][16];  // live read, write, execute, persistent read, write, execute
  u32 wait[4][16];        // arena::WaitTable order

  // Host flags (AH after LAHF, the overflow flag in bit 3) -> N, Z, C, V in
  // ARM positions 31-28.
  u32 flagsFromAh[256];
  // [condition][CPSR's top byte]: 255 when the condition holds.
  u8 conditionTable[16][256];

  // Guest memory, in the console's order.
  alignas(64) u8 bios[arena::kBiosSize];
  u8 ewram[arena::kEwramSize];
  u8 iwram[arena::kIwramSize];
  u8 io[arena::kIoAreaSize];
  u8 palette[arena::kPaletteSize];
  u8 vram[arena::kVramSize];
  u8 oam[arena::kOamSize];
  u8 rom[arena::kRomSize];
  u8 sram[arena::kSramSize];
  u8 eepromPorts[arena::kEepromPortSize];
  u8 bitmaps[6][arena::kBitmapBytes];

  // Last, so that every other offset stays small.
  alignas(4096) u32 journal[arena::kJournalWords + arena::kJournalOverflowWords];

  // Arena offset of a storage word or byte inside this arena.
  u32 offsetOf(const void* p) const {
    return u32(static_cast<const u8*>(p) - reinterpret_cast<const u8*>(this));
  }
  u32* word(u32 offset) { return reinterpret_cast<u32*>(reinterpret_cast<u8*>(this) + offset); }
  u8* byte(u32 offset) { return reinterpret_cast<u8*>(this) + offset; }
};

// Displacements generated code uses.
namespace arena {
inline constexpr i32 kRegisters = i32(offsetof(Arena, registers));
inline constexpr i32 kLastDataAddress = i32(offsetof(Arena, lastDataAddress));
inline constexpr i32 kPendingTimer = i32(offsetof(Arena, pendingTimerInterrupts));
inline constexpr i32 kTimerAccumulators = i32(offsetof(Arena, timerAccumulators));
inline constexpr i32 kTimerReload = i32(offsetof(Arena, machine) + offsetof(MachineState, timerReload));
inline constexpr i32 kJournalWriteIndex = i32(offsetof(Arena, journalWriteIndex));
inline constexpr i32 kDummyWord = i32(offsetof(Arena, dummyWord));
inline constexpr i32 kTimerEntry = i32(offsetof(Arena, timerEntry));
inline constexpr i32 kLastTrapWidth = i32(offsetof(Arena, lastTrapWidth));
inline constexpr i32 kDispatch = i32(offsetof(Arena, dispatch));
inline constexpr i32 kReadBase = i32(offsetof(Arena, readBase));
inline constexpr i32 kWriteBase = i32(offsetof(Arena, writeBase));
inline constexpr i32 kReadSize = i32(offsetof(Arena, readSize));
inline constexpr i32 kWriteSize = i32(offsetof(Arena, writeSize));
inline constexpr i32 kRegionMask = i32(offsetof(Arena, regionMask));
inline constexpr i32 kAccessMask = i32(offsetof(Arena, accessMask));
inline constexpr i32 kAccessSize = i32(offsetof(Arena, accessSize));
inline constexpr i32 kBitmapBase = i32(offsetof(Arena, bitmapBase));
inline constexpr i32 kWait = i32(offsetof(Arena, wait));
inline constexpr i32 kFlagsFromAh = i32(offsetof(Arena, flagsFromAh));
inline constexpr i32 kConditionTable = i32(offsetof(Arena, conditionTable));
inline constexpr i32 kJournal = i32(offsetof(Arena, journal));
// The journal register (a byte position) wrapped back into the ring after a
// call of generated code that may have run past its end.
inline void foldJournal(Arena& a, u32& bytes) {
  if (bytes < kJournalBytes) return;
  const u32 over = bytes - kJournalBytes;
  std::memcpy(a.journal, a.journal + kJournalWords, over);
  bytes = over;
}
inline constexpr i32 kIo = i32(offsetof(Arena, io));
inline constexpr i32 kVram = i32(offsetof(Arena, vram));
}  // namespace arena

// Fills the condition table and the host-flag table (done once per arena).
void buildConditionTable(u8 table[16][256]);
// The same from a table by NZCV x 16 + condition: spread out by condition
// over every value of the CPSR's top byte, whose low four bits do not count.
void spreadConditionTable(const u8 byFlags[256], u8 table[16][256]);
void buildFlagTable(u32 table[256]);

// History::push's record write for the emulator's own code: the location and
// its old content (or any two-word record), then the write index advances.
inline void journalRecord(Arena& a, u32 first, u32 second) {
  u32 i = a.journalWriteIndex & (arena::kJournalWords - 1);
  a.journal[i] = first;
  a.journal[i + 1] = second;
  a.journalWriteIndex = (i + 2) & (arena::kJournalWords - 1);
}
inline void journalPush(Arena& a, u32 location) { journalRecord(a, location, *a.word(location)); }
// Journals the aligned word that holds `field` (a word or part of one in the
// arena), then lets the caller change it.
template <class T>
inline void journalField(Arena& a, const T& field) {
  journalPush(a, a.offsetOf(&field) & ~3u);
}
// Journals and sets a word of machine state, when it changes.
template <class T>
inline void changeField(Arena& a, T& field, T value) {
  static_assert(sizeof(T) == 4);
  if (field == value) return;
  journalField(a, field);
  field = value;
}
