// The tracked allocator: every live block has a header in front of it that
// links it into the list of outstanding blocks.  Whether a block is live is
// decided from a table of live addresses, never from the block itself, so a
// second release never reads memory that was already given back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

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

// The addresses of the live blocks, and where each released block had been
// allocated.  Both live on the plain heap, made on first use (blocks are
// allocated from static initialisers) and never destroyed (blocks are freed
// from static destructors).
struct Site {
  const char* file;
  i32 line;
};

std::unordered_set<std::uintptr_t>& liveBlocks() {
  static auto* table = new std::unordered_set<std::uintptr_t>;
  return *table;
}

std::unordered_map<std::uintptr_t, Site>& releasedBlocks() {
  static auto* table = new std::unordered_map<std::uintptr_t, Site>;
  return *table;
}

[[noreturn]] void outOfMemory(std::size_t bytes) {
  dbgPrintf("Out of memory allocating %zx bytes.\n", bytes);
  std::fprintf(stderr, "Out of memory allocating %zx bytes.\n", bytes);
  std::abort();
}

// Released addresses are remembered until the heap hands them out again;
// past this many the memory is dropped (a later second release is then
// reported as a release of an unknown block).
constexpr std::size_t kMaxRemembered = std::size_t(1) << 16;

// Constant-initialised: tracked blocks are allocated from static initialisers.
BlockHeader* gAllocations = nullptr;
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
  releasedBlocks().erase(key);
  liveBlocks().insert(key);

  gAllocatedBytes += bytes;
  if (gAllocatedBytes > gPeakAllocatedBytes) gPeakAllocatedBytes = gAllocatedBytes;
  return block;
}

bool releaseBlock(void* block, std::size_t& count) {
  auto key = reinterpret_cast<std::uintptr_t>(block);
  auto& released = releasedBlocks();
  if (liveBlocks().erase(key) == 0) {
    if (auto old = released.find(key); old != released.end()) {
      char module[256];
      moduleName(old->second.file, module, sizeof module);
      dbgPrintf("Duplicate deallocation for block at %s, line %d.\n", module, old->second.line);
    } else {
      CHECK(!"release of a block the allocator never handed out");
    }
    return false;
  }
  BlockHeader* header = headerOf(block);
  if (released.size() >= kMaxRemembered) released.clear();
  released[key] = Site{header->file, header->line};

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
