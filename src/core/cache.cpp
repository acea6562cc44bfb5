// The translated-block cache: a fixed pool, an index sorted by key and guest
// address, eviction of the least recently entered block, translation with
// its size limits, links of branches inside a block and between blocks,
// write traps on the guest words that hold translated code, and the flush.

#include <algorithm>
#include <cstring>

#include "core/armdecode.h"
#include "core/breakpt.h"
#include "core/check.h"
#include "core/cpu.h"
#include "core/memory.h"

namespace {

// Index order: key first, then start.
u64 order(u32 key, u32 address) { return u64(key) << 32 | address; }

// The bytes of an unlinked exit slot: a return, then room for a near jump.
constexpr u8 kUnlinkedSlot[5] = {0xC3, 0x90, 0x90, 0x90, 0x90};

void setTakenBit(u8* code, u32 at, bool taken) {
  u32 v;
  std::memcpy(&v, code + at, 4);
  v = taken ? v | 0x8000u : v & ~0x8000u;
  std::memcpy(code + at, &v, 4);
}

// Guest regions whose code a store or DMA may overwrite.
bool writableCode(u32 address) {
  switch (address >> 24) {
    case 2: case 3: case 5: case 6: case 7: return true;
    default: return false;
  }
}

}  // namespace

TranslatedBlock* ArmCpu::findBlock(u32 address, u32 key, u32& position) const {
  // The first entry ordered after (key, address); the one before it is the
  // only block of the key that can hold the address.
  const u64 target = order(key, address);
  u32 lo = 0, hi = blocksInUse_;
  while (lo < hi) {
    const u32 mid = (lo + hi) / 2;
    if (order(index_[mid]->key, index_[mid]->start) <= target) lo = mid + 1;
    else hi = mid;
  }
  position = lo;
  if (lo == 0) return nullptr;
  TranslatedBlock* b = index_[lo - 1];
  return b->key == key && address < b->end ? b : nullptr;
}

TranslatedBlock* ArmCpu::oldestBlock() const {
  TranslatedBlock* oldest = nullptr;
  for (u32 i = 0; i < blocksInUse_; ++i)
    if (!oldest || index_[i]->lastEntered < oldest->lastEntered) oldest = index_[i];
  return oldest;
}

TranslatedBlock* ArmCpu::getBlock(u32 address) {
  const u32 key = blockKey();
  const u32 size = instructionSize();
  u32 position = 0;
  if (TranslatedBlock* b = findBlock(address, key, position)) return b;
  if (!variant::kOlder && codeUsed_ + kBlockCodeLimit > kPackedCodeBytes) {
    flushBlocks();
    position = 0;
  }
  TranslatedBlock* b;
  if (blocksInUse_ < kBlockCount) {
    b = index_[blocksInUse_];
  } else if constexpr (variant::kOlder) {
    // The older build translates a fixed fallback block again for every
    // further address instead of evicting; it sits outside the index and is
    // never linked.
    b = &fallback_;
    translateBlock(b, key, address, size);
    b->exits.clear();
    installBlock(b);
    return b;
  } else {
    releaseBlock(oldestBlock());
    b = index_[blocksInUse_];
    findBlock(address, key, position);
  }
  std::memmove(&index_[position + 1], &index_[position], (blocksInUse_ - position) * sizeof index_[0]);
  index_[position] = b;
  ++blocksInUse_;
  translateBlock(b, key, address, size);
  if constexpr (variant::kOlder) {
    b->code = code_.data() + size_t(b - pool_.data()) * kBlockCodeLimit;  // each record its own slot
  } else {
    b->code = code_.data() + codeUsed_;
    codeUsed_ += (b->codeSize + 63) & ~size_t(63);  // blocks start on cache lines
  }
  dropOverlappedBlocks(b, position);
  installBlock(b);
  return b;
}

void ArmCpu::dropOverlappedBlocks(TranslatedBlock* b, u32 position) {
  CHECK(index_[position] == b);
  // Every following block of the same key the new one reaches into goes.
  while (position + 1 < blocksInUse_ && index_[position + 1]->key == b->key &&
         b->end > index_[position + 1]->start)
    releaseBlock(index_[position + 1]);
}

void ArmCpu::releaseBlock(TranslatedBlock* b) {
  forgetRecent();
  // Dispatch entries into it go.
  for (DispatchEntry& d : arena_.dispatch)
    if (d.host - reinterpret_cast<u64>(b->code) < b->codeSize) d = DispatchEntry{0, kEmptyKey, 0};
  // Links into it go back to plain exits; its own links leave their targets.
  unlinkIncoming({&b, 1});
  for (u32 e = 0; e < b->exits.size(); ++e) {
    if (TranslatedBlock* to = b->exits[e].to)
      std::erase_if(to->incoming, [&](const auto& in) { return in.first == b && in.second == e; });
  }
  b->exits.clear();
  markCode(b, false);
  b->key = kEmptyKey;
  u32 i = 0;
  while (i < blocksInUse_ && index_[i] != b) ++i;
  if (!CHECK(i < blocksInUse_)) return;
  std::memmove(&index_[i], &index_[i + 1], (blocksInUse_ - i - 1) * sizeof index_[0]);
  --blocksInUse_;
  index_[blocksInUse_] = b;
}

