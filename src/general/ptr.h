#pragma once
// Checked containers and owner pointers: Array (growable), SizedArray (set
// size), FixedArray (in place), BoundedPtr (a non-owning view), RootPtr (a
// root of the collector), and the collector of registered objects.
//
// Every block comes from trackedAlloc.  Every element access is CHECKed; an
// access whose CHECK failed yields a harmless element that is no live element
// of the container (an Array's spare slot, else a scratch element), so bad
// indexes never reach memory outside the container.

#include <type_traits>
#include <utility>

#include "general/base.h"

namespace detail {
// The index check of every container (reported as general/ptr).
inline bool indexInRange(u32 i, u32 count) { return CHECK(i < count); }

// A default element handed out by failed accesses of containers without a
// spare slot.  Reset on every use, so a stray write never leaks back out.
template <class T>
T& scratchElement() {
  static T scratch{};
  scratch = T{};
  return scratch;
}
}  // namespace detail

// ---- Array ----------------------------------------------------------------

// A growable array: count, capacity (a power of two, starting at 1) and the
// elements.  When it has storage it always keeps at least one free slot.
template <class T>
class Array {
 public:
  Array() = default;
  Array(const Array& other) { copyFrom(other); }
  Array(Array&& other) noexcept
      : count_(std::exchange(other.count_, 0)),
        capacity_(std::exchange(other.capacity_, 1)),
        data_(std::exchange(other.data_, nullptr)) {}
  Array& operator=(const Array& other) {
    assign(other);
    return *this;
  }
  Array& operator=(Array&& other) noexcept {
    if (this != &other) {
      clear();
      count_ = std::exchange(other.count_, 0);
      capacity_ = std::exchange(other.capacity_, 1);
      data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
  }
  ~Array() { trackedFree(data_); }

  u32 count() const { return count_; }
  u32 capacity() const { return capacity_; }
  T* data() { return data_; }
  const T* data() const { return data_; }

  T& at(u32 i) {
    if (CHECK(i < count_)) [[likely]]
      return data_[i];
    return spare();
  }
  const T& atConst(u32 i) const { return const_cast<Array*>(this)->at(i); }
  const T& at(u32 i) const { return atConst(i); }
  T& operator[](u32 i) { return at(i); }
  const T& operator[](u32 i) const { return atConst(i); }

  void clear() {
    trackedFree(data_);
    count_ = 0;
    capacity_ = 1;
  }

  // The slot behind the last element; count grows by one.
  T& appendSlot() {
    if (count_ + 1 >= capacity_) {
      T* old = growTo(capacity_ * 2);
      trackedFree(old);
    }
    return data_[count_++];
  }

  // value may be an element of this array: it is copied before the old
  // storage goes.
  void append(const T& value) {
    if (count_ + 1 >= capacity_) {
      T* block = nullptr;
      trackedAlloc(block, capacity_ * 2, __FILE__, __LINE__);
      block[count_] = value;
      T* old = adopt(block, capacity_ * 2);
      ++count_;
      trackedFree(old);
      return;
    }
    data_[count_++] = value;
  }

  // other may be this array.
  void appendArray(const Array& other) {
    u32 n = other.count_;
    u32 newCount = count_ + n;
    T* old = nullptr;
    if (newCount >= capacity_) {
      u32 capacity = capacity_;
      do capacity *= 2;
      while (capacity < newCount);
      old = growTo(capacity);
    }
    const T* source = (&other == this) ? data_ : other.data_;
    for (u32 i = 0; i < n; ++i) data_[count_ + i] = source[i];
    count_ = newCount;
    trackedFree(old);
  }

  // Takes the other's count and capacity and copies its elements.
  void copyFrom(const Array& other) {
    count_ = other.count_;
    capacity_ = other.capacity_;
    data_ = nullptr;
    if (other.data_) {
      trackedAlloc(data_, capacity_, __FILE__, __LINE__);
      for (u32 i = 0; i < count_; ++i) data_[i] = other.data_[i];
    }
  }

  void assign(const Array& other) {
    if (this == &other) return;
    clear();
    copyFrom(other);
  }

  bool contains(const T& value) const {
    for (u32 i = 0; i < count_; ++i)
      if (data_[i] == value) return true;
    return false;
  }

  void addUnique(const T& value) {
    if (!contains(value)) append(value);
  }

  // Removes the first element equal to value; nothing when absent.
  void remove(const T& value) {
    for (u32 i = 0; i < count_; ++i) {
      if (data_[i] == value) {
        for (u32 j = i + 1; j < count_; ++j) data_[j - 1] = std::move(data_[j]);
        --count_;
        data_[count_] = T{};
        return;
      }
    }
  }

  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

 private:
  // Moves the elements into a new block of the given capacity and returns
  // the old block, which the caller frees once nothing refers to it.
  T* growTo(u32 capacity) {
    T* block = nullptr;
    trackedAlloc(block, capacity, __FILE__, __LINE__);
    return adopt(block, capacity);
  }

  T* adopt(T* block, u32 capacity) {
    for (u32 i = 0; i < count_; ++i) block[i] = std::move(data_[i]);
    T* old = data_;
    data_ = block;
    capacity_ = capacity;
    return old;
  }

  T& spare() {
    if (data_ && count_ < capacity_) {
      data_[count_] = T{};
      return data_[count_];
    }
    return detail::scratchElement<T>();
  }

  u32 count_ = 0;
  u32 capacity_ = 1;
  T* data_ = nullptr;
};

// ---- SizedArray -----------------------------------------------------------

// An owned block whose size is set, never grown.
template <class T>
class SizedArray {
 public:
  SizedArray() = default;
  SizedArray(const SizedArray& other) { copyElements(other.data_, other.count_); }
  explicit SizedArray(const Array<T>& other) { copyElements(other.data(), other.count()); }
  SizedArray(SizedArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}
  SizedArray& operator=(const SizedArray& other) {
    if (this != &other) {
      clear();
      copyElements(other.data_, other.count_);
    }
    return *this;
  }
  SizedArray& operator=(SizedArray&& other) noexcept {
    if (this != &other) {
      clear();
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~SizedArray() { trackedFree(data_); }

  void clear() {
    trackedFree(data_);
    count_ = 0;
  }

  // Only when n differs from the count: the old contents go and n fresh
  // elements come, charged to the caller.
  void resize(u32 n, const char* file, int line) {
    if (n == count_) return;
    clear();
    trackedAlloc(data_, n, file, line);
    count_ = n;
  }

  u32 count() const { return count_; }
  T* data() { return data_; }
  const T* data() const { return data_; }

  T& at(u32 i) {
    if (CHECK(i < count_)) [[likely]]
      return data_[i];
    return detail::scratchElement<T>();
  }
  const T& at(u32 i) const { return const_cast<SizedArray*>(this)->at(i); }
  T& operator[](u32 i) { return at(i); }
  const T& operator[](u32 i) const { return at(i); }

  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

 private:
  void copyElements(const T* source, u32 n) {
    data_ = nullptr;
    count_ = 0;
    if (!source) return;
    trackedAlloc(data_, n, __FILE__, __LINE__);
    for (u32 i = 0; i < n; ++i) data_[i] = source[i];
    count_ = n;
  }

  T* data_ = nullptr;
  u32 count_ = 0;
};

// ---- FixedArray -----------------------------------------------------------

// N elements held in place.
template <class T, u32 N>
class FixedArray {
 public:
  static constexpr u32 kSize = N;

  constexpr u32 size() const { return N; }
  T* data() { return items_; }
  const T* data() const { return items_; }

  T& at(u32 i) {
    if (CHECK(i < N)) [[likely]]
      return items_[i];
    return detail::scratchElement<T>();
  }
  const T& at(u32 i) const { return const_cast<FixedArray*>(this)->at(i); }
  T& operator[](u32 i) { return at(i); }
  const T& operator[](u32 i) const { return at(i); }

  // Copies the array's elements to positions offset onwards, never beyond N.
  void copyFrom(const Array<T>& array, u32 offset) {
    CHECK(offset <= N && array.count() <= N - offset);
    for (u32 i = 0; i < array.count() && offset < N && i < N - offset; ++i)
      items_[offset + i] = array.data()[i];
  }

 private:
  T items_[N]{};
};

// ---- BoundedPtr -----------------------------------------------------------

// A checked, non-owning view of count elements (a picture's row).
template <class T>
class BoundedPtr {
 public:
  constexpr BoundedPtr() = default;
  constexpr BoundedPtr(u32 count, T* data) : data_(data), count_(count) {}

  u32 count() const { return count_; }
  T* data() const { return data_; }

  T& at(u32 i) const {
    if (CHECK(i < count_)) [[likely]]
      return data_[i];
    return detail::scratchElement<T>();
  }
  T& operator[](u32 i) const { return at(i); }

 private:
  T* data_ = nullptr;
  u32 count_ = 0;
};

// ---- Collector ------------------------------------------------------------

// The untyped part of an owner pointer: the collector reads the object from
// its first word and keeps its index in the root table current.
struct RootBase {
  void* pointer;
  u32 rootIndex;
};

u32 addRoot(RootBase* root);
void removeRoot(u32 index);
u32 rootCount();

// Registers an object with the collector.  When no root holds it any more the
// collector calls destroy(object) and then releases the memory with
// std::free, so register only objects allocated with std::malloc.
void registerCollectable(void* object, void (*destroy)(void*));
u32 collectableCount();

// One sweep: visits count / 32 entries (all of them when that is 0), going on
// from where the last sweep stopped; returns how many entries it visited.
u32 collectorSweep();

// ---- RootPtr --------------------------------------------------------------

// An owner pointer that is a root of the collector.  It never frees what it
// holds.
template <class T>
class RootPtr : private RootBase {
 public:
  RootPtr() : RootBase{nullptr, 0} { rootIndex = addRoot(this); }
  explicit RootPtr(T* p) : RootPtr() { pointer = p; }
  RootPtr(const RootPtr& other) : RootPtr() { pointer = other.pointer; }
  RootPtr& operator=(const RootPtr& other) {
    pointer = other.pointer;
    return *this;
  }
  RootPtr& operator=(T* p) {
    pointer = p;
    return *this;
  }
  ~RootPtr() { removeRoot(rootIndex); }

  T* get() const { return static_cast<T*>(pointer); }
  explicit operator bool() const { return pointer != nullptr; }
  // A null dereference is reported; where T allows it a scratch object is
  // handed out in place of the null object.
  T* operator->() const { return &**this; }
  T& operator*() const {
    if (!CHECK(pointer != nullptr)) {
      if constexpr (std::is_default_constructible_v<T> && std::is_copy_assignable_v<T>)
        return detail::scratchElement<T>();
    }
    return *get();
  }
  u32 index() const { return rootIndex; }
};
