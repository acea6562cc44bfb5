#pragma once
// The cooperative task scheduler: up to 16 tasks share the program's one
// thread; a task runs until it yields, then the scheduler runs the next.
//
// Handles: the slot number in the low five bits, a generation count above
// them. A handle is accepted while it equals the slot's entry in
// gTaskHandles; createTask advances the generation, so handles of earlier
// tasks in that slot are refused.  Status codes: 0 done, 1 bad argument or
// no free slot, 2 stale handle (killTask: also a free slot).

#include <cstdint>

#include "platform/taskswitch.h"

using TaskEntry = void (*)(uint32_t argument);
using TaskHandle = uint32_t;

inline constexpr int kTaskSlotCount = 16;
// The stack size a task may ask for; every task gets at least this much.
inline constexpr uint32_t kTaskStackSize = 16384;

// Low byte of a slot's state; the mode (0-3) sits in bits 8 and up.
enum : uint32_t {
  kTaskCreated = 1,
  kTaskRunnable = 2,
  kTaskFree = 4,
  kTaskSuspended = 16,
};

// Modes: 0 immediate (every yield switches), 1 untimed (yields never
// switch), 2 background (runs with what is left of a 0.05 s pass, largest
// budget first), 3 shared (a share of the pass, in slot order).
enum : uint32_t {
  kTaskModeImmediate = 0,
  kTaskModeUntimed = 1,
  kTaskModeBackground = 2,
  kTaskModeShared = 3,
};

enum : uint32_t {
  kTaskOk = 0,
  kTaskBadArgument = 1,
  kTaskStaleHandle = 2,
};

struct TaskSlot {
  float switchInTime;  // seconds when last switched in
  float budget;        // seconds it may still run (modes 2 and 3)
  float runTime;       // accumulated seconds on the thread
  TaskEntry entry;
  uint32_t argument;
  platform::TaskContext context;  // where the task resumes
  uint32_t state;
  void* stackTop;
  uint32_t share;  // 1 to 16, the weight in mode 3
};

extern TaskSlot gTaskSlots[kTaskSlotCount];
extern uint32_t gTaskHandles[kTaskSlotCount];
extern platform::TaskContext gTaskBackupContexts[kTaskSlotCount];
extern uint32_t gTaskCount;
extern int32_t gCurrentSlot;  // the slot that ran last, -1 before the first switch
extern platform::TaskContext gSchedulerContext;
extern uint32_t gSchedulerPass;
extern float gPassStartTime;
extern float gLastPassLength;

// Start-up hook: frees every slot and gives each its stack area and its
// pristine start context.  Tests call it directly for a fresh table.
void schedulerSetup();

uint32_t createTask(TaskEntry entry, uint32_t argument, TaskHandle* handle, uint32_t* state, uint32_t mode,
                    uint32_t stackSize);
uint32_t suspendTask(TaskHandle handle, bool on);
void yieldTask();
uint32_t killTask(TaskHandle handle);
// Kills every other task, then the calling one (so, from a task, it does not return).
void killAllTasks();
uint32_t endTask(TaskHandle handle);
// Runs passes over the live tasks until none is left.
void runTasks();

uint32_t currentTask(TaskHandle* handle);
uint32_t taskState(TaskHandle handle, uint32_t* state);
uint32_t taskRunTime(TaskHandle handle, float* seconds);
uint32_t addBudget(TaskHandle handle, float seconds);
uint32_t raiseShare(TaskHandle handle);
uint32_t lowerShare(TaskHandle handle);
uint32_t setTaskModeImmediate(TaskHandle handle);
uint32_t setTaskModeUntimed(TaskHandle handle);
uint32_t setTaskModeBackground(TaskHandle handle);
uint32_t setTaskModeShared(TaskHandle handle);
uint32_t taskHook(TaskHandle handle);

// Seconds from a monotonic clock, for task times.
float readCycleSeconds();
// The raw counter behind readCycleSeconds, in nanoseconds.
void readCycleCounter(uint64_t* counter);
