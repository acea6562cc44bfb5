// The tracked allocator: every live block has a header in front of it that
// links it into the list of outstanding blocks.  Whether a block is live is
// decided from a table of live addresses, never from the block itself, so a
// second release never reads memory that was already given back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "general/base.h"

namespace {

struct alignas(16) BlockHeader {
  BlockHeader* next;  // newer blocks come first
  BlockHeader* prev;
  const char* file;
  i32 line;
  std::size_t bytes;
  std::size_t count;
};
static_assert(sizeof(BlockHeader) % 16 == 0);

// Open-addressing table from block address to where it was allocated.
// Linear probing with backward-shift deletion; key 0 means empty.
struct Slot {
  std::uintptr_t key;
  const char* file;
  i32 line;
};

struct AddressTable {
  Slot* slots;
  std::size_t capacity;  // a power of two, or 0
  std::size_t used;
};

std::size_t hashAddress(std::uintptr_t key, std::size_t capacity) {
  u64 h = static_cast<u64>(key) >> 4;
  h *= 0x9E3779B97F4A7C15ull;
  return static_cast<std::size_t>(h >> 17) & (capacity - 1);
}

Slot* findSlot(AddressTable& t, std::uintptr_t key) {
  if (t.capacity == 0) return nullptr;
  for (std::size_t i = hashAddress(key, t.capacity);; i = (i + 1) & (t.capacity - 1)) {
    if (t.slots[i].key == key) return &t.slots[i];
    if (t.slots[i].key == 0) return nullptr;
  }
}

void insertRaw(AddressTable& t, const Slot& s) {
  std::size_t i = hashAddress(s.key, t.capacity);
  while (t.slots[i].key != 0) i = (i + 1) & (t.capacity - 1);
  t.slots[i] = s;
  ++t.used;
}

[[noreturn]] void outOfMemory(std::size_t bytes) {
  dbgPrintf("Out of memory allocating %zx bytes.\n", bytes);
  std::fprintf(stderr, "Out of memory allocating %zx bytes.\n", bytes);
  std::abort();
}

void growTable(AddressTable& t) {
  std::size_t capacity = t.capacity ? t.capacity * 2 : 1024;
  Slot* old = t.slots;
  std::size_t oldCapacity = t.capacity;
  t.slots = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
  if (!t.slots) outOfMemory(capacity * sizeof(Slot));
  t.capacity = capacity;
  t.used = 0;
  for (std::size_t i = 0; i < oldCapacity; ++i)
    if (old[i].key) insertRaw(t, old[i]);
  std::free(old);
}

void insert(AddressTable& t, std::uintptr_t key, const char* file, i32 line) {
  if (Slot* s = findSlot(t, key)) {
    s->file = file;
    s->line = line;
    return;
  }
  if ((t.used + 1) * 4 > t.capacity * 3) growTable(t);
  insertRaw(t, Slot{key, file, line});
}

void erase(AddressTable& t, Slot* s) {
  std::size_t mask = t.capacity - 1;
  std::size_t hole = static_cast<std::size_t>(s - t.slots);
  t.slots[hole].key = 0;
  --t.used;
  for (std::size_t i = (hole + 1) & mask; t.slots[i].key != 0; i = (i + 1) & mask) {
    std::size_t home = hashAddress(t.slots[i].key, t.capacity);
    // Move the entry back into the hole unless its home lies cyclically in (hole, i].
    bool stays = hole < i ? (home > hole && home <= i) : (home > hole || home <= i);
    if (!stays) {
      t.slots[hole] = t.slots[i];
      t.slots[i].key = 0;
      hole = i;
    }
  }
}

void clearTable(AddressTable& t) {
  if (t.capacity) std::memset(t.slots, 0, t.capacity * sizeof(Slot));
  t.used = 0;
}

// Released addresses are remembered until the heap hands them out again;
// past this many the memory is dropped (a later second release is then
// reported as a release of an unknown block).
constexpr std::size_t kMaxRemembered = std::size_t(1) << 16;

// Constant-initialised: tracked blocks are allocated from static initialisers.
BlockHeader* gAllocations = nullptr;
AddressTable gLiveBlocks = {};
AddressTable gReleasedBlocks = {};
std::size_t gAllocatedBytes = 0;
std::size_t gPeakAllocatedBytes = 0;

BlockHeader* headerOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

}  // namespace

namespace tracked {

void* allocateBlock(std::size_t elementSize, std::size_t count, const char* file, int line) {
  if (elementSize && count > (SIZE_MAX - sizeof(BlockHeader)) / elementSize) outOfMemory(SIZE_MAX);
  std::size_t bytes = elementSize * count;
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
  if (!header) outOfMemory(bytes);
  header->file = file;
  header->line = line;
  header->bytes = bytes;
  header->count = count;
  header->prev = nullptr;
  header->next = gAllocations;
  if (gAllocations) gAllocations->prev = header;
  gAllocations = header;

  void* block = header + 1;
  auto key = reinterpret_cast<std::uintptr_t>(block);
  if (Slot* s = findSlot(gReleasedBlocks, key)) erase(gReleasedBlocks, s);
  insert(gLiveBlocks, key, file, line);

  gAllocatedBytes += bytes;
  if (gAllocatedBytes > gPeakAllocatedBytes) gPeakAllocatedBytes = gAllocatedBytes;
  return block;
}

bool releaseBlock(void* block, std::size_t& count) {
  auto key = reinterpret_cast<std::uintptr_t>(block);
  Slot* live = findSlot(gLiveBlocks, key);
  if (!live) {
    if (Slot* released = findSlot(gReleasedBlocks, key)) {
      char module[256];
      moduleName(released->file, module, sizeof module);
      dbgPrintf("Duplicate deallocation for block at %s, line %d.\n", module, released->line);
    } else {
      CHECK(!"release of a block the allocator never handed out");
    }
    return false;
  }
  const char* file = live->file;
  i32 line = live->line;
  erase(gLiveBlocks, live);
  if (gReleasedBlocks.used >= kMaxRemembered) clearTable(gReleasedBlocks);
  insert(gReleasedBlocks, key, file, line);

  BlockHeader* header = headerOf(block);
  if (header->prev)
    header->prev->next = header->next;
  else
    gAllocations = header->next;
  if (header->next) header->next->prev = header->prev;
  gAllocatedBytes -= header->bytes;
  count = header->count;
  return true;
}

void freeBlockStorage(void* block) { std::free(headerOf(block)); }

}  // namespace tracked

void dumpOutstandingAllocations() {
  dbgPrintf("===Outstanding memory allocations:\n");
  // Logging allocates (and frees) a message record at the head of the list,
  // so the walk takes each record's successor before it prints.
  std::size_t total = 0;
  char module[256];
  for (BlockHeader* h = gAllocations; h;) {
    BlockHeader* next = h->next;
    total += h->bytes;
    moduleName(h->file, module, sizeof module);
    dbgPrintf("------%zx bytes from %s, line %d.\n", h->bytes, module, h->line);
    h = next;
  }
  dbgPrintf("------ Total outstanding memory:  %zx.\n", total);
  dbgPrintf("------ Max allocated at an instant:  %zx.\n", gPeakAllocatedBytes);
  dbgPrintf("===End of memory dump.\n");
}

std::size_t allocatedBytes() { return gAllocatedBytes; }
std::size_t peakAllocatedBytes() { return gPeakAllocatedBytes; }
