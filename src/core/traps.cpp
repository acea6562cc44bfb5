#include "core/traps.h"

#include <cstring>

#include "core/eeprom.h"
#include "core/memory.h"
#include "core/timers.h"
#include "platform/variant.h"

namespace {

uint16_t load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void store16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

uint32_t wait16(const TrapContext& ctx, uint32_t address) {
  uint32_t region = address >> 24;
  return ctx.wait16Sequential[region > 15 ? 15 : region];
}

}  // namespace

namespace {

void journal(TrapContext& ctx, const void* field) {
  if (ctx.journal) ctx.journal(field);
}

// Journals every word of an area that an action changed, with its old value
// taken from the copy made before.
void journalChanges(TrapContext& ctx, uint8_t* area, const uint8_t* before, uint32_t bytes) {
  if (!ctx.journal) return;
  for (uint32_t w = 0; w < bytes; w += 4) {
    if (std::memcmp(area + w, before + w, 4) == 0) continue;
    uint8_t now[4];
    std::memcpy(now, area + w, 4);
    std::memcpy(area + w, before + w, 4);
    ctx.journal(area + w);
    std::memcpy(area + w, now, 4);
  }
}

}  // namespace

namespace {

// A guest write into a timer's word.  What it wrote to the counter half is
// the reload value: the count runs on as it was (the instruction's own
// cycles counted from there).  Setting the enable bit starts the count at
// the reload value.
void timerWrite(TrapContext& ctx, uint32_t pc, uint32_t a, uint32_t offset, uint32_t width) {
  const uint32_t n = (offset - 0x100) / 4;
  uint8_t* word = ctx.io + 0x100 + 4 * n;
  uint32_t now;
  std::memcpy(&now, word, 4);
  uint32_t before = now, cycles = 0;
  if (ctx.beforeWrite) ctx.beforeWrite(a & ~3u, before, cycles);
  const uint32_t first = width == 4 ? 0 : offset & (4 - width);
  const uint32_t written = (width == 4 ? 0xFFFFFFFFu : ((1u << 8 * width) - 1)) << 8 * first;
  const uint16_t oldControl = uint16_t(before >> 16), control = uint16_t(now >> 16);
  uint32_t* reload = ctx.timerReload;
  const uint32_t p = control & 3;
  const bool countsCycles = n == 0 || !(control & 4);
  uint32_t counter = now & 0xFFFF;
  if (written & 0xFFFF) {
    if (reload) {
      journal(ctx, &reload[n]);
      reload[n] = (reload[n] & ~written & 0xFFFF) | (now & written & 0xFFFF);
    }
    // The running count is the one before the store, moved on by the
    // instruction's cycles as the routine would have moved it.
    counter = before & 0xFFFF;
    if ((oldControl & 0x80) && countsCycles && cycles) {
      uint8_t scratch[0x110] = {};
      std::memcpy(scratch + 0x100 + 4 * n, &counter, 2);
      uint32_t acc[4];
      std::memcpy(acc, ctx.timerAccumulators, sizeof acc);
      if (p) acc[n] -= cycles << timerShift(p);
      addTimerCycles(scratch, acc, n, p, reload ? reload[n] : 0, cycles);
      counter = uint32_t(scratch[0x100 + 4 * n] | scratch[0x101 + 4 * n] << 8);
    }
  }
  if (!(oldControl & 0x80) && (control & 0x80)) {
    counter = reload ? reload[n] & 0xFFFF : 0;
    journal(ctx, &ctx.timerAccumulators[n]);
    ctx.timerAccumulators[n] = 0;
  }
  journal(ctx, word);
  store16(word, counter);
  if ((written >> 16) && (control & 0x80) && countsCycles) {
    // The cycles of the store itself, which the routine built before it did not count.
    const uint32_t c = ((wait16(ctx, pc) + wait16(ctx, a)) >> 20) + 3;
    journal(ctx, &ctx.timerAccumulators[n]);
    addTimerCycles(ctx.io, ctx.timerAccumulators, n, p, reload ? reload[n] : 0, c);
  }
}

}  // namespace

