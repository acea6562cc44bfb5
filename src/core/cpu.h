#pragma once
// The emulated ARM7TDMI: its register bank in every mode, the pending
// exceptions, the translated-block cache (cache.cpp), the run loop
// (runloop.cpp) and the ARM translation handlers (armops.cpp).

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/arena.h"
#include "core/codebuffer.h"
#include "core/emitter.h"
#include "platform/variant.h"

class BreakpointTable;
class GbaMemory;
class TimerCode;

// Register numbers beyond R0-R15.
enum : u32 { kRegCpsr = 16, kRegSpsr = 17, kRegResume = 18, kRegStart = 19, kRegisterCount = 20 };

// Bank slots: 0 User, 1 FIQ, 2 IRQ, 3 Supervisor, 4 Abort, 5 Undefined, 6
// System.  System shares every register with User, and neither has an SPSR:
// their register 17 is CPSR's word for reading, and writes to it are dropped.
class RegisterBank {
public:
  explicit RegisterBank(Arena& arena);
  static u32 bankOfMode(u32 mode) {
    // By the mode's low four bits: User, FIQ, IRQ, Supervisor, Abort,
    // Undefined, System; the rest as User.
    constexpr u8 kBanks[16] = {0, 1, 2, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 6};
    return kBanks[mode & 15];
  }
  static bool hasSpsr(u32 bank) { return bank >= 1 && bank <= 5; }
  u32 get(u32 n, u32 bank) const { return *slot(n, bank); }
  void set(u32 n, u32 bank, u32 value) {
    if (n != kRegSpsr || hasSpsr(bank)) *slot(n, bank) = value;
  }
  u32* slot(u32 n, u32 bank) const { return arena_.word(offsets_[n][bank & 7]); }
  // Arena offset of register n's word in a bank slot (a journal location).
  u32 offset(u32 n, u32 bank) const { return offsets_[n][bank & 7]; }
  void reset();

private:
  Arena& arena_;
  u32 offsets_[kRegisterCount][8] = {};
};

// A program whose loop enters more blocks than the pool holds evicts and
// translates again at every entry: the pool is sized beyond the code a game
// runs in a frame.
inline constexpr u32 kBlockCount = variant::kOlder ? 128 : 4096;
inline constexpr u32 kBlockInstructions = 64;
inline constexpr u32 kEmptyKey = 0x80000000;
// Beside CPSR's mode and T bits, a block's key says whether its instructions
// call the timer routine: they do only while a timer runs.
inline constexpr u32 kTimerCallsKey = 0x40;

struct TranslatedBlock;

// A taken-branch exit of a block whose target lies outside it.  Linked, its
// exit jumps straight into the target block's code.
struct ExitLink {
  u32 slotOffset;    // the 5-byte slot behind the taken exit
  u32 statusOffset;  // the status immediate
  u32 testOffset;    // the status test immediate
  u32 target;        // guest address
  TranslatedBlock* to = nullptr;
};

struct TranslatedBlock {
  u64 lastEntered = 0;  // entry count at the last entry, for eviction
  u32 key = kEmptyKey;
  u32 start = 0;
  u32 end = 0;
  u16 codeOffsets[kBlockInstructions] = {};
  u64 probes = 0;     // bit i: instruction i starts with an execute probe
  u8* code = nullptr; // kBlockCodeLimit bytes of executable memory
  u32 codeSize = 0;
  std::vector<ExitLink> exits;
  // Links of other blocks into this one: the block and its exit's index.
  std::vector<std::pair<TranslatedBlock*, u32>> incoming;
};

// One-shot probe skip: the next block entry at `address` enters past that
// instruction's execute probe.
struct SkipBreakpointOnce {
  bool armed = false;
  u32 address = 0;
};

// What the run loop hands to other parts of the core after a slice.
struct CpuHooks {
  std::function<void(u32 pc, u32 dataAddress, u32& status)> accessTraps;
  std::function<void(u32& status)> debugService;
  std::function<void()> videoTick;
  std::function<void()> stepBack;
};

class ArmCpu {
public:
  ArmCpu(Arena& arena, GbaMemory& memory);
  ~ArmCpu();

  // Registers of the current mode.
  u32 mode() const { return cpsr() & 31; }
  // CPSR and PC are one word in every bank.
  u32 cpsr() const { return arena_.registers[kRegCpsr]; }
  bool isThumb() const { return (cpsr() >> 5) & 1; }
  u32 instructionSize() const { return isThumb() ? 2 : 4; }
  u32 currentBank() const { return RegisterBank::bankOfMode(mode()); }
  u32 reg(u32 n) const { return bank_.get(n, currentBank()); }
  u32 pc() const { return arena_.registers[15]; }
  u32* regAddress(u32 n) { return bank_.slot(n, currentBank()); }
  u32 regOffset(u32 n) const { return bank_.offset(n, currentBank()); }
  void setReg(u32 n, u32 value) { bank_.set(n, currentBank(), value); }
  void setRegJournaled(u32 n, u32 value);
  RegisterBank& bank() { return bank_; }

