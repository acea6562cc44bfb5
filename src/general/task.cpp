#include "general/task.h"

#include <cstdlib>

#include "general/hooks.h"
#include "platform/clock.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define VANDREL_FIBER_ANNOTATIONS 1
#endif

TaskSlot gTaskSlots[kTaskSlotCount];
uint32_t gTaskHandles[kTaskSlotCount];
platform::TaskContext gTaskBackupContexts[kTaskSlotCount];
uint32_t gTaskCount = 0;
int32_t gCurrentSlot = -1;
platform::TaskContext gSchedulerContext;
uint32_t gSchedulerPass = 0;
float gPassStartTime = 0;
float gLastPassLength = 0;

namespace {

// Each area is far larger than the 16 KB a task may ask for: SDL and X11
// calls made on the message pump need more.  Pages are only committed when
// touched.
constexpr size_t kStackAreaBytes = 1024 * 1024;

platform::StackAreas& stackAreas() {
  static platform::StackAreas areas;
  return areas;
}

// True only while a task holds the thread: yields and kills of the current
// task jump back into the scheduler only then.
bool sInTask = false;

uint32_t modeOf(const TaskSlot& s) { return s.state >> 8; }
uint32_t lowState(const TaskSlot& s) { return s.state & 0xFF; }

// The slot of a handle that is still accepted, or -1.
int slotOf(TaskHandle handle) {
  const uint32_t slot = handle & 31;
  if (slot >= static_cast<uint32_t>(kTaskSlotCount)) return -1;
  return gTaskHandles[slot] == handle ? static_cast<int>(slot) : -1;
}

// AddressSanitizer has to be told of each change of stack; otherwise it
// takes a task's stack for an overrun of the thread's own.  A task leaving for
// good passes no fake-stack slot, so its fake frames are dropped.
#ifdef VANDREL_FIBER_ANNOTATIONS
const void* sSchedulerStackBottom = nullptr;
size_t sSchedulerStackSize = 0;
void* sSchedulerFakeStack = nullptr;
void* sTaskFakeStacks[kTaskSlotCount];

void enteringTask(int slot) {
  const char* top = static_cast<const char*>(gTaskSlots[slot].stackTop);
  __sanitizer_start_switch_fiber(&sSchedulerFakeStack, top - kStackAreaBytes, kStackAreaBytes);
}
void enteredTask(int slot, bool fresh) {
  if (fresh) sTaskFakeStacks[slot] = nullptr;
  __sanitizer_finish_switch_fiber(sTaskFakeStacks[slot], &sSchedulerStackBottom, &sSchedulerStackSize);
}
void leavingTask(int slot, bool forGood) {
  __sanitizer_start_switch_fiber(forGood ? nullptr : &sTaskFakeStacks[slot], sSchedulerStackBottom,
                                 sSchedulerStackSize);
}
void backInScheduler() { __sanitizer_finish_switch_fiber(sSchedulerFakeStack, nullptr, nullptr); }
#else
void enteringTask(int) {}
void enteredTask(int, bool) {}
void leavingTask(int, bool) {}
void backInScheduler() {}
#endif

[[noreturn]] void startTask(uint64_t slot) {
  enteredTask(static_cast<int>(slot), true);
  TaskSlot& s = gTaskSlots[slot];
  s.entry(s.argument);
  killTask(gTaskHandles[slot]);
  std::abort();  // killing the current task never returns
}

void switchToTask(int slot) {
  if (saveContext(&gSchedulerContext) != 0) {
    backInScheduler();
    sInTask = false;
    return;
  }
  const float now = readCycleSeconds();
  if (gCurrentSlot != -1) gTaskSlots[gCurrentSlot].runTime += now - gTaskSlots[gCurrentSlot].switchInTime;
  gCurrentSlot = slot;
  TaskSlot& s = gTaskSlots[slot];
  s.switchInTime = now;
  if (lowState(s) == kTaskCreated) s.state = (s.state & ~0xFFu) | kTaskRunnable;
  sInTask = true;
  enteringTask(slot);
  jumpToContext(&s.context, 1);
}

float timeLeftInPass() { return 0.05f - (readCycleSeconds() - gPassStartTime); }

StartupHook sSetupHook;
[[maybe_unused]] const bool sSetupHookAdded = (addStartupHook(sSetupHook, schedulerSetup), true);

}  // namespace

