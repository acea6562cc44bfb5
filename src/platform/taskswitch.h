#pragma once
// The cooperative task switch for x86-64 (taskswitch.S): a context holds what
// a called function must preserve under the System V ABI, so a switch copies
// no stack and saves only a few words.

#include <cstddef>
#include <cstdint>

namespace platform {

// Field offsets are fixed: taskswitch.S addresses them directly.
struct TaskContext {
  uint64_t resume;  // where execution continues
  uint64_t rbx;
  uint64_t rbp;
  uint64_t r12;
  uint64_t r13;
  uint64_t r14;
  uint64_t r15;
  uint64_t rsp;
  uint32_t mxcsr;
  uint16_t x87Control;
  uint16_t unused;
};
static_assert(sizeof(TaskContext) == 72);

// Task stack areas: one mapping carved into equal areas, each with an
// inaccessible guard page below it, so a task that overruns its stack faults
// at once instead of writing into its neighbour's.
class StackAreas {
 public:
  StackAreas() = default;
  ~StackAreas();
  StackAreas(const StackAreas&) = delete;
  StackAreas& operator=(const StackAreas&) = delete;

  // Maps count areas of areaBytes (rounded up to whole pages); false when the
  // system refuses the memory.
  bool create(int count, size_t areaBytes);
  // Highest address of area i (16-byte aligned); the stack grows down from it.
  void* top(int i) const;
  int count() const { return count_; }

 private:
  void* base_ = nullptr;
  size_t mappedBytes_ = 0;
  size_t stride_ = 0;
  int count_ = 0;
};

}  // namespace platform

extern "C" {
// Like setjmp: 0 when the context was saved, the value handed to
// jumpToContext when it is resumed.
__attribute__((returns_twice)) int saveContext(platform::TaskContext* context);
// Like longjmp: restores the registers, the stack pointer and the floating
// point control words, and resumes with value (0 is passed on as 1).
[[noreturn]] void jumpToContext(const platform::TaskContext* context, int value);
}

namespace platform {
// Builds a fresh context that, when resumed, calls start(argument) on the
// stack below stackTop with the current floating point control words.
// start must not return.
void makeStartContext(TaskContext* context, void* stackTop, void (*start)(uint64_t), uint64_t argument);
}  // namespace platform
