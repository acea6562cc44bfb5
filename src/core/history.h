#pragma once
// The history journal: every change that running forward makes is journaled,
// value before change, into one ring of two-word records, with a record at
// the end of every instruction.  Running backwards undoes the ring
// instruction by instruction.
//
// Records by first word: 0 end of an instruction (second word cost << 20,
// bit 0 set on the partial exits of LDM/STM), 1 load at a guest address,
// 2 store at a guest address, 3 DMA unit of a channel (the record written
// after it is {guest word address, old value}), 4 empty; anything else is a
// storage location (never 0-4) and its old content.

#include <cstdint>

inline constexpr uint32_t kHistoryWords = 16384;
inline constexpr uint32_t kHistoryMask = kHistoryWords - 1;
inline constexpr uint32_t kNoCursor = 0xFFFFFFFF;

enum HistoryRecord : uint32_t {
  kRecordEnd = 0,
  kRecordLoad = 1,
  kRecordStore = 2,
  kRecordDma = 3,
  kRecordEmpty = 4,
};
// Marks the end record of one transfer of a partly done LDM/STM, so that
// stepping back over it does not rewind the PC: the transfers share the
// instruction's address.
inline constexpr uint32_t kPartialEndMark = 0x1;

// The ring itself lives in the emulator's state, where generated code writes
// it; this works on it in place.
class History {
 public:
  History(uint32_t* ring, uint32_t* writeIndex) : ring_(ring), writeIndex_(writeIndex) {}

  void clear();  // every word = 4, cursor reset
  void push(uint32_t first, uint32_t second);
  bool canStepBack() const { return cursor_ != *writeIndex_; }
  bool stepBack(uint32_t& first, uint32_t& second);
  bool stepForward(uint32_t& first, uint32_t& second);
  // Before running forward after a backward run: the undone records are
  // dropped, so the ring never holds two futures.
  void resumeForward();
  // The record just older than the cursor's (or the write index's), without moving.
  void peekOlder(uint32_t& first, uint32_t& second) const;

  uint32_t cursor() const { return cursor_; }
  void setCursor(uint32_t c) { cursor_ = c; }
  uint32_t writeIndex() const { return *writeIndex_; }

 private:
  uint32_t* ring_;
  uint32_t* writeIndex_;
  uint32_t cursor_ = kNoCursor;
};