void schedulerSetup() {
  platform::StackAreas& areas = stackAreas();
  // Without stacks no task can run: every slot stays free with no stack top,
  // and createTask has nothing to hand out.
  if (areas.count() == 0) areas.create(kTaskSlotCount, kStackAreaBytes);
  for (int i = 0; i < kTaskSlotCount; ++i) {
    gTaskHandles[i] = static_cast<uint32_t>(i);
    TaskSlot& s = gTaskSlots[i];
    s = TaskSlot{};
    s.state = kTaskFree;
    s.share = 1;
    s.stackTop = areas.top(i);
    if (s.stackTop) platform::makeStartContext(&s.context, s.stackTop, &startTask, static_cast<uint64_t>(i));
    gTaskBackupContexts[i] = s.context;
  }
  gCurrentSlot = -1;
  gTaskCount = 0;
  sInTask = false;
}

uint32_t createTask(TaskEntry entry, uint32_t argument, TaskHandle* handle, uint32_t* state, uint32_t mode,
                    uint32_t stackSize) {
  if (stackSize > kTaskStackSize || mode > kTaskModeShared || !entry) return kTaskBadArgument;
  for (int i = 0; i < kTaskSlotCount; ++i) {
    TaskSlot& s = gTaskSlots[i];
    if (lowState(s) != kTaskFree || !s.stackTop) continue;
    gTaskHandles[i] += 32;
    s.state = mode * 256 + kTaskCreated;
    s.entry = entry;
    s.argument = argument;
    s.runTime = 0;
    s.budget = 0;
    s.share = 1;
    s.context = gTaskBackupContexts[i];
    ++gTaskCount;
    if (handle) *handle = gTaskHandles[i];
    if (state) *state = s.state;
    return kTaskOk;
  }
  return kTaskBadArgument;
}

uint32_t suspendTask(TaskHandle handle, bool on) {
  const int slot = slotOf(handle);
  if (slot < 0 || lowState(gTaskSlots[slot]) == kTaskFree) return kTaskStaleHandle;
  TaskSlot& s = gTaskSlots[slot];
  s.state = modeOf(s) * 256 + (on ? kTaskSuspended : kTaskRunnable);
  return kTaskOk;
}

void yieldTask() {
  if (!sInTask) return;  // outside any task there is nothing to switch back to
  TaskSlot& s = gTaskSlots[gCurrentSlot];
  const uint32_t mode = modeOf(s);
  if (mode == kTaskModeUntimed) return;
  if (mode == kTaskModeBackground || mode == kTaskModeShared) {
    s.budget -= readCycleSeconds() - s.switchInTime;
    if (s.budget > 0) return;
  }
  const int slot = gCurrentSlot;
  if (saveContext(&s.context) == 0) {
    leavingTask(slot, false);
    jumpToContext(&gSchedulerContext, 1);
  }
  enteredTask(slot, false);
}

uint32_t killTask(TaskHandle handle) {
  const int slot = slotOf(handle);
  if (slot < 0 || lowState(gTaskSlots[slot]) == kTaskFree) return kTaskStaleHandle;
  TaskSlot& s = gTaskSlots[slot];
  s.state = kTaskFree;
  s.context = gTaskBackupContexts[slot];
  --gTaskCount;
  // The killed task's stack is abandoned without unwinding.
  if (sInTask && slot == gCurrentSlot) {
    leavingTask(slot, true);
    jumpToContext(&gSchedulerContext, 1);
  }
  return kTaskOk;
}

void killAllTasks() {
  const int current = sInTask ? gCurrentSlot : -1;
  for (int i = 0; i < kTaskSlotCount; ++i)
    if (i != current) killTask(gTaskHandles[i]);
  if (current >= 0) killTask(gTaskHandles[current]);
}

uint32_t endTask(TaskHandle handle) { return killTask(handle); }

