#include "core/dma.h"

namespace {

constexpr int32_t kMaxSlice = 2047;
constexpr uint32_t kBudgetSpent = 0x80000000;
constexpr uint32_t kStatusRead = 0x8, kStatusWrite = 0x10;
constexpr uint32_t kStepUnit = 0x1;  // stop mask: one unit at a time

uint32_t sadOf(uint32_t n) { return kDmaRegisters + 12 * n; }
uint32_t dadOf(uint32_t n) { return kDmaRegisters + 12 * n + 4; }
uint32_t controlOf(uint32_t n) { return kDmaRegisters + 12 * n + 8; }

// The budget of a call: the time to the display's next event, at most 2047.
bool takeBudget(const DmaClock& c) {
  bool bounded = *c.videoCycles < kMaxSlice;
  *c.cycleBudget = bounded ? *c.videoCycles : kMaxSlice;
  *c.cycleCount += uint32_t(*c.cycleBudget);
  return bounded;
}

}  // namespace

Dma::Dma(DmaChannels& state)
    : source(state.source),
      destination(state.destination),
      remaining(state.remaining),
      sourceStep(state.sourceStep),
      destinationStep(state.destinationStep),
      unit(state.unit),
      timing(state.timing),
      repeat(state.repeat),
      repeating(state.repeating) {
  for (uint32_t n = 0; n < 4; ++n) {
    source[n] = destination[n] = remaining[n] = unit[n] = timing[n] = repeat[n] = repeating[n] = 0;
    sourceStep[n] = destinationStep[n] = 0;
  }
}

void Dma::latch(uint32_t n, uint32_t c, DmaBus& bus) {
  change(bus, repeat[n], (c >> 25) & 1);
  change(bus, unit[n], (c & (1u << 26)) ? 4u : 2u);
  // A repeat goes on from the addresses the last transfer left; only a
  // destination set to reload starts again at DAD.  A count of 0 is the
  // largest count.
  const uint32_t destinationMode = (c >> 21) & 3;
  if (!repeating[n]) change(bus, source[n], bus.peek32(sadOf(n)) & ~(unit[n] - 1));
  if (!repeating[n] || destinationMode == 3) change(bus, destination[n], bus.peek32(dadOf(n)) & ~(unit[n] - 1));
  const uint32_t count = c & dmaCountMask(n);
  change(bus, remaining[n], count ? count : n == 3 ? 0x10000u : 0x4000u);
  const int32_t u = int32_t(unit[n]);
  static const int32_t kDest[4] = {1, -1, 0, 1}, kSource[4] = {1, -1, 0, 0};
  change(bus, destinationStep[n], u * kDest[destinationMode]);
  change(bus, sourceStep[n], u * kSource[(c >> 23) & 3]);
}

uint32_t Dma::unitCycles(uint32_t n, DmaBus& bus) const {
  const uint32_t s = source[n], d = destination[n];
  return unit[n] == 2 ? (bus.wait16(s) + bus.wait16(d)) >> 20 : (bus.wait32(s) + bus.wait32(d)) >> 20;
}

void Dma::enableChanged(uint32_t n, bool before, bool now, DmaBus& bus) {
  if (before == now) return;
  change(bus, repeating[n], 0u);
  if (!now) change(bus, remaining[n], 0u);
}

uint32_t Dma::stepBack(uint32_t n, DmaBus& bus) {
  // The stepping of a transfer is not journaled unit by unit: it is taken
  // back by the channel's own steps, which change only when it is latched.
  n &= 3;
  remaining[n] += 1;
  destination[n] -= uint32_t(destinationStep[n]);
  source[n] -= uint32_t(sourceStep[n]);
  return unitCycles(n, bus);
}

