#include "core/history.h"

void History::clear() {
  account();
  cursor_ = kNoCursor;
  held_ = 0;
  wrapped_ = false;
}

void History::push(uint32_t first, uint32_t second) {
  uint32_t w = *writeIndex_ & mask_ & ~1u;
  ring_[w] = first;
  ring_[w + 1] = second;
  *writeIndex_ = (w + 2) & mask_;
  account();
  if (first == kRecordDma) {
    dmaChunks_[w >> kChunkShift] = 1;
    if ((w >> kChunkShift) == (*writeIndex_ >> kChunkShift)) dmaInThisChunk_ = true;
  }
}

void History::accountChunks(uint32_t added) {
  const uint32_t from = (seenIndex_ & mask_) >> kChunkShift, to = (*writeIndex_ & mask_) >> kChunkShift;
  if (added > mask_ - kChunkMask) {
    // Round the ring, with no DMA unit: only the words between the new
    // write position and the old one are older, in the chunks of the two.
    const uint8_t keepFrom = dmaChunks_[from] | uint8_t(dmaInThisChunk_), keepTo = dmaChunks_[to] | keepFrom;
    dmaChunks_.assign(dmaChunks_.size(), 0);
    dmaChunks_[from] = keepFrom;
    dmaChunks_[to] = keepTo;
    dmaInThisChunk_ = keepTo != 0;
  } else if (from != to) {
    dmaChunks_[from] = dmaInThisChunk_;
    const uint32_t chunks = (mask_ >> kChunkShift) + 1;
    for (uint32_t c = (from + 1) % chunks; c != to; c = (c + 1) % chunks) dmaChunks_[c] = 0;
    dmaInThisChunk_ = false;
  }
}

bool History::stepBack(uint32_t& first, uint32_t& second) {
  const uint32_t c = cursorOrHead();
  if (older(c) == 0) return false;
  cursor_ = before(c);
  first = ring_[cursor_];
  second = ring_[cursor_ + 1];
  return true;
}

bool History::stepForward(uint32_t& first, uint32_t& second) {
  if (cursor_ == kNoCursor) return false;
  first = ring_[cursor_];
  second = ring_[cursor_ + 1];
  cursor_ = (cursor_ + 2) & mask_;
  if (cursor_ == *writeIndex_) cursor_ = kNoCursor;
  return true;
}

void History::resumeForward() {
  if (cursor_ == kNoCursor) return;
  account();
  held_ -= (*writeIndex_ - cursor_) & mask_;
  *writeIndex_ = cursor_;
  seenIndex_ = cursor_;
  // What the chunk holds below the cursor is history still.
  dmaInThisChunk_ = dmaChunks_[cursor_ >> kChunkShift];
  cursor_ = kNoCursor;
}