  // Journaled: running back takes an exception request back too.
  void raise(u32 bits);
  // Sets the bits in IF (journaled), whatever IE and IME hold; IE, IME and
  // CPSR's I bit decide only whether the exception is entered.
  void requestInterrupt(u32 bits);
  // IME on and an enabled interrupt flagged: the IRQ line is asserted.
  bool irqLine() const { return (arena_.io[0x208] & 1) && interruptEnabledAndFlagged(); }
  // An enabled interrupt flagged, whatever IME says: what ends a halt.
  bool interruptEnabledAndFlagged() const {
    const u32 ie = u32(arena_.io[0x200]) | u32(arena_.io[0x201]) << 8;
    return (ie & interruptFlags & 0x3FFF) != 0;
  }
  void reset();

  // Run loop (one forward slice; result in gRunStatus).
  void run();
  // Backward slice: installed by the history journal.
  void stepBack();
  // Enters exception k (the number of its pending bit), journaled.
  void enterException(u32 k);
  // A slice of halt: the budget's cycles pass; returns the slice's status.
  u32 sleep(i32 budget);
  // The timer routine for cycles spent outside generated code; 0x4 when it
  // collected an interrupt.
  u32 runTimers(u32 cycles);
  // Switches ARM/Thumb state by bit 0 of pc and aligns it (not journaled).
  void switchState(u32& pc);
  // The guest debug service after a MOV R0, R0 (status 0x80000).
  void debugService(u32& status);
  CpuHooks hooks;
  // Where the write traps on guest words of translated code are kept.
  BreakpointTable* codeTraps = nullptr;

  // Block cache.  Blocks are indexed by key and start: blocks of different
  // keys may cover the same addresses.
  u32 blockKey() const { return (cpsr() & 63) | (timersRunning_ ? kTimerCallsKey : 0); }
  TranslatedBlock* getBlock(u32 address);
  // The block of the key holding the address, or null; `position` is where
  // a new block for it goes in the index.
  TranslatedBlock* findBlock(u32 address, u32 key, u32& position) const;
  void touchBlock(TranslatedBlock* block) { block->lastEntered = ++entries_; }
  void flushBlocks();
  // A guest write reached translated code: every block holding the word goes
  // (not before the two instructions after the store, which the processor
  // has already fetched, have run).
  void codeWritten(u32 pc, u32 address);
  // At the end of a slice: the blocks a write left for later go now, once
  // the program has moved past the instructions it had fetched.
  void settleCodeWrites();
  u32 blocksInUse() const { return blocksInUse_; }
  TranslatedBlock* indexEntry(u32 i) { return index_[i]; }
  TranslatedBlock* oldestBlock() const;

  // Cost model: cycles of n non-sequential, s sequential accesses at the
  // instruction's region plus i internal cycles.
  u32 instructionCost(u32 address, u32 n, u32 i, u32 s) const;

  // Translation: one instruction at an address (ARM or Thumb by the key).
  void translateInstruction(u32 address, CodeEmitter& e);
  void translateArm(u32 address, u32 op, CodeEmitter& e);
  void translateThumb(u32 address, u32 op, CodeEmitter& e);

  // ARM handlers (armops.cpp).
  void translateDataProcessing(u32 address, u32 op, CodeEmitter& e);
  void translateMultiply(u32 address, u32 op, CodeEmitter& e);
  void translateMultiplyLong(u32 address, u32 op, CodeEmitter& e);
  void translateSwap(u32 address, u32 op, CodeEmitter& e);
  void translateBranchExchange(u32 address, u32 op, CodeEmitter& e);
  void translateHalfwordRegister(u32 address, u32 op, CodeEmitter& e);
  void translateHalfwordImmediate(u32 address, u32 op, CodeEmitter& e);
  void translateLoadStore(u32 address, u32 op, CodeEmitter& e);
  void translateBlockTransfer(u32 address, u32 op, CodeEmitter& e);
  void translateBranch(u32 address, u32 op, CodeEmitter& e);
  void translateSoftwareInterrupt(u32 address, u32 op, CodeEmitter& e);
  void translateUndefined(u32 address, u32 op, CodeEmitter& e);
  void translateCoprocessorTransfer(u32 address, u32 op, CodeEmitter& e);
  void translateCoprocessorData(u32 address, u32 op, CodeEmitter& e);
  void translateCoprocessorRegister(u32 address, u32 op, CodeEmitter& e);
  void translateThumbLongBranch(u32 address, u32 op, CodeEmitter& e);
  // A bodiless instruction leaving with its kind, PC = the next instruction.
  void translateExit(u32 address, u32 op, CodeEmitter& e, u32 kind, u32 cost);

