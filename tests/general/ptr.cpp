// Checked arrays, owner pointers and the collector.
#include "general/ptr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/logcapture.h"

namespace {

using testsupport::LogCapture;

// An element that notices being copied from a destroyed object, which is what
// reading released storage looks like.
struct Canary {
  static constexpr u32 kAlive = 0xA11CE;
  static constexpr u32 kDead = 0xDEAD;
  static inline int staleReads = 0;
  u32 state = kAlive;
  int value = 0;
  Canary() = default;
  explicit Canary(int v) : value(v) {}
  Canary(const Canary& o) : value(o.value) { note(o); }
  Canary& operator=(const Canary& o) {
    note(o);
    value = o.value;
    return *this;
  }
  ~Canary() { state = kDead; }
  bool operator==(const Canary& o) const { return value == o.value; }
  static void note(const Canary& o) {
    if (o.state != kAlive) ++staleReads;
  }
};

std::vector<int> values(const Array<Canary>& a) {
  std::vector<int> v;
  for (const Canary& c : a) v.push_back(c.value);
  return v;
}

TEST(Array, GrowthDoublesAndKeepsAFreeSlot) {
  Array<u32> a;
  EXPECT_EQ(a.capacity(), 1u);
  std::vector<u32> capacities;
  for (u32 i = 0; i < 4; ++i) {
    a.append(i * 10);
    capacities.push_back(a.capacity());
  }
  EXPECT_EQ(capacities, (std::vector<u32>{2, 4, 4, 8}));
  EXPECT_EQ(a.at(3), 30u);

  Array<u32> b;
  b.appendArray(a);  // 4 elements into capacity 1
  EXPECT_EQ(b.capacity(), 4u);
  Array<u32> three;
  for (u32 i = 0; i < 3; ++i) three.append(i);
  Array<u32> c;
  c.appendArray(three);
  EXPECT_EQ(c.capacity(), 4u);
  EXPECT_EQ(c.count(), 3u);

  Array<u32> copy;
  copy.copyFrom(a);
  EXPECT_EQ(copy.capacity(), 8u);
  EXPECT_EQ(copy.count(), 4u);
  EXPECT_EQ(copy.at(2), 20u);

  a.clear();
  EXPECT_EQ(a.count(), 0u);
  EXPECT_EQ(a.capacity(), 1u);
}

TEST(Array, RemoveAndAddUnique) {
  Array<int> a;
  for (int v : {5, 6, 7, 6}) a.append(v);
  a.remove(9);
  EXPECT_EQ(a.count(), 4u);
  a.remove(6);
  ASSERT_EQ(a.count(), 3u);
  EXPECT_EQ(a.at(0), 5);
  EXPECT_EQ(a.at(1), 7);
  EXPECT_EQ(a.at(2), 6);
  a.addUnique(7);
  a.addUnique(8);
  EXPECT_EQ(a.count(), 4u);
  EXPECT_EQ(a.at(3), 8);
}

// Appending an element of the array itself, or the array to itself, at the
// moment the storage moves.
TEST(Array, AliasingAppendsNeverReadReleasedStorage) {
  Canary::staleReads = 0;
  for (int n = 1; n <= 9; ++n) {
    Array<Canary> a;
    for (int i = 0; i < n; ++i) a.append(Canary(i));
    a.append(a.at(0));
    a.append(a.at(a.count() - 1));
    a.addUnique(a.at(1 % a.count()));
    std::vector<int> want;
    for (int i = 0; i < n; ++i) want.push_back(i);
    want.push_back(0);
    want.push_back(0);
    EXPECT_EQ(values(a), want) << n;

    Array<Canary> s;
    for (int i = 0; i < n; ++i) s.append(Canary(i));
    s.appendArray(s);
    std::vector<int> twice;
    for (int r = 0; r < 2; ++r)
      for (int i = 0; i < n; ++i) twice.push_back(i);
    EXPECT_EQ(values(s), twice) << n;

    s = s;
    s.assign(s);
    EXPECT_EQ(values(s), twice) << n;
    s.remove(s.at(0));
    EXPECT_EQ(s.count(), 2u * n - 1) << n;
  }
  EXPECT_EQ(Canary::staleReads, 0);
}

// A failed access is reported and yields an element that belongs to no one:
// writing through it changes nothing that can be read back.
TEST(Containers, FailedAccessStaysHarmless) {
  struct Case {
    const char* what;
    u32 count;
  } cases[] = {{"empty", 0}, {"one", 1}, {"three", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Array<u32> a;
    SizedArray<u32> sized;
    sized.resize(c.count, __FILE__, __LINE__);
    for (u32 i = 0; i < c.count; ++i) {
      a.append(i + 1);
      sized.at(i) = i + 1;
    }
    BoundedPtr<u32> view(c.count, sized.data());

    LogCapture log;
    a.at(c.count) = 99;
    a.at(1000) = 99;
    sized.at(c.count) = 99;
    view.at(c.count + 5) = 99;
    EXPECT_EQ(a.atConst(c.count), 0u);
    EXPECT_EQ(sized.at(c.count), 0u);
    EXPECT_EQ(view.at(c.count), 0u);
    for (u32 i = 0; i < c.count; ++i) {
      EXPECT_EQ(a.at(i), i + 1);
      EXPECT_EQ(sized.at(i), i + 1);
    }
    EXPECT_EQ(a.count(), c.count);
    std::string text = log.text();
    std::size_t failures = 0;
    for (std::size_t p = 0; (p = text.find("CHECK failure, file general/ptr, line ", p)) != std::string::npos; ++p)
      ++failures;
    EXPECT_EQ(failures, 7u) << text;
  }

  FixedArray<u16, 4> fixed;
  for (u32 i = 0; i < 4; ++i) fixed.at(i) = static_cast<u16>(i + 1);
  LogCapture log;
  fixed.at(4) = 77;
  EXPECT_EQ(fixed.at(7), 0u);
  for (u32 i = 0; i < 4; ++i) EXPECT_EQ(fixed.at(i), i + 1);
  EXPECT_NE(log.text().find("CHECK failure, file general/ptr"), std::string::npos);
}

TEST(SizedArray, ResizeKeepsOnlyWhenTheCountIsTheSame) {
  SizedArray<int> s;
  s.resize(3, __FILE__, __LINE__);
  s.at(1) = 42;
  s.resize(3, __FILE__, __LINE__);
  EXPECT_EQ(s.at(1), 42);
  s.resize(4, __FILE__, __LINE__);
  EXPECT_EQ(s.count(), 4u);
  EXPECT_EQ(s.at(1), 0);

  Array<int> a;
  for (int v : {1, 2, 3}) a.append(v);
  SizedArray<int> fromArray(a);
  EXPECT_EQ(fromArray.count(), 3u);
  EXPECT_EQ(fromArray.at(2), 3);
  SizedArray<int> copy(fromArray);
  copy = copy;
  EXPECT_EQ(copy.at(0), 1);
}

TEST(FixedArray, CopyFromStopsAtTheEnd) {
  FixedArray<int, 4> f;
  Array<int> a;
  for (int v : {1, 2, 3}) a.append(v);
  f.copyFrom(a, 1);
  EXPECT_EQ(f.at(0), 0);
  EXPECT_EQ(f.at(3), 3);
  LogCapture log;
  f.copyFrom(a, 2);  // one element too many: reported, the rest copied
  EXPECT_EQ(f.at(2), 1);
  EXPECT_EQ(f.at(3), 2);
  f.copyFrom(a, 9);
  EXPECT_NE(log.text().find("CHECK failure, file general/ptr"), std::string::npos);
}

struct Tracked {
  static inline int destroyed = 0;
  int id;
};

void destroyTracked(void* p) {
  ++Tracked::destroyed;
  static_cast<Tracked*>(p)->~Tracked();
}

Tracked* makeTracked(int id) {
  void* p = std::malloc(sizeof(Tracked));
  return new (p) Tracked{id};
}

TEST(Collector, SweepQuotaAndRoots) {
  Tracked::destroyed = 0;
  {
    RootPtr<Tracked> keep;
    std::vector<RootPtr<Tracked>*> roots;
    for (int i = 0; i < 100; ++i) {
      Tracked* t = makeTracked(i);
      registerCollectable(t, destroyTracked);
      roots.push_back(new RootPtr<Tracked>(t));
    }
    EXPECT_EQ(collectorSweep(), 3u);  // 100 / 32
    EXPECT_EQ(Tracked::destroyed, 0);
    EXPECT_EQ(roots[5]->get()->id, 5);

    // Dropping a root moves the last root into its index.
    u32 index = roots[0]->index();
    u32 before = rootCount();
    delete roots[0];
    EXPECT_EQ(rootCount(), before - 1);
    EXPECT_EQ(roots[99]->index(), index);
    for (int i = 1; i < 100; ++i) delete roots[i];

    // Every unrooted object goes within enough sweeps.
    for (int sweep = 0; sweep < 200 && collectableCount() > 0; ++sweep) collectorSweep();
    EXPECT_EQ(collectableCount(), 0u);
    EXPECT_EQ(Tracked::destroyed, 100);
  }

  Tracked::destroyed = 0;
  RootPtr<Tracked> held;
  std::vector<RootPtr<Tracked>*> roots;
  for (int i = 0; i < 20; ++i) {
    Tracked* t = makeTracked(i);
    registerCollectable(t, destroyTracked);
    roots.push_back(new RootPtr<Tracked>(t));
    if (i == 7) held = t;
  }
  EXPECT_EQ(collectorSweep(), 20u);  // fewer than 32: the whole list
  for (RootPtr<Tracked>* r : roots) delete r;
  for (int sweep = 0; sweep < 10; ++sweep) collectorSweep();
  EXPECT_EQ(collectableCount(), 1u);
  EXPECT_EQ(Tracked::destroyed, 19);
  EXPECT_EQ(held->id, 7);
  held = nullptr;
  collectorSweep();
  EXPECT_EQ(collectableCount(), 0u);
}

TEST(Collector, NullDereferenceIsReported) {
  RootPtr<Tracked> empty;
  LogCapture log;
  Tracked& t = *empty;
  t.id = 3;
  EXPECT_EQ(empty->id, 0);
  EXPECT_NE(log.text().find("CHECK failure, file general/ptr"), std::string::npos);
}

}  // namespace
