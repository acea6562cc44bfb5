#include "core/history.h"

void History::clear() {
  for (uint32_t i = 0; i < kHistoryWords; ++i) ring_[i] = kRecordEmpty;
  cursor_ = kNoCursor;
}

void History::push(uint32_t first, uint32_t second) {
  uint32_t w = *writeIndex_ & kHistoryMask & ~1u;
  ring_[w] = first;
  ring_[w + 1] = second;
  *writeIndex_ = (w + 2) & kHistoryMask;
}

bool History::stepBack(uint32_t& first, uint32_t& second) {
  uint32_t c = cursor_ == kNoCursor ? *writeIndex_ : cursor_;
  c = (c - 2) & kHistoryMask;
  if (c == *writeIndex_) return false;  // walked all the way round
  cursor_ = c;
  first = ring_[c];
  second = ring_[c + 1];
  return true;
}

bool History::stepForward(uint32_t& first, uint32_t& second) {
  if (cursor_ == kNoCursor) return false;
  first = ring_[cursor_];
  second = ring_[cursor_ + 1];
  cursor_ = (cursor_ + 2) & kHistoryMask;
  if (cursor_ == *writeIndex_) cursor_ = kNoCursor;
  return true;
}

void History::resumeForward() {
  if (cursor_ == kNoCursor) return;
  // The dropped records become empty, so a later walk all the way round
  // stops there instead of reading them as the oldest history.
  for (uint32_t w = cursor_; w != *writeIndex_; w = (w + 1) & kHistoryMask) ring_[w] = kRecordEmpty;
  *writeIndex_ = cursor_;
  cursor_ = kNoCursor;
}

void History::peekOlder(uint32_t& first, uint32_t& second) const {
  uint32_t c = ((cursor_ == kNoCursor ? *writeIndex_ : cursor_) - 2) & kHistoryMask;
  first = ring_[c];
  second = ring_[c + 1];
}
