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
//
// The ring is not filled with empty records: it keeps count of how many of
// its words hold history, so a fresh or reset journal costs nothing and the
// oldest record is known without a walk.

#include <cstdint>
#include <vector>

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
// it; this works on it in place.  `words` is a power of two.
class History {
 public:
  History(uint32_t* ring, uint32_t* writeIndex, uint32_t words)
      : ring_(ring), writeIndex_(writeIndex), mask_(words - 1), dmaChunks_((words >> kChunkShift) + 1, 0) {}

  // Nothing to undo from here on; the write position stays.
  void clear();
  void push(uint32_t first, uint32_t second);
  // Takes in the records written since the last call (generated code writes
  // the ring without telling); called around every slice.  Within one chunk
  // of the ring nothing but the count of what is held changes.
  void account() {
    const uint32_t added = (*writeIndex_ - seenIndex_) & mask_;
    if (((seenIndex_ ^ *writeIndex_) & mask_) >> kChunkShift || added > mask_ - kChunkMask) accountChunks(added);
    seenIndex_ = *writeIndex_;
    hold(added);
  }
  bool canStepBack() const { return older(cursorOrHead()) != 0; }
  // Moves the cursor one record back and returns it; false when no older
  // record holds history.
  bool stepBack(uint32_t& first, uint32_t& second);
  // The record at the cursor, then the cursor moves one record forward
  // (none when it reaches the write index); false without a cursor.
  bool stepForward(uint32_t& first, uint32_t& second);
  // Before running forward after a backward run: the undone records are
  // dropped, so the ring never holds two futures.
  void resumeForward();

  // Raw access for the backward step: the position behind which the next
  // record to undo lies, the record before a position, and how many records
  // of history lie behind a position.
  uint32_t cursorOrHead() const { return cursor_ == kNoCursor ? *writeIndex_ : cursor_; }
  uint32_t before(uint32_t position) const { return (position - 2) & mask_; }
  uint32_t first(uint32_t position) const { return ring_[position]; }
  uint32_t second(uint32_t position) const { return ring_[position + 1]; }
  uint32_t older(uint32_t position) const { return held_ - ((*writeIndex_ - position) & mask_); }
  // Whether the oldest record is the first written since the last clear (the
  // ring never came round), so that what lies before it is the start of
  // history.
  bool holdsStart() const { return !wrapped_; }
  void setCursor(uint32_t c) { cursor_ = c == *writeIndex_ ? kNoCursor : c; }
  uint32_t cursor() const { return cursor_; }
  uint32_t writeIndex() const { return *writeIndex_; }
  uint32_t words() const { return mask_ + 1; }
  const uint32_t* ring() const { return ring_; }
  uint32_t mask() const { return mask_; }
  // How many words right behind a position are known to hold no DMA unit's
  // marker, so that reading back over them needs no look for one.  DMA
  // units are rare; the ring keeps, for each chunk of it, whether one may
  // be there.
  uint32_t wordsWithoutDma(uint32_t position) const {
    const uint32_t last = (position - 1) & mask_;
    return dmaChunks_[last >> kChunkShift] ? 0 : (last & kChunkMask) + 1;
  }

 private:
  uint32_t* ring_;
  uint32_t* writeIndex_;
  uint32_t mask_;
  uint32_t cursor_ = kNoCursor;
  uint32_t seenIndex_ = 0;  // the write index at the last account()
  uint32_t held_ = 0;       // words of history behind the write index
  bool wrapped_ = false;    // the oldest history was overwritten

  // The chunk bookkeeping of account() when the write index left its chunk.
  void accountChunks(uint32_t added);
  void hold(uint32_t added) {
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

  static constexpr uint32_t kChunkShift = 12;
  static constexpr uint32_t kChunkMask = (1u << kChunkShift) - 1;
  // Per chunk of the ring: whether a DMA marker may be in it.  A chunk the
  // write index left has exactly what was pushed since it entered; the one
  // it is in keeps what it had until then as well.
  std::vector<uint8_t> dmaChunks_;
  bool dmaInThisChunk_ = false;  // pushed since the write index entered its chunk
};
