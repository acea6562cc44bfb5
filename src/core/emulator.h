#pragma once
// The whole emulated console as one object: the state arena, the memory
// map, the processor with its block cache, the display unit and the DMA
// unit, plus the breakpoint table, the access-trap context and the history
// journal that join them.

#include <memory>
#include <string>

#include "core/backstep.h"
#include "core/breakpt.h"
#include "core/cpu.h"
#include "core/dma.h"
#include "core/eeprom.h"
#include "core/history.h"
#include "core/memory.h"
#include "core/traps.h"
#include "core/video.h"
#include "general/istring.h"

class Emulator final : private DmaBus, private VideoHost, private BackwardHost {
  // Running back calls the machine's side directly, not through the interface.
  template <class Host>
  friend void stepBackSlice(History&, Host&, const BackwardClock&);

public:
  Emulator();
  ~Emulator() override;
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  ArmCpu& cpu() { return cpu_; }
  GbaMemory& memory() { return memory_; }
  Video& video() { return *video_; }
  Dma& dma() { return dma_; }
  Arena& arena() { return *arena_; }
  History& history() { return history_; }
  BreakpointTable& breakpoints() { return breakpoints_; }
  TrapContext& traps() { return trapContext_; }
  StepOver& stepOver() { return stepOver_; }
  u8* eepromStore() { return arena_->machine.eepromStore; }

  // Cycle count 0, memory cleared (BIOS and ROM kept), processor reset.
  void reset();
  // Reset, then the file into the ROM area.  A file that is refused
  // (GbaMemory::readCartridge) changes nothing: no reset, the cartridge in
  // before stays; false then, with one line for the user in *problem.
  bool loadRom(const std::string& name, std::string* problem = nullptr);
  bool loadRom(const FixedIString& name, std::string* problem = nullptr);  // characters taken by their low byte
  const std::string& romName() const { return romName_; }
  // DMA with immediate timing, then one processor slice unless DMA stopped.
  void runSlice();
  void stepBack();
  // The outside view of the machine's clock (gCycleCount, gVideoCycles) is
  // given out after every slice; what something outside wrote there since is
  // taken in before the next, or here.
  void takeClock();
  void shutdownVideo() { video_->release(); }
  // Commits the journal's memory now, so that running never waits for the
  // system to hand out fresh pages (the program's emulator does this once at
  // start; others fault pages in as they write them).
  void commitJournal();
  // Every DMA unit moved alone, as where moving them at once does not apply
  // (to check that the two leave the same machine and journal).
  void setDmaUnitsOneByOne(bool on) { dmaUnitsOneByOne_ = on; }
  // Where the display unit's finished frames go (the front end's display;
  // nothing by default).
  void setFramePresenter(std::function<void(i32 x, i32 y)> presenter) { presenter_ = std::move(presenter); }

  // The hexadecimal value of a text: characters below 32 are skipped, hex
  // digits accumulate, anything else ends the scan.
  static u32 parseAddress(const std::string& text);
  static u32 parseAddress(const FixedIString& text);

private:
  struct ArenaDeleter {
    void operator()(Arena* a) const;
  };
  static Arena* allocateArena();

  // DmaBus
  uint16_t peek16(uint32_t address) override { return memory_.peek16(address); }
  uint32_t peek32(uint32_t address) override { return memory_.peek32(address); }
  void poke16(uint32_t address, uint16_t value) override { memory_.poke16(address, value); }
  void poke32(uint32_t address, uint32_t value) override { memory_.poke32(address, value); }
  uint32_t wait16(uint32_t address) override { return memory_.wait(arena::kWait16Seq, address >> 24); }
  uint32_t wait32(uint32_t address) override { return memory_.wait(arena::kWait32Seq, address >> 24); }
  bool readTrap(uint32_t address) override { return testTrapBit(memory_.trapMap(), 0, address); }
  bool writeTrap(uint32_t address) override { return testTrapBit(memory_.trapMap(), 1, address); }
  bool codeWord(uint32_t address) override { return breakpoints_.isCode(address); }
  void journal(uint32_t first, uint32_t second) override { history_.push(first, second); }
  uint32_t moveUnits(const DmaUnits& run) override;
  // Whether the first `count` units of a run qualify, and where they lie.
  bool plainUnits(const DmaUnits& run, u32 count, const u8*& from, u8*& to);
  void journalField(const void* field) override;
  void journalGuest(uint32_t address) override;
  uint32_t runTimers(uint32_t cycles) override;
  void requestTimerInterrupts() override;
  void requestInterrupt(uint32_t bits) override { cpu_.requestInterrupt(bits); }
  void videoTick() override { video_->tick(); }
  uint32_t pc() override { return cpu_.pc(); }
  void accessTraps(uint32_t pc, uint32_t address, uint32_t& status) override;