  // The timer routine generated code calls.
  TimerCode& timers() { return *timers_; }
  // After the guest wrote a timer register: the routine follows the control
  // words (journaled as the ones it runs with) when they changed.
  void buildTimerCode();
  // After running back: the routine follows the restored control words.
  void followTimerControls();

  // In the machine state, so that running back restores them.
  u32& pendingExceptions;
  u32& interruptFlags;  // the processor's copy of IF

  GbaMemory& memory() { return memory_; }
  Arena& arena() { return arena_; }

private:
  void translateTransferBody(u32 address, u32 op, CodeEmitter& e, AccessWidth width, bool load, bool registerOffset,
                             u32 immediate, u32 extraStatus, bool userBank);
  void prologue(u32 address, u32 op, CodeEmitter& e, u32 condition);
  u32 entryInBlock(TranslatedBlock* b, u32 pc, bool resuming);
  // The block of the current key holding pc: a small table of recent
  // lookups in front of the index.
  TranslatedBlock* blockAt(u32 pc, u32 key);
  void translateBlock(TranslatedBlock* block, u32 key, u32 address, u32 size);
  void installBlock(TranslatedBlock* block);
  void releaseBlock(TranslatedBlock* block);
  void unlinkIncoming(std::span<TranslatedBlock* const> blocks);
  void dropOverlappedBlocks(TranslatedBlock* block, u32 position);
  void patchExit(TranslatedBlock* from, u32 exit, TranslatedBlock* to, u8* code);
  void markCode(const TranslatedBlock* block, bool on);
  bool waitsForAWrite(const TranslatedBlock* block) const;

  Arena& arena_;
  GbaMemory& memory_;
  RegisterBank bank_;
  std::unique_ptr<TimerCode> timers_;
  std::array<TranslatedBlock, kBlockCount> pool_;
  TranslatedBlock fallback_;  // the older build's block for every address beyond the pool
  std::array<TranslatedBlock*, kBlockCount> index_{};
  u32 blocksInUse_ = 0;
  u64 entries_ = 0;
  struct RecentBlock {
    u32 pc = 0, key = kEmptyKey;
    TranslatedBlock* block = nullptr;
  };
  static constexpr u32 kRecentBlocks = 256;
  std::array<RecentBlock, kRecentBlocks> recent_{};
  void forgetRecent() { recent_.fill(RecentBlock{}); }
  bool timersRunning_ = false;
  // A code write inside the fetched instructions: the word and the range the
  // program must leave first.
  struct PendingWrite {
    u32 address, from, to;
  };
  std::vector<PendingWrite> pendingWrites_;
  // Blocks' code lies packed, one after another, in the first kBlockCount
  // slots' worth of the buffer (so that a loop through many small blocks
  // touches few cache lines and pages); the last slot is the fallback's.
  // Code of released blocks is not reused: the cache is flushed when the
  // room left could not take a block of the largest size.  The older build
  // keeps a slot for each record.
  CodeBuffer code_;
  size_t codeUsed_ = 0;
  static constexpr size_t kPackedCodeBytes = size_t(kBlockCount) * kBlockCodeLimit;
  std::unique_ptr<u8[]> staging_;
  std::unique_ptr<CodeEmitter> emitter_;
};

// Run-loop globals (the front end sets the stop mask and reads the status).
extern u32 gRunStatus;
extern u32 gStopMask;
extern i32 gCycleBudget;
extern i32 gVideoCycles;
extern u32 gRunToAddress;
extern u32 gCycleCount;
extern SkipBreakpointOnce gSkipBreakpointOnce;
// Arms the one-shot skip: the next block entry at pc runs that instruction
// without its execute probe firing (a run started on a breakpoint, a passed
// breakpoint).  It applies only there, and only where a probe exists; every
// entry clears it.
inline void skipProbeOnceAt(u32 pc) { gSkipBreakpointOnce = SkipBreakpointOnce{true, pc}; }

// Stop masks of the front end.
inline constexpr u32 kStopRunning = 0xFF864;
inline constexpr u32 kStopRunTo = 0xFF866;
inline constexpr u32 kStopStep = 0xFF865;
// The front end stops after a slice whose status has one of these.
inline constexpr u32 kStopTest = 0x7FB;

// Enters generated code at `entry` with the arena base and the budget and
// journal registers; returns the exit's status word and hands back the
// registers.  Generated once.
u32 callWithCpuRegisters(Arena* arena, const void* entry, u32& budget, u32& journal);

// Settings the core reads (stand-ins until the configuration options exist).
int skipStartupOption();
void setSkipStartupOption(int value);