void runTasks() {
  gSchedulerPass = 0;
  gPassStartTime = 0;
  gLastPassLength = 0;
  while (gTaskCount != 0) {
    const float now = readCycleSeconds();
    gLastPassLength = now - gPassStartTime;
    gPassStartTime = now;
    ++gSchedulerPass;

    int background[kTaskSlotCount];
    int shared[kTaskSlotCount];
    int backgroundCount = 0, sharedCount = 0;
    uint32_t shareSum = 0;
    for (int i = 0; i < kTaskSlotCount; ++i) {
      const TaskSlot& s = gTaskSlots[i];
      const uint32_t low = lowState(s);
      if (low == kTaskFree || low == kTaskSuspended) continue;
      switch (modeOf(s)) {
        case kTaskModeImmediate:
        case kTaskModeUntimed:
          switchToTask(i);
          break;
        case kTaskModeBackground:
          background[backgroundCount++] = i;
          break;
        case kTaskModeShared:
          shared[sharedCount++] = i;
          shareSum += s.share;
          break;
        default:
          break;
      }
    }

    float timeLeft = timeLeftInPass();
    if (timeLeft <= 0) continue;
    if (shareSum != 0) {
      const float sum = static_cast<float>(shareSum);
      const float perShare = sum * timeLeft * (1.0f / 257.0f) * (1.0f / sum);
      for (int k = 0; k < sharedCount; ++k) {
        TaskSlot& s = gTaskSlots[shared[k]];
        // A shared task killed by one run earlier in this pass is skipped.
        if (lowState(s) == kTaskFree || lowState(s) == kTaskSuspended) continue;
        s.budget = static_cast<float>(s.share) * perShare;
        switchToTask(shared[k]);
      }
    }

    timeLeft = timeLeftInPass();
    if (backgroundCount == 0 || timeLeft <= 0) continue;
    for (int i = 0; i < backgroundCount; ++i)
      for (int j = i + 1; j < backgroundCount; ++j)
        if (gTaskSlots[background[i]].budget < gTaskSlots[background[j]].budget) {
          const int t = background[i];
          background[i] = background[j];
          background[j] = t;
        }
    for (int k = 0; k < backgroundCount; ++k) {
      const TaskSlot& s = gTaskSlots[background[k]];
      if (lowState(s) == kTaskFree || lowState(s) == kTaskSuspended) continue;
      switchToTask(background[k]);
      if (timeLeftInPass() < 0) break;
    }
  }
}

uint32_t currentTask(TaskHandle* handle) {
  // Before the first switch there is no current slot: an out-of-range handle
  // that every operation refuses.
  if (handle) *handle = gCurrentSlot >= 0 ? gTaskHandles[gCurrentSlot] : ~0u;
  return kTaskOk;
}

uint32_t taskState(TaskHandle handle, uint32_t* state) {
  const int slot = slotOf(handle);
  if (slot < 0) {
    if (state) *state = kTaskFree;
    return kTaskStaleHandle;
  }
  if (state) *state = gTaskSlots[slot].state;
  return kTaskOk;
}

uint32_t taskRunTime(TaskHandle handle, float* seconds) {
  const int slot = slotOf(handle);
  if (slot < 0) return kTaskStaleHandle;
  if (seconds) *seconds = gTaskSlots[slot].runTime;
  return kTaskOk;
}

uint32_t addBudget(TaskHandle handle, float seconds) {
  const int slot = slotOf(handle);
  if (slot < 0) return kTaskStaleHandle;
  gTaskSlots[slot].budget += seconds;
  return kTaskOk;
}

uint32_t raiseShare(TaskHandle handle) {
  const int slot = slotOf(handle);
  if (slot < 0) return kTaskStaleHandle;
  if (gTaskSlots[slot].share < 16) ++gTaskSlots[slot].share;
  return kTaskOk;
}

uint32_t lowerShare(TaskHandle handle) {
  const int slot = slotOf(handle);
  if (slot < 0) return kTaskStaleHandle;
  if (gTaskSlots[slot].share > 1) --gTaskSlots[slot].share;
  return kTaskOk;
}

namespace {
uint32_t setMode(TaskHandle handle, uint32_t mode) {
  const int slot = slotOf(handle);
  if (slot < 0) return kTaskStaleHandle;
  TaskSlot& s = gTaskSlots[slot];
  s.state = mode * 256 + lowState(s);
  if (mode == kTaskModeBackground) s.budget = 0;
  if (mode == kTaskModeShared) s.share = 1;
  return kTaskOk;
}
}  // namespace

uint32_t setTaskModeImmediate(TaskHandle handle) { return setMode(handle, kTaskModeImmediate); }
uint32_t setTaskModeUntimed(TaskHandle handle) { return setMode(handle, kTaskModeUntimed); }
uint32_t setTaskModeBackground(TaskHandle handle) { return setMode(handle, kTaskModeBackground); }
uint32_t setTaskModeShared(TaskHandle handle) { return setMode(handle, kTaskModeShared); }
uint32_t taskHook(TaskHandle) { return kTaskOk; }

float readCycleSeconds() { return platform::monotonicSeconds(); }
void readCycleCounter(uint64_t* counter) {
  if (counter) *counter = platform::monotonicNanoseconds();
}