  // VideoHost
  uint32_t runDma(uint32_t timing) override;
  // DMA only while a channel is enabled or has units left.
  bool dmaWanted() const;
  void presentFrame(int32_t x, int32_t y) override;
  void displayMetrics(uint32_t& width, uint32_t& height, uint32_t& fontHeight) override;
  void showInAppPane() override;
  void journal(const void* field) override { journalField(field); }

  // BackwardHost
  // The common case inline: a backward run undoes millions of records, most
  // of them registers, which lie below the display's clock in the arena and
  // need nothing more.
  void writeLocation(uint32_t location, uint32_t value) override {
    if (location - 5 < lineLocation_ - 5) {
      *arena_->word(location) = value;
      return;
    }
    writeOtherLocation(location, value);
  }
  uint32_t pcLocation() override { return pcLocation_; }
  uint32_t sliceMarkLocation() override { return sliceMark_; }
  void setPc(uint32_t pc) override { *arena_->word(pcLocation_) = pc; }
  uint32_t instructionSize() override { return cpu_.instructionSize(); }
  void undoCycles(uint32_t cycles) override {
    MachineState& m = arena_->machine;
    m.cycleCount -= cycles;
    m.video.cycles += i32(cycles);
    const u32* t = m.timerControls;
    if ((t[0] | t[1] | t[2] | t[3]) & 0x80) undoTimerCycles(cycles);
  }
  uint32_t undoDmaUnit(uint32_t channel, uint32_t address, uint32_t old) override;
  void afterBackwardSlice() override;
  // The bitmaps are asked only while a breakpoint of the kind is set: the
  // built-in traps never stop a backward run.
  bool trapBit(int kind, uint32_t address) override {
    return breakpoints_.anySet(kind) && testTrapBit(memory_.trapMap(), kind, address);
  }

  void giveClock();
  // The journal's account of a trapped write (see TrapContext).
  void beforeWrite(u32 word, u32& before, u32& cycles);
  // A guest word the backward step restored: blocks translated from what it
  // held go.
  void restoredGuestWord(uint32_t location);
  // writeLocation from the display's clock on: a location outside the
  // state is refused; the display follows its line and frame, the block
  // cache the code words.
  void writeOtherLocation(uint32_t location, uint32_t value);
  void undoTimerCycles(uint32_t cycles);

  std::unique_ptr<Arena, ArenaDeleter> arena_;
  GbaMemory memory_;
  BreakpointTable breakpoints_;
  ArmCpu cpu_;
  std::unique_ptr<Video> video_;
  Dma dma_;
  History history_;
  StepOver stepOver_;
  TrapContext trapContext_;
  std::string romName_ = "No ROM loaded";
  std::function<void(i32, i32)> presenter_;
  bool dmaUnitsOneByOne_ = false;
  u32 sliceMark_ = 0;  // arena offset of the slice counter
  // Arena offsets running back tests against (see writeLocation).
  u32 pcLocation_ = 0, lineLocation_ = 0, framesLocation_ = 0;
  u32 givenCycleCount_ = 0;
  i32 givenVideoCycles_ = 0;
};

// Appends value as eight lower-case hexadecimal digits.
void formatHex8(std::string& out, u32 value);
void formatHex8(FixedIString& out, u32 value);

// The one emulator of the program.
extern Emulator gEmulator;
