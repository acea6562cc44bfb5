#include "core/emulator.h"

#include <cstring>
#include <vector>
#include <sys/mman.h>

#include "core/check.h"
#include "core/debugsvc.h"
#include "core/frontend.h"
#include "core/timers.h"
#include "platform/variant.h"

namespace {

// The journal's start in the arena lands on a large page: the arena is
// placed so, and its size rounded to whole large pages.
constexpr size_t kLargePage = size_t(1) << 21;
constexpr size_t kArenaBytes = (sizeof(Arena) + kLargePage - 1) & ~(kLargePage - 1);

}  // namespace

Arena* Emulator::allocateArena() {
  const size_t spare = 2 * kLargePage;
  void* p = mmap(nullptr, kArenaBytes + spare, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  CHECK(p != MAP_FAILED);
  if (p == MAP_FAILED) return nullptr;
  // The arena begins where its journal lands on a large page; the rest of
  // the mapping goes back.
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t journal = (at + offsetof(Arena, journal) + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t start = journal - offsetof(Arena, journal);
  if (start > at) munmap(p, start - at);
  const uintptr_t end = at + kArenaBytes + spare, used = start + kArenaBytes;
  if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
  Arena* a = reinterpret_cast<Arena*>(start);  // zero-filled; Arena is plain storage
  // The journal is written straight through: large pages spare it a fault
  // every 4 KB.
  madvise(a->journal, sizeof a->journal, MADV_HUGEPAGE);
  buildConditionTable(a->conditionTable);
  buildFlagTable(a->flagsFromAh);
  // A new cartridge's EEPROM is erased.  The journal is left untouched: it
  // counts what it holds, and its pages cost nothing until written.
  for (u8& b : a->machine.eepromStore) b = 0xFF;
  return a;
}

void Emulator::ArenaDeleter::operator()(Arena* a) const { munmap(a, kArenaBytes); }

Emulator::Emulator()
    : arena_(allocateArena()),
      memory_(*arena_),
      breakpoints_(memory_.trapMap(), [this] { cpu_.flushBlocks(); }, [](const char* text) { postCoreWarning(text); }),
      cpu_(*arena_, memory_),
      video_(std::make_unique<Video>()),
      dma_(arena_->machine.dma),
      history_(arena_->journal, &arena_->journalWriteIndex, arena::kJournalWords) {
  sliceMark_ = arena_->offsetOf(&arena_->machine.sliceMark);
  pcLocation_ = cpu_.regOffset(15);  // R15 has one word in every mode
  lineLocation_ = arena_->offsetOf(&arena_->machine.video.line);
  framesLocation_ = arena_->offsetOf(&arena_->machine.video.frames);
  CHECK(pcLocation_ < lineLocation_ && lineLocation_ < framesLocation_);  // writeLocation counts on it
  memory_.buildMap();
  breakpoints_.installIoTraps();
  cpu_.reset();
  trapContext_.breakpoints = &breakpoints_;
  trapContext_.io = arena_->io;
  trapContext_.eepromPorts = arena_->eepromPorts;
  trapContext_.eepromStore = arena_->machine.eepromStore;
  trapContext_.lastTrapWidth = &arena_->lastTrapWidth;
  trapContext_.interruptFlags = &cpu_.interruptFlags;
  if constexpr (!variant::kOlder) trapContext_.halted = &arena_->machine.halted;
  trapContext_.journal = [this](const void* field) { journalField(field); };
  trapContext_.codeWritten = [this](u32 pc, u32 address) { cpu_.codeWritten(pc, address); };
  trapContext_.timerReload = arena_->machine.timerReload;
  trapContext_.dmaControl = [this](u32 n, bool before, bool now) { dma_.enableChanged(n, before, now, *this); };
  trapContext_.beforeWrite = [this](u32 word, u32& before, u32& cycles) { beforeWrite(word, before, cycles); };
  cpu_.codeTraps = &breakpoints_;
  trapContext_.wait16Sequential = arena_->wait[arena::kWait16Seq];
  trapContext_.timerAccumulators = arena_->timerAccumulators;
  trapContext_.stepOver = &stepOver_;
  trapContext_.rebuildTimers = [this] { cpu_.buildTimerCode(); };
  trapContext_.skipProbeOnce = [](u32 pc) { skipProbeOnceAt(pc); };
  cpu_.hooks.accessTraps = [this](u32 pc, u32 data, u32& status) { handleAccessTraps(trapContext_, pc, data, status); };
  cpu_.hooks.videoTick = [this] { video_->tick(); };
  cpu_.hooks.debugService = [this](u32& status) {
    GuestReader guest{[this](u32 a) { return memory_.peek8(a); }, [this](u32 a) { return memory_.peek16(a); }};
    runDebugService(cpu_.reg(0), cpu_.reg(1), guest, status);
  };
  cpu_.hooks.stepBack = [this] {
    BackwardClock clock{&gStopMask, &gRunStatus};
    // Running back re-tests breakpoints only: no IF acknowledge, EEPROM
    // request or timer pre-advance happens a second time.
    trapContext_.ioActions = false;
    stepBackSlice(history_, *this, clock);
    trapContext_.ioActions = true;
  };
  video_->attachAreas(arena_->io, arena_->palette, arena_->vram, arena_->oam);
  video_->attachClock(&arena_->machine.video);
  video_->attachJournal(arena_.get());
  video_->emulator = this;
  video_->setHost(this);
  arena_->journalWriteIndex = 0;
}

Emulator::~Emulator() = default;

void Emulator::reset() {
  takeClock();
  arena_->machine.cycleCount = 0;
  // The history of another run (or another cartridge) cannot be undone here.
  history_.clear();
  memory_.clear();
  // A transfer left half done (stopped by a breakpoint) must not go on into
  // the new run's memory; the channels latch afresh from the cleared registers.
  for (u32& units : dma_.remaining) units = 0;
  cpu_.reset();
  giveClock();
}

bool Emulator::loadRom(const std::string& name, std::string* problem) {
  // Checked whole before anything changes, so a bad file leaves the
  // machine as it was.
  std::vector<u8> bytes;
  if (!GbaMemory::readCartridge(name, bytes, problem)) return false;
  reset();
  memory_.installCartridge(bytes);
  romName_ = name;
  return true;
}

bool Emulator::loadRom(const FixedIString& name, std::string* problem) {
  std::string narrow;
  for (u32 i = 0; i < name.length(); ++i) narrow.push_back(char(name[i] & 0xFF));
  return loadRom(narrow, problem);
}

void Emulator::beforeWrite(u32 word, u32& before, u32& cycles) {
  // Among the newest records: the write's own pair ({2, address}, then the
  // word's old content; or a DMA unit's {3, channel}, {word, old content})
  // and the end of the instruction that made it.
  const Arena& a = *arena_;
  const u32 mask = arena::kJournalWords - 1;
  u32 i = a.journalWriteIndex & mask;
  bool ended = false;
  for (int k = 0; k < 64; ++k) {
    i = (i - 2) & mask;
    const u32 first = a.journal[i], second = a.journal[i + 1];
    const u32 next = (i + 2) & mask;
    if (first == kRecordEnd && !ended) {
      ended = true;
      cycles = second >> 20;
    } else if (first == kRecordStore && (second & ~3u) == word) {
      before = a.journal[next + 1];
      return;
    } else if (first == kRecordDma && second < 4 && a.journal[next] == word) {
      before = a.journal[next + 1];
      if (!ended) cycles = 0;
      return;
    }
  }
}

void Emulator::commitJournal() {
  u32* journal = arena_->journal;
  const size_t bytes = sizeof arena_->journal;
  if (madvise(journal, bytes, MADV_POPULATE_WRITE) == 0) return;
  // Without the call: one write a page.
  for (size_t w = 0; w < bytes / 4; w += 1024) journal[w] = 0;
}

void Emulator::takeClock() {
  MachineState& m = arena_->machine;
  if (gCycleCount != givenCycleCount_) m.cycleCount = gCycleCount;
  if (gVideoCycles != givenVideoCycles_) m.video.cycles = gVideoCycles;
}

void Emulator::giveClock() {
  const MachineState& m = arena_->machine;
  gCycleCount = givenCycleCount_ = m.cycleCount;
  gVideoCycles = givenVideoCycles_ = m.video.cycles;
}

void Emulator::runSlice() {
  takeClock();
  // A forward run after a backward one drops the undone future first.
  history_.resumeForward();
  history_.account();
  if (!dmaWanted() || runDma(0) != 0) cpu_.run();
  // The slice's end: running back one step from here lands where it began.
  journalField(&arena_->machine.sliceMark);
  ++arena_->machine.sliceMark;
  history_.account();
  giveClock();
}

void Emulator::stepBack() {
  takeClock();
  cpu_.stepBack();
  giveClock();
}

bool Emulator::dmaWanted() const {
  const u8* io = arena_->io;
  return (io[0xBB] | io[0xC7] | io[0xD3] | io[0xDF]) & 0x80 || dma_.remaining[0] || dma_.remaining[1] ||
         dma_.remaining[2] || dma_.remaining[3];
}

uint32_t Emulator::runDma(uint32_t timing) {
  // The display's H-blank and V-blank calls only latch enabled channels: with
  // none there is nothing to do (a channel's enabling and disabling are seen
  // where its control register is written).
  if (timing != 0 && !dmaWanted()) return 1;
  MachineState& m = arena_->machine;
  DmaClock clock{&m.video.cycles, &gCycleBudget, &m.cycleCount, &gRunStatus, &gStopMask};
  return dma_.run(timing, *this, clock);
}

void Emulator::journalField(const void* field) {
  journalPush(*arena_, arena_->offsetOf(field) & ~3u);
}

void Emulator::journalGuest(uint32_t address) {
  if (const u8* p = memory_.writePointer(address & ~3u, 4)) journalField(p);
}

uint32_t Emulator::runTimers(uint32_t cycles) { return cpu_.runTimers(cycles); }

uint32_t Emulator::moveUnits(const DmaUnits& r) {
  if (dmaUnitsOneByOne_) return 0;
  // A counting timer moves on with every unit, between its copy and its
  // records, and its interrupt is requested there.
  const bool timersCount = cpu_.timers().counting();
  // Where the whole run goes round its area, over a mirror or a trap bit,
  // a first part of it may not.
  const u8* from = nullptr;
  u8* to = nullptr;
  u32 count = r.count;
  while (count != 0 && !plainUnits(r, count, from, to)) count /= 2;
  for (u32 i = 0; i < count; ++i) {
    const u32 destination = r.destination + i * u32(r.destinationStep);
    u8* place = to + std::ptrdiff_t(i32(i * u32(r.destinationStep)));
    u32 old;
    std::memcpy(&old, place - (destination & 3), 4);
    const u8* source = from + std::ptrdiff_t(i32(i * u32(r.sourceStep)));
    if (r.unit == 4) {
      u32 v;
      std::memcpy(&v, source, 4);
      std::memcpy(place, &v, 4);
    } else {
      u16 v;
      std::memcpy(&v, source, 2);
      std::memcpy(place, &v, 2);
    }
    if (timersCount && runTimers(r.cycles)) requestTimerInterrupts();
    journal(kDmaRecord, r.channel);
    journal(destination & ~3u, old);
  }
  return count;
}

bool Emulator::plainUnits(const DmaUnits& r, u32 count, const u8*& from, u8*& to) {
  const u32 lastSource = r.source + (count - 1) * u32(r.sourceStep);
  const u32 lastDestination = r.destination + (count - 1) * u32(r.destinationStep);
  from = memory_.readSpan(r.source, lastSource, r.unit);
  to = memory_.writeSpan(r.destination, lastDestination, r.unit);
  // The old word of each unit is read where it is written.
  const u8* old = memory_.readSpan(r.destination & ~3u, lastDestination & ~3u, 4);
  if (!from || !to || old != to - (r.destination & 3)) return false;
  const TrapMap& traps = memory_.trapMap();
  return !anyTrapBit(traps, 0, r.source, lastSource) && !anyTrapBit(traps, 1, r.destination, lastDestination);
}

void Emulator::requestTimerInterrupts() {
  cpu_.requestInterrupt(arena_->pendingTimerInterrupts);
  arena_->pendingTimerInterrupts = 0;
}

void Emulator::accessTraps(uint32_t pc, uint32_t address, uint32_t& status) {
  handleAccessTraps(trapContext_, pc, address, status);
}

void Emulator::presentFrame(int32_t x, int32_t y) {
  if (presenter_) presenter_(x, y);
}

void Emulator::showInAppPane() {
  if (CoreFrontEnd* f = coreFrontEnd()) f->showInAppPane();
}

void Emulator::displayMetrics(uint32_t& width, uint32_t& height, uint32_t& fontHeight) {
  const CoreFrontEnd::Metrics none;  // without a front end: the defaults
  if (CoreFrontEnd* f = coreFrontEnd()) {
    f->displayMetrics(width, height, fontHeight);
  } else {
    width = none.width;
    height = none.height;
    fontHeight = none.fontHeight;
  }
}

void Emulator::writeOtherLocation(uint32_t location, uint32_t value) {
  if (location >= offsetof(Arena, journal) || location <= 4) {
    CHECK(false);  // not a location of this emulator's state
    return;
  }
  u32& word = *arena_->word(location);
  const u32 before = word;
  word = value;
  restoredGuestWord(location);
  // The display follows its undone events on the screen.
  if (location == lineLocation_) video_->lineUndone(before);
  else if (location == framesLocation_) video_->frameUndone(before);
}

void Emulator::undoTimerCycles(uint32_t cycles) {
  const u32* t = arena_->machine.timerControls;
  const u16 controls[4] = {u16(t[0]), u16(t[1]), u16(t[2]), u16(t[3])};
  reverseTimers(arena_->io, arena_->timerAccumulators, controls, cycles);
}

void Emulator::restoredGuestWord(uint32_t location) {
  const Arena& a = *arena_;
  if (!breakpoints_.anyCode() || location < a.offsetOf(a.ewram) || location >= a.offsetOf(a.rom)) return;
  // The areas code can run from that the guest can write, and their regions.
  struct Area {
    const u8* base;
    u32 size, region;
  };
  const Area areas[] = {{a.ewram, sizeof a.ewram, 2}, {a.iwram, sizeof a.iwram, 3},
                        {a.palette, sizeof a.palette, 5}, {a.vram, sizeof a.vram, 6}, {a.oam, sizeof a.oam, 7}};
  for (const Area& area : areas) {
    const u32 offset = location - a.offsetOf(area.base);
    if (offset >= area.size) continue;
    const u32 address = area.region << 24 | offset;
    if (breakpoints_.isCode(address)) cpu_.codeWritten(0, address);
    return;
  }
}

uint32_t Emulator::undoDmaUnit(uint32_t channel, uint32_t address, uint32_t old) {
  const u32 cycles = dma_.stepBack(channel, *this);
  memory_.poke32(address, old);
  if (breakpoints_.isCode(address)) cpu_.codeWritten(0, address);
  undoCycles(cycles);
  return cycles;
}

void Emulator::afterBackwardSlice() {
  // The timer routine follows the restored control words.
  cpu_.followTimerControls();
  video_->afterBackwardSlice();
}

namespace {

template <class Text>
u32 parseHex(const Text& text, u32 length) {
  u32 value = 0;
  for (u32 i = 0; i < length; ++i) {
    u32 c = u32(text[i]) & 0xFFFF;
    if (c < 32) continue;
    u32 digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else break;
    value = (value << 4) | digit;
  }
  return value;
}

}  // namespace

u32 Emulator::parseAddress(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide.push_back(c);
  return parseHex(wide, u32(wide.size()));
}

u32 Emulator::parseAddress(const FixedIString& text) { return parseHex(text, text.length()); }

void formatHex8(std::string& out, u32 value) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", value);
  out += buf;
}

void formatHex8(FixedIString& out, u32 value) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", value);
  for (const char* p = buf; *p; ++p) out.appendChar(*p);
}

Emulator gEmulator;