void ArmCpu::unlinkIncoming(std::span<TranslatedBlock* const> blocks) {
  CodeBuffer::Writes writes(code_);
  for (const TranslatedBlock* b : blocks)
    for (auto [from, exit] : b->incoming) writes.add(from->code, from->codeSize);
  writes.open();
  for (TranslatedBlock* b : blocks) {
    for (auto [from, exit] : b->incoming) patchExit(from, exit, nullptr, from->code);
    b->incoming.clear();
  }
}

void ArmCpu::translateBlock(TranslatedBlock* b, u32 key, u32 address, u32 size) {
  CodeEmitter& e = *emitter_;
  e.begin();
  e.timerCalls = (key & kTimerCallsKey) != 0;
  e.blockKey = key;
  b->key = key;
  b->start = address;
  b->probes = 0;
  b->lastEntered = ++entries_;
  const TrapMap& traps = memory_.trapMap();
  const bool thumb = key & 0x20;
  // Room kept for the closing exit behind the last instruction.
  constexpr u32 kLimit = kBlockCodeLimit - 32;
  for (u32 i = 0; i < kBlockInstructions; ++i) {
    b->codeOffsets[i] = u16(e.offset());
    e.instructionIndex = i;
    e.translationFlags = i == kBlockInstructions - 1 ? 0x10000 : 0;
    bool probe = testTrapBit(traps, 2, address);
    if (probe) b->probes |= u64(1) << i;
    translateInstruction(address, e);
    e.endInstruction();
    e.translationFlags = 0;
    if (e.offset() + e.pendingStubBytes() > kLimit) {
      if (i == 0) {
        // A single instruction that does not fit cannot occur with this
        // limit; leave at once rather than run past the block's memory.
        CHECK(false);
        e.rewind(0);
        e.links.clear();
        e.mov(e.dword[e.rbx + arena::kRegisters + 60], address);
        e.mov(e.eax, kStatusBase | 0x400 | 0x10000);
        e.ret();
        address += size;
        break;
      }
      // Withdraw it and translate the previous instruction again as the
      // block's last.
      u32 back = b->codeOffsets[i - 1];
      e.rewind(back);
      std::erase_if(e.links, [back](const BranchLink& l) { return l.slotOffset >= back; });
      b->probes &= ~(u64(1) << i);
      e.instructionIndex = i - 1;
      e.translationFlags = 0x10000;
      translateInstruction(address - size, e);
      e.endInstruction();
      e.translationFlags = 0;
      break;
    }
    // Control never falls through this one: the block ends behind it.
    const u32 op = thumb ? memory_.peek16(address) : memory_.peek32(address);
    address += size;
    if (thumb ? armdecode::thumbEndsBlock(op) : armdecode::armEndsBlock(op)) break;
  }
  b->end = address;
  // Nothing falls off the end, whatever the stop mask.
  e.mov(e.dword[e.rbx + arena::kRegisters + 60], address);
  e.mov(e.eax, kStatusBase | 0x10000);
  e.ret();
  e.emitExitStubs();
  b->codeSize = e.offset();
  CHECK(b->codeSize <= kBlockCodeLimit);
  if (b->codeSize > kBlockCodeLimit) b->codeSize = kBlockCodeLimit;
  // The branch exits: linked inside the block now, kept for linking between
  // blocks.
  const u32 step = thumb ? 2 : 4;
  u8* staging = staging_.get();
  b->exits.clear();
  for (const BranchLink& l : e.links) {
    if (l.slotOffset + 5 > b->codeSize || (l.target - b->start) % step) continue;
    if (l.target >= b->start && l.target < b->end) {
      const u32 target = b->codeOffsets[(l.target - b->start) / step];
      const i32 rel = i32(target) - i32(l.slotOffset) - 5;
      staging[l.slotOffset] = 0xE9;
      std::memcpy(&staging[l.slotOffset + 1], &rel, 4);
      setTakenBit(staging, l.statusOffset, false);
      setTakenBit(staging, l.testOffset, false);
    } else {
      b->exits.push_back({l.slotOffset, l.statusOffset, l.testOffset, l.target});
    }
  }
  e.links.clear();
}

void ArmCpu::patchExit(TranslatedBlock* from, u32 exit, TranslatedBlock* to, u8* code) {
  ExitLink& l = from->exits[exit];
  l.to = to;
  if (!to) {
    std::memcpy(code + l.slotOffset, kUnlinkedSlot, 5);
    setTakenBit(code, l.statusOffset, true);
    setTakenBit(code, l.testOffset, true);
    return;
  }
  const u32 step = (to->key & 0x20) ? 2 : 4;
  const u8* target = to->code + to->codeOffsets[(l.target - to->start) / step];
  const i64 rel = target - (from->code + l.slotOffset + 5);
  const i32 rel32 = i32(rel);
  code[l.slotOffset] = 0xE9;
  std::memcpy(code + l.slotOffset + 1, &rel32, 4);
  // The exit then leaves only on a stop condition, as inside a block.
  setTakenBit(code, l.statusOffset, false);
  setTakenBit(code, l.testOffset, false);
}

