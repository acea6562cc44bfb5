#include "core/traps.h"

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

void ioWriteAction(TrapContext& ctx, uint32_t pc, uint32_t a) {
  const TrapMap& map = ctx.breakpoints->map();
  uint32_t region = a >> 24;
  if (region == 4) {
    uint32_t offset = a & map.mask[4];  // the registers do not repeat
    if (offset == 0x202) {
      // Writing 1s to IF acknowledges those interrupts.
      *ctx.interruptFlags &= ~uint32_t(load16(ctx.io + 0x202));
      store16(ctx.io + 0x202, *ctx.interruptFlags);
      return;
    }
    if (offset >= 0x100 && offset < 0x110) {
      uint32_t n = (offset - 0x100) / 4;
      // Any store into the timer's word (a 32-bit store at the counter
      // included) may have changed the control word.
      if (!variant::kOlder && ctx.rebuildTimers) ctx.rebuildTimers();
      if ((offset & 3) != 2) return;
      uint16_t control = load16(ctx.io + offset);
      if ((control & 0x80) && (n == 0 || !(control & 4))) {
        // The cycles of the store itself, which the routine built before it did not count.
        uint32_t c = ((wait16(ctx, pc) + wait16(ctx, a)) >> 20) + 3;
        addTimerCycles(ctx.io, ctx.timerAccumulators, n, control & 3, c);
      }
    }
    return;
  }
  if (region == 9 || region == 11 || region == 13) {
    uint32_t offset = a & map.mask[region];
    if (offset == (kEepromReadTrap & 0xFFFFFF)) eepromReadRequest(ctx.eepromPorts, ctx.eepromStore);
    if (offset == (kEepromWriteTrap & 0xFFFFFF)) eepromWriteRequest(ctx.eepromPorts, ctx.eepromStore);
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
    if (k == 1 && ctx.ioActions) ioWriteAction(ctx, pc, a);
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
