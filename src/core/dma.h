#pragma once
// The console's four DMA channels, run in the emulator's own code between
// slices of generated code.  A channel is latched from its registers when its
// enable bit is set and its start timing matches, then moves units one by one
// through the guest accessors, charging wait states to the slice budget,
// journaling each unit for running backwards and honouring the trap bits.

#include <cstdint>

#include "core/arena.h"

inline constexpr uint32_t kDmaRegisters = 0x040000B0;  // SAD of channel 0; 12 bytes per channel
inline constexpr uint32_t kDmaRecord = 3;              // journal record kind of one DMA unit

// Units of one channel that only move memory (see DmaBus::moveUnits).
struct DmaUnits {
  uint32_t channel;
  uint32_t source, destination;  // of the first unit
  int32_t sourceStep, destinationStep;
  uint32_t unit;    // 2 or 4 bytes
  uint32_t cycles;  // of each unit
  uint32_t count;
};

// What a transfer reaches outside the channels themselves.  The emulator
// implements it over its memory, processor, journal, timers and display.
class DmaBus {
 public:
  virtual ~DmaBus() = default;
  virtual uint16_t peek16(uint32_t address) = 0;
  virtual uint32_t peek32(uint32_t address) = 0;
  virtual void poke16(uint32_t address, uint16_t value) = 0;
  virtual void poke32(uint32_t address, uint32_t value) = 0;
  // Sequential wait of a region for 16- and 32-bit accesses, cycles << 20.
  virtual uint32_t wait16(uint32_t address) = 0;
  virtual uint32_t wait32(uint32_t address) = 0;
  // Live trap bits; false outside the map.
  virtual bool readTrap(uint32_t address) = 0;
  virtual bool writeTrap(uint32_t address) = 0;
  // Whether the write trap at an address only guards translated code (the
  // transfer then goes on).
  virtual bool codeWord(uint32_t address) { (void)address; return false; }
  virtual void journal(uint32_t first, uint32_t second) = 0;
  // Moves up to run.count units at once, each as it would move alone: the
  // old word, the copy, the timers' advance, the unit's two journal records.
  // Only where nothing else would happen in them: both ends in plain storage
  // that every unit between reaches in order, no trap bit on a word they
  // touch.  Returns the units moved; 0 and they go one by one.
  virtual uint32_t moveUnits(const DmaUnits& run) { (void)run; return 0; }
  // Journals the word of machine state that holds `field`, or the guest
  // register word at an address, before it changes.
  virtual void journalField(const void* field) { (void)field; }
  virtual void journalGuest(uint32_t address) { (void)address; }
  // Advances the timers; returns 0x4 when a timer interrupt was collected.
  virtual uint32_t runTimers(uint32_t cycles) = 0;
  // Requests the timer interrupts collected so far and clears them.
  virtual void requestTimerInterrupts() = 0;
  virtual void requestInterrupt(uint32_t bits) = 0;
  virtual void videoTick() = 0;
  virtual uint32_t pc() = 0;
  virtual void accessTraps(uint32_t pc, uint32_t address, uint32_t& status) = 0;
};

// The slice globals a transfer shares with the run loop.
struct DmaClock {
  int32_t* videoCycles;
  int32_t* cycleBudget;
  uint32_t* cycleCount;
  uint32_t* runStatus;
  const uint32_t* stopMask;
};

class Dma {
 public:
  // The channels' state lives in the emulator's machine state, where running
  // back restores it; by default in the unit's own storage.
  Dma() : Dma(own_) {}
  explicit Dma(DmaChannels& state);
  Dma(const Dma&) = delete;
  Dma& operator=(const Dma&) = delete;

  // timing 0 immediate, 1 V-blank, 2 H-blank.  Returns 1 when every active
  // transfer ran to its end or was left for later, 0 when one stopped on a
  // status bit or a trap.
  uint32_t run(uint32_t timing, DmaBus& bus, const DmaClock& clock);

  // The guest switched channel n's enable bit: on, it is latched afresh
  // from its registers at its next start; off, it stops where it is.
  void enableChanged(uint32_t n, bool before, bool now, DmaBus& bus);
  // One unit of channel n taken back: the channel steps back over it.
  // Returns the unit's cycles.
  uint32_t stepBack(uint32_t n, DmaBus& bus);

 private:
  DmaChannels own_{};

 public:
  // Per channel, in this order.
  uint32_t (&source)[4];
  uint32_t (&destination)[4];
  uint32_t (&remaining)[4];
  int32_t (&sourceStep)[4];
  int32_t (&destinationStep)[4];
  uint32_t (&unit)[4];
  uint32_t (&timing)[4];
  uint32_t (&repeat)[4];
  uint32_t (&repeating)[4];

 private:
  template <class T>
  void change(DmaBus& bus, T& field, T value) {
    if (field == value) return;
    bus.journalField(&field);
    field = value;
  }
  uint32_t unitCycles(uint32_t n, DmaBus& bus) const;
  void latch(uint32_t n, uint32_t control, DmaBus& bus);
  // Units of channel n moved at once by the bus where it can; false when
  // the next unit must go alone.
  bool moveUnits(uint32_t n, DmaBus& bus, const DmaClock& clock);
  // One unit of channel n; false when the call must stop.
  bool transferUnit(uint32_t n, DmaBus& bus, const DmaClock& clock, bool bounded);
};

inline uint32_t dmaCountMask(uint32_t n) { return n == 3 ? 0x1FFFF : 0x7FFF; }
