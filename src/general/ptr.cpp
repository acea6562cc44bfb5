// The collector: registered objects and the owner pointers that are its
// roots.  Both tables grow by 4096 entries at a time from the plain heap and
// are constant-initialised, since owner pointers are built before main.
#include "general/ptr.h"

#include <cstdlib>

namespace {

struct Collectable {
  void* object;
  void (*destroy)(void*);
};

constexpr u32 kTableStep = 4096;

Collectable* gCollectables = nullptr;
u32 gCollectableCount = 0;
RootBase** gRoots = nullptr;
u32 gRootCount = 0;
u32 gCollectorCursor = 0;

template <class E>
void growByStep(E*& table, u32 count) {
  if (count % kTableStep != 0) return;
  auto* grown = static_cast<E*>(std::realloc(table, (std::size_t(count) + kTableStep) * sizeof(E)));
  if (!grown) {
    std::fprintf(stderr, "Out of memory growing the collector's tables.\n");
    std::abort();
  }
  table = grown;
}

bool isRooted(void* object) {
  for (u32 i = 0; i < gRootCount; ++i)
    if (gRoots[i]->pointer == object) return true;
  return false;
}

}  // namespace

u32 addRoot(RootBase* root) {
  growByStep(gRoots, gRootCount);
  gRoots[gRootCount] = root;
  return gRootCount++;
}

void removeRoot(u32 index) {
  if (!CHECK(index < gRootCount)) return;
  --gRootCount;
  if (index != gRootCount) {
    gRoots[index] = gRoots[gRootCount];
    gRoots[index]->rootIndex = index;
  }
}

u32 rootCount() { return gRootCount; }

void registerCollectable(void* object, void (*destroy)(void*)) {
  CHECK(object != nullptr);
  growByStep(gCollectables, gCollectableCount);
  gCollectables[gCollectableCount++] = Collectable{object, destroy};
}

u32 collectableCount() { return gCollectableCount; }

u32 collectorSweep() {
  u32 quota = gCollectableCount / 32;
  if (quota == 0) quota = gCollectableCount;
  u32 visited = 0;
  while (quota > 0 && gCollectableCount > 0) {
    if (gCollectorCursor >= gCollectableCount) gCollectorCursor = 0;
    Collectable& entry = gCollectables[gCollectorCursor];
    ++visited;
    if (!isRooted(entry.object)) {
      Collectable dead = entry;
      entry = gCollectables[--gCollectableCount];
      if (dead.destroy) dead.destroy(dead.object);
      std::free(dead.object);
      // A removal uses up two visits of the quota.
      --quota;
      if (quota == 0) break;
    } else {
      ++gCollectorCursor;
    }
    --quota;
  }
  return visited;
}
