#include "core/emulator.h"

#include <cstring>
#include <sys/mman.h>

#include "core/check.h"
#include "core/debugsvc.h"
#include "core/frontend.h"
#include "core/timers.h"

Arena* Emulator::allocateArena() {
  void* p = mmap(nullptr, sizeof(Arena), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  CHECK(p != MAP_FAILED);
  Arena* a = static_cast<Arena*>(p);  // zero-filled; Arena is plain storage
  buildConditionTable(a->conditionTable);
  buildFlagTable(a->flagsFromAh);
  for (u32& w : a->journal) w = 4;  // empty records
  return a;
}

void Emulator::ArenaDeleter::operator()(Arena* a) const { munmap(a, sizeof(Arena)); }

Emulator::Emulator()
    : arena_(allocateArena()),
      memory_(*arena_),
      breakpoints_(memory_.trapMap(), [this] { cpu_.flushBlocks(); }, [](const char* text) { postCoreWarning(text); }),
      cpu_(*arena_, memory_),
      video_(std::make_unique<Video>()),
      history_(arena_->journal, &arena_->journalWriteIndex) {
  memory_.buildMap();
  breakpoints_.installIoTraps();
  cpu_.reset();
  trapContext_.breakpoints = &breakpoints_;
  trapContext_.io = arena_->io;
  trapContext_.eepromPorts = arena_->eepromPorts;
  trapContext_.eepromStore = gEepromStore;  // erased by the first installIoTraps
  trapContext_.interruptFlags = &cpu_.interruptFlags;
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
    BackwardClock clock{&gVideoCycles, &gCycleBudget, &gStopMask, &gRunStatus};
    // Running back re-tests breakpoints only: no IF acknowledge, EEPROM
    // request or timer pre-advance happens a second time.
    trapContext_.ioActions = false;
    stepBackSlice(history_, *this, clock);
    trapContext_.ioActions = true;
  };
  video_->attachAreas(arena_->io, arena_->palette, arena_->vram, arena_->oam);
  video_->emulator = this;
  video_->setHost(this);
  arena_->journalWriteIndex = 0;
}

Emulator::~Emulator() = default;

void Emulator::reset() {
  gCycleCount = 0;
  // The history of another run (or another cartridge) cannot be undone here.
  history_.clear();
  arena_->journalWriteIndex = 0;
  memory_.clear();
  // A transfer left half done (stopped by a breakpoint) must not go on into
  // the new run's memory; the channels latch afresh from the cleared registers.
  for (u32& units : dma_.remaining) units = 0;
  cpu_.reset();
}

bool Emulator::loadRom(const std::string& name) {
  reset();
  bool ok = memory_.loadRom(name);
  romName_ = name;
  return ok;
}

bool Emulator::loadRom(const FixedIString& name) {
  std::string narrow;
  for (u32 i = 0; i < name.length(); ++i) narrow.push_back(char(name[i] & 0xFF));
  return loadRom(narrow);
}

void Emulator::runSlice() {
  // A forward run after a backward one drops the undone future first.
  history_.resumeForward();
  if (runDma(0) != 0) cpu_.run();
}

void Emulator::stepBack() {
  cpu_.stepBack();
}

uint32_t Emulator::runDma(uint32_t timing) {
  DmaClock clock{&gVideoCycles, &gCycleBudget, &gCycleCount, &gRunStatus, &gStopMask};
  return dma_.run(timing, *this, clock);
}

uint32_t Emulator::runTimers(uint32_t cycles) { return cpu_.timers().run(reinterpret_cast<uint8_t*>(arena_.get()), cycles); }

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

void Emulator::writeLocation(uint32_t location, uint32_t value) {
  if (location < sizeof(Arena) - 3 && location > 4) *arena_->word(location) = value;
  else CHECK(false);  // not a location of this emulator
}

void Emulator::afterBackwardSlice() {
  // The IF copy follows the restored register; the timer routine the
  // restored control words.
  cpu_.interruptFlags = memory_.peek16(0x04000202);
  cpu_.buildTimerCode();
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