void ioWriteAction(TrapContext& ctx, uint32_t pc, uint32_t a) {
  const TrapMap& map = ctx.breakpoints->map();
  uint32_t region = a >> 24;
  if (region == 4) {
    uint32_t offset = a & map.mask[4];  // the registers do not repeat
    const uint32_t width = ctx.lastTrapWidth ? *ctx.lastTrapWidth : 2;
    if (offset >= 0xB8 && offset < 0xE0 && (offset - 0xB8) % 12 < 4 && ctx.dmaControl) {
      // A DMA channel's enable bit: switched on, it starts afresh from its
      // registers; switched off, it stops.
      const uint32_t word = a & ~3u;
      uint32_t before = 0, now, cycles = 0;
      std::memcpy(&now, ctx.io + (offset & ~3u), 4);
      before = now;
      if (ctx.beforeWrite) ctx.beforeWrite(word, before, cycles);
      ctx.dmaControl((offset - 0xB8) / 12, (before >> 31) != 0, (now >> 31) != 0);
      return;
    }
    if (offset == 0x202 || offset == 0x203 || (offset == 0x200 && width == 4)) {
      // Writing 1s to IF acknowledges those interrupts; a byte store
      // acknowledges in its own byte only.
      const uint32_t written = width == 1 ? 0xFFu << 8 * (offset & 1) : 0xFFFFu;
      journal(ctx, ctx.interruptFlags);
      *ctx.interruptFlags &= ~(uint32_t(load16(ctx.io + 0x202)) & written);
      journal(ctx, ctx.io + 0x200);
      store16(ctx.io + 0x202, *ctx.interruptFlags);
      return;
    }
    if ((offset == 0x301 || (offset == 0x300 && width >= 2)) && ctx.halted) {
      // HALTCNT with bit 7 clear: the processor halts until an enabled
      // interrupt is requested (bit 7 set asks for the console's stop,
      // which is not there).
      if (!(ctx.io[0x301] & 0x80)) {
        journal(ctx, ctx.halted);
        *ctx.halted = 1;
      }
      return;
    }
    if (offset >= 0x100 && offset < 0x110) {
      timerWrite(ctx, pc, a, offset, width);
      // The routine follows the control words.
      if (!variant::kOlder && ctx.rebuildTimers) ctx.rebuildTimers();
    }
    return;
  }
  if (region == 9 || region == 11 || region == 13) {
    uint32_t offset = a & map.mask[region];
    uint8_t ports[kEepromPortSize], store[kEepromStoreSize];
    std::memcpy(ports, ctx.eepromPorts, sizeof ports);
    std::memcpy(store, ctx.eepromStore, sizeof store);
    if (offset == (kEepromReadTrap & 0xFFFFFF)) eepromReadRequest(ctx.eepromPorts, ctx.eepromStore);
    if (offset == (kEepromWriteTrap & 0xFFFFFF)) eepromWriteRequest(ctx.eepromPorts, ctx.eepromStore);
    journalChanges(ctx, ctx.eepromPorts, ports, sizeof ports);
    journalChanges(ctx, ctx.eepromStore, store, sizeof store);
  }
}

void handleAccessTraps(TrapContext& ctx, uint32_t pc, uint32_t dataAddress, uint32_t& status) {
  if (!(status & (kStatusRead | kStatusWrite | kStatusExecute))) return;
  const TrapMap& map = ctx.breakpoints->map();
  bool decided = false, passed = false;
  static const uint32_t kBits[3] = {kStatusRead, kStatusWrite, kStatusExecute};
  for (int k = 0; k < 3; ++k) {
    const uint32_t bit = kBits[k];
    const uint32_t a = k == 2 ? pc : dataAddress;
    const uint32_t region = a >> 24;
    if (!(status & bit)) continue;
    // No trap bit exists above region 15 or outside a region's size: a read or
    // write there hit nothing (running back re-tests every access, trapped or
    // not).  The later kinds are still examined.
    AreaPlace place;
    const bool outside =
        region > 15 ||
        !placeInArea(region, a & map.mask[region], k == 1 ? map.writeSize[region] : map.readSize[region], place);
    if (outside) {
      if (k != 2) status &= ~bit;
      continue;
    }
    if (k == 1 && ctx.ioActions) {
      if (ctx.codeWritten && ctx.breakpoints->isCode(a)) ctx.codeWritten(pc, a);
      ioWriteAction(ctx, pc, a);
    }
    if (!testTrapBit(map, 3 + k, a)) {
      status &= ~bit;  // a built-in trap only: no stop
    } else if (!decided) {
      decided = true;
      passed = !ctx.breakpoints->countHit(a);
      if (passed) status &= ~bit;
    } else if (passed) {
      status &= ~bit;
    }
    if (k == 2) {
      StepOver* so = ctx.stepOver;
      if (so && a == so->returnAddress) {
        if (so->depth > 0)
          --so->depth;
        else
          status |= kStatusExecute;
      } else if (so && a == so->callSite) {
        ++so->depth;
      }
      if (ctx.skipProbeOnce) ctx.skipProbeOnce(pc);
    }
  }
}
