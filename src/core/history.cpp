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
}

void History::account() {
  const uint32_t added = (*writeIndex_ - seenIndex_) & mask_;
  seenIndex_ = *writeIndex_;
  // One record is always kept free, so that a cursor walking back never
  // meets the write index again.
  const uint32_t limit = mask_ + 1 - 2;
  if (added > limit - held_) {
    held_ = limit;
    wrapped_ = true;
  } else {
    held_ += added;
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
  cursor_ = kNoCursor;
}