bool Dma::transferUnit(uint32_t n, DmaBus& bus, const DmaClock& clock, bool bounded) {
  const uint32_t s = source[n], d = destination[n];
  const uint32_t old = bus.peek32(d & ~3u);
  const uint32_t cycles = unitCycles(n, bus);
  if (unit[n] == 2) bus.poke16(d, bus.peek16(s));
  else bus.poke32(d, bus.peek32(s));
  *clock.cycleBudget -= int32_t(cycles);
  // A timer interrupt raised during the transfer is requested, not lost.
  if (bus.runTimers(cycles)) bus.requestTimerInterrupts();
  // The unit in the journal: {3, channel}, then {guest word address, old
  // value}.  After the timers' records, so that running back takes the
  // unit's cycles off the timers before their overflows are restored.
  bus.journal(kDmaRecord, n);
  bus.journal(d & ~3u, old);
  destination[n] += uint32_t(destinationStep[n]);
  source[n] += uint32_t(sourceStep[n]);
  if (--remaining[n] == 0) {
    uint32_t c = bus.peek32(controlOf(n));
    // The register write-back is journaled, so running back over the
    // transfer restores the registers too.
    auto writeBack = [&](uint32_t reg, uint32_t value) {
      bus.journalGuest(reg);
      bus.poke32(reg, value);
    };
    if (n != 0) writeBack(dadOf(n), destination[n]);
    writeBack(sadOf(n), source[n]);
    if (!repeat[n]) writeBack(controlOf(n), c & ~0x80000000u);
    change(bus, repeating[n], repeat[n]);
    if (c & (1u << 30)) bus.requestInterrupt(0x100u << n);
  }
  uint32_t status = 1;
  // The countdown moves by every unit's cycles, bounded or not, as running
  // back gives them back.
  *clock.videoCycles -= int32_t(cycles);
  if (bounded) {
    if (*clock.cycleBudget < 0) {
      status |= kBudgetSpent;
      bus.videoTick();
      // The display moved on: the rest of the transfer counts against the
      // next event's time, so a long transfer advances the display by the
      // cycles it takes, not one event per unit.
      *clock.cycleCount -= uint32_t(*clock.cycleBudget);
      bounded = takeBudget(clock);
    }
  } else if (*clock.cycleBudget < 0) {
    status |= kBudgetSpent;
  }
  status &= *clock.stopMask;
  bool trapped = false;
  if (bus.readTrap(s)) {
    status |= kStatusRead;
    bus.accessTraps(bus.pc(), s, status);
    trapped = true;
  }
  if (bus.writeTrap(d)) {
    const bool code = bus.codeWord(d);
    status |= kStatusWrite;
    bus.accessTraps(bus.pc(), d, status);
    trapped |= !code;
  }
  *clock.runStatus = status;
  return status == 0 && !trapped;
}

bool Dma::moveUnits(uint32_t n, DmaBus& bus, const DmaClock& clock) {
  // The last unit writes the registers back, and a unit that overspends the
  // budget ends the call or moves the display on: those go one by one, as
  // does every unit while the stop mask asks for one at a time.
  if (remaining[n] < 2 || (*clock.stopMask & kStepUnit) || *clock.cycleBudget < 0) return false;
  const uint32_t cycles = unitCycles(n, bus);
  uint32_t count = remaining[n] - 1;
  if (cycles != 0 && uint32_t(*clock.cycleBudget) / cycles < count) count = uint32_t(*clock.cycleBudget) / cycles;
  if (count == 0) return false;
  const uint32_t moved =
      bus.moveUnits({n, source[n], destination[n], sourceStep[n], destinationStep[n], unit[n], cycles, count});
  if (moved == 0) return false;
  source[n] += moved * uint32_t(sourceStep[n]);
  destination[n] += moved * uint32_t(destinationStep[n]);
  remaining[n] -= moved;
  const int32_t spent = int32_t(moved * cycles);
  *clock.cycleBudget -= spent;
  *clock.videoCycles -= spent;
  *clock.runStatus = 0;  // as each of the units would have left it
  return true;
}

uint32_t Dma::run(uint32_t callTiming, DmaBus& bus, const DmaClock& clock) {
  // H-blank and V-blank calls come from inside the display's tick, which may
  // itself run inside a transfer: they only latch and leave the clock alone.
  bool transfers = callTiming == 0;
  bool bounded = transfers && takeBudget(clock);
  for (uint32_t n = 0; n < 4; ++n) {
    if (remaining[n] == 0) {
      uint32_t c = bus.peek32(controlOf(n));
      change(bus, timing[n], (c >> 28) & 3);
      if (!(c & 0x80000000)) {
        change(bus, repeating[n], 0u);  // stopped: a new start reads SAD and DAD afresh
        continue;
      }
      if (timing[n] != 0 && timing[n] != callTiming) continue;
      latch(n, c, bus);
    }
    if (!transfers) continue;
    while (remaining[n] != 0) {
      if (!moveUnits(n, bus, clock) && !transferUnit(n, bus, clock, bounded)) {
        *clock.cycleCount -= uint32_t(*clock.cycleBudget);
        return 0;
      }
      bounded = *clock.videoCycles < kMaxSlice;
    }
  }
  if (transfers) *clock.cycleCount -= uint32_t(*clock.cycleBudget);
  return 1;
}
