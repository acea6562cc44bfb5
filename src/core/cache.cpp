// The translated-block cache: a fixed pool, an index sorted by guest address,
// a least-recently-used order for eviction, translation with its size
// limits, in-block branch linking and the flush.

#include <cstring>

#include "core/check.h"
#include "core/cpu.h"
#include "core/memory.h"

TranslatedBlock* ArmCpu::findBlock(u32 address, u32 key, u32& position, bool& keyMismatch) {
  keyMismatch = false;
  position = 0;
  if (blocksInUse_ == 0) return nullptr;
  u32 lo = 0, hi = blocksInUse_, mid = 0;
  TranslatedBlock* b = nullptr;
  for (;;) {
    mid = (lo + hi) / 2;
    b = index_[mid];
    if (b->start <= address && address < b->end) {
      keyMismatch = b->key != key;
      position = mid;
      return b;
    }
    if (mid == lo) break;
    if (address < b->start) hi = mid;
    else lo = mid;
  }
  position = address >= b->end ? mid + 1 : mid;
  return nullptr;
}

TranslatedBlock* ArmCpu::getBlock(u32 address) {
  const u32 key = cpsr() & 63;
  const u32 size = instructionSize();
  u32 position = 0;
  bool mismatch = false;
  TranslatedBlock* b = findBlock(address, key, position, mismatch);
  if (b && !mismatch) return b;
  if (!b) {
    if (blocksInUse_ < kBlockCount) {
      b = index_[blocksInUse_];
      std::memmove(&index_[position + 1], &index_[position], (blocksInUse_ - position) * sizeof index_[0]);
      index_[position] = b;
      ++blocksInUse_;
    } else if constexpr (variant::kOlder) {
      // The older build translates a fixed fallback block again for every
      // further address instead of evicting; it sits outside the index.
      static_assert(kBlockCount > 0);
      b = &fallback_;
      translateBlock(b, key, address, size);
      linkBlock(b);
      return b;
    } else {
      // Evict the least recently used block and re-insert it where the new
      // address belongs, so the index stays sorted.
      b = lru_[0];
      u32 i = 0;
      while (i < blocksInUse_ && index_[i] != b) ++i;
      CHECK(i < blocksInUse_);
      std::memmove(&index_[i], &index_[i + 1], (blocksInUse_ - i - 1) * sizeof index_[0]);
      --blocksInUse_;
      b->key = kEmptyKey;
      TranslatedBlock* found = findBlock(address, key, position, mismatch);
      CHECK(found == nullptr);
      std::memmove(&index_[position + 1], &index_[position], (blocksInUse_ - position) * sizeof index_[0]);
      index_[position] = b;
      ++blocksInUse_;
    }
  }
  translateBlock(b, key, address, size);
  dropOverlappedBlock(b, position);
  linkBlock(b);
  return b;
}

void ArmCpu::dropOverlappedBlock(TranslatedBlock* b, u32 position) {
  CHECK(index_[position] == b);
  // Every following block the new one reaches into leaves the index and
  // becomes the first free record.
  while (position + 1 < blocksInUse_ && b->end >= index_[position + 1]->start) {
    TranslatedBlock* next = index_[position + 1];
    next->key = kEmptyKey;
    std::memmove(&index_[position + 1], &index_[position + 2], (blocksInUse_ - position - 2) * sizeof index_[0]);
    --blocksInUse_;
    index_[blocksInUse_] = next;
  }
}

void ArmCpu::translateBlock(TranslatedBlock* b, u32 key, u32 address, u32 size) {
  CodeEmitter& e = *emitter_;
  e.begin();
  b->key = key;
  b->start = address;
  b->probes = 0;
  const TrapMap& traps = memory_.trapMap();
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
    if (e.offset() > kLimit) {
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
    address += size;
  }
  b->end = address;
  // Nothing falls off the end, whatever the stop mask.
  e.mov(e.dword[e.rbx + arena::kRegisters + 60], address);
  e.mov(e.eax, kStatusBase | 0x10000);
  e.ret();
  b->codeSize = e.offset();
  CHECK(b->codeSize <= kBlockCodeLimit);
  if (b->codeSize > kBlockCodeLimit) b->codeSize = kBlockCodeLimit;
  code_.makeWritable(b->code, kBlockCodeLimit);
  std::memcpy(b->code, staging_.get(), b->codeSize);
  code_.makeExecutable(b->code, kBlockCodeLimit);
}

void ArmCpu::linkBlock(TranslatedBlock* b) {
  CodeEmitter& e = *emitter_;
  const u32 size = (b->key & 0x20) ? 2 : 4;
  bool any = false;
  for (const BranchLink& l : e.links) {
    if (l.slotOffset + 5 > b->codeSize) continue;
    if (l.target < b->start || l.target >= b->end || (l.target - b->start) % size) continue;
    if (!any) code_.makeWritable(b->code, kBlockCodeLimit);
    any = true;
    u32 target = b->codeOffsets[(l.target - b->start) / size];
    i32 rel = i32(target) - i32(l.slotOffset) - 5;
    b->code[l.slotOffset] = 0xE9;
    std::memcpy(&b->code[l.slotOffset + 1], &rel, 4);
    for (u32 at : {l.statusOffset, l.testOffset}) {
      u32 v;
      std::memcpy(&v, &b->code[at], 4);
      v &= ~0x8000u;
      std::memcpy(&b->code[at], &v, 4);
    }
  }
  if (any) code_.makeExecutable(b->code, kBlockCodeLimit);
  e.links.clear();
}

void ArmCpu::touchBlock(TranslatedBlock* b) {
  u32 p = b->lruPosition;
  if (b == &fallback_) return;
  for (u32 i = p; i + 1 < kBlockCount; ++i) {
    lru_[i] = lru_[i + 1];
    lru_[i]->lruPosition = i;
  }
  lru_[kBlockCount - 1] = b;
  b->lruPosition = kBlockCount - 1;
}

void ArmCpu::flushBlocks() {
  for (u32 i = 0; i < kBlockCount; ++i) {
    lru_[i] = &pool_[i];
    index_[i] = &pool_[i];
    pool_[i].lruPosition = i;
    pool_[i].key = kEmptyKey;
  }
  fallback_.key = kEmptyKey;
  blocksInUse_ = 0;
}