void ArmCpu::installBlock(TranslatedBlock* b) {
  u8* staging = staging_.get();
  const bool linkable = b != &fallback_;
  // Its exits to blocks already there.
  if (linkable) {
    for (u32 x = 0; x < b->exits.size(); ++x) {
      u32 position;
      if (TranslatedBlock* to = findBlock(b->exits[x].target, b->key, position)) {
        if ((b->exits[x].target - to->start) % ((to->key & 0x20) ? 2 : 4) || waitsForAWrite(to)) continue;
        patchExit(b, x, to, staging);
        to->incoming.push_back({b, x});
      }
    }
  }
  // And the exits of blocks already there into it: found first, so that they
  // and the block itself are written in one switch of the code's pages.
  CodeBuffer::Writes writes(code_);
  writes.add(b->code, b->codeSize);
  if (linkable) {
    for (u32 i = 0; i < blocksInUse_; ++i) {
      TranslatedBlock* from = index_[i];
      if (from == b || from->key != b->key) continue;
      bool added = false;
      for (u32 x = 0; x < from->exits.size(); ++x) {
        const ExitLink& l = from->exits[x];
        if (l.to || l.target < b->start || l.target >= b->end || (l.target - b->start) % ((b->key & 0x20) ? 2 : 4))
          continue;
        if (!added) writes.add(from->code, from->codeSize);
        added = true;
        b->incoming.push_back({from, x});
      }
    }
  }
  writes.open();
  std::memcpy(b->code, staging, b->codeSize);
  for (auto [from, x] : b->incoming) patchExit(from, x, b, from->code);  // a new block has no others
  writes.close();
  markCode(b, true);
}

bool ArmCpu::waitsForAWrite(const TranslatedBlock* b) const {
  for (const PendingWrite& w : pendingWrites_)
    if (w.address + 4 > b->start && w.address < b->end) return true;
  return false;
}

void ArmCpu::markCode(const TranslatedBlock* b, bool on) {
  if (!codeTraps || !writableCode(b->start)) return;
  // One trap per word; a word many blocks hold keeps its trap while one does.
  for (u32 a = b->start & ~3u; a < b->end; a += 4) {
    if (!on) {
      bool held = false;
      for (u32 i = 0; i < blocksInUse_ && !held; ++i) {
        const TranslatedBlock* o = index_[i];
        held = o != b && o->key != kEmptyKey && a + 4 > o->start && a < o->end;
      }
      if (held) continue;
    }
    codeTraps->markCode(a, on);
  }
}

void ArmCpu::codeWritten(u32 pc, u32 address) {
  address &= ~3u;
  // The processor has fetched the two instructions after the store: a write
  // to them is seen only once they have run.
  const u32 size = instructionSize();
  if (address + 4 > pc && address < pc + 2 * size) {
    pendingWrites_.push_back({address, pc, pc + 2 * size});
    // Until then its blocks are entered only from the run loop, which lets
    // them go as soon as the program has left those instructions.
    std::vector<TranslatedBlock*> holding;
    for (u32 i = 0; i < blocksInUse_; ++i) {
      TranslatedBlock* b = index_[i];
      if (address + 4 > b->start && address < b->end) holding.push_back(b);
    }
    unlinkIncoming(holding);
    return;
  }
  for (u32 i = blocksInUse_; i-- > 0;) {
    TranslatedBlock* b = index_[i];
    if (address + 4 > b->start && address < b->end) releaseBlock(b);
  }
  if (codeTraps) codeTraps->markCode(address, false);
}

void ArmCpu::settleCodeWrites() {
  if (pendingWrites_.empty()) return;
  const u32 pc = this->pc();
  std::vector<PendingWrite> writes;
  writes.swap(pendingWrites_);
  for (const PendingWrite& w : writes) {
    if (pc >= w.from && pc < w.to) pendingWrites_.push_back(w);
    else codeWritten(0, w.address);
  }
}

void ArmCpu::flushBlocks() {
  forgetRecent();
  for (DispatchEntry& d : arena_.dispatch) d = DispatchEntry{0, kEmptyKey, 0};
  for (u32 i = 0; i < kBlockCount; ++i) {
    index_[i] = &pool_[i];
    pool_[i].key = kEmptyKey;
    pool_[i].lastEntered = 0;
    pool_[i].exits.clear();
    pool_[i].incoming.clear();
  }
  fallback_.key = kEmptyKey;
  fallback_.exits.clear();
  blocksInUse_ = 0;
  entries_ = 0;
  codeUsed_ = 0;
  pendingWrites_.clear();
  if (codeTraps) codeTraps->clearCode();
}
