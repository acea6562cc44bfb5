#include "general/task.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int> gTrace;
int gPassesToRun = 0;

// Records its argument once per turn; the task given argument 100 + n ends
// everything after n passes.
void recordingTask(uint32_t argument) {
  for (int pass = 0;; ++pass) {
    gTrace.push_back(static_cast<int>(argument % 100));
    if (argument >= 100 && pass + 1 >= gPassesToRun) killAllTasks();
    yieldTask();
  }
}

class Scheduler : public ::testing::Test {
 protected:
  void SetUp() override {
    schedulerSetup();
    gTrace.clear();
  }
  TaskHandle create(TaskEntry entry, uint32_t argument, uint32_t mode = 0) {
    TaskHandle h = 0;
    uint32_t state = 0;
    EXPECT_EQ(createTask(entry, argument, &h, &state, mode, 0), kTaskOk);
    EXPECT_EQ(state, mode * 256 + kTaskCreated);
    return h;
  }
};

TEST_F(Scheduler, RunsLiveTasksOncePerPassInSlotOrder) {
  create(recordingTask, 0);
  create(recordingTask, 1);
  gPassesToRun = 3;
  create(recordingTask, 102);
  runTasks();
  EXPECT_EQ(gTrace, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1, 2}));
  EXPECT_EQ(gTaskCount, 0u);
  EXPECT_EQ(gSchedulerPass, 3u);
  for (int i = 0; i < kTaskSlotCount; ++i) EXPECT_EQ(gTaskSlots[i].state & 0xFF, kTaskFree) << i;
}

TaskHandle gVictim;
void suspendingTask(uint32_t) {
  for (int pass = 1;; ++pass) {
    gTrace.push_back(0);
    if (pass == 2) {
      EXPECT_EQ(suspendTask(gVictim, true), kTaskOk);
    }
    if (pass == 4) {
      EXPECT_EQ(suspendTask(gVictim, false), kTaskOk);
    }
    if (pass == 5) killAllTasks();
    yieldTask();
  }
}

TEST_F(Scheduler, SuspendedTaskIsSkippedUntilResumed) {
  create(suspendingTask, 0);
  gVictim = create(recordingTask, 1);
  runTasks();
  // Slot 1 misses passes 2 and 3; pass 5 ends before it runs.
  EXPECT_EQ(gTrace, (std::vector<int>{0, 1, 0, 0, 0, 1, 0}));
}

void returningTask(uint32_t argument) { gTrace.push_back(static_cast<int>(argument)); }

TEST_F(Scheduler, ReturningEntryFreesItsSlotAndAReusedSlotStartsAfresh) {
  TaskHandle first = create(returningTask, 7);
  runTasks();
  EXPECT_EQ(gTrace, std::vector<int>{7});
  uint32_t state = 0;
  // The old handle is still accepted until the slot is reused.
  EXPECT_EQ(taskState(first, &state), kTaskOk);
  EXPECT_EQ(state, kTaskFree);
  EXPECT_EQ(killTask(first), kTaskStaleHandle);
  EXPECT_EQ(suspendTask(first, true), kTaskStaleHandle);

  TaskHandle second = create(returningTask, 8);
  EXPECT_EQ(second & 31, 0u);
  EXPECT_EQ(second, first + 32);
  runTasks();
  EXPECT_EQ(gTrace, (std::vector<int>{7, 8}));
}

TEST_F(Scheduler, StaleHandleIsRefusedByEveryOperation) {
  TaskHandle old = create(recordingTask, 0);
  EXPECT_EQ(killTask(old), kTaskOk);
  TaskHandle fresh = create(recordingTask, 1);
  ASSERT_EQ(fresh & 31, old & 31);
  float seconds;
  uint32_t state = 0;
  EXPECT_EQ(taskState(old, &state), kTaskStaleHandle);
  EXPECT_EQ(state, kTaskFree);
  EXPECT_EQ(killTask(old), kTaskStaleHandle);
  EXPECT_EQ(endTask(old), kTaskStaleHandle);
  EXPECT_EQ(suspendTask(old, true), kTaskStaleHandle);
  EXPECT_EQ(taskRunTime(old, &seconds), kTaskStaleHandle);
  EXPECT_EQ(addBudget(old, 1), kTaskStaleHandle);
  EXPECT_EQ(raiseShare(old), kTaskStaleHandle);
  EXPECT_EQ(lowerShare(old), kTaskStaleHandle);
  EXPECT_EQ(setTaskModeImmediate(old), kTaskStaleHandle);
  EXPECT_EQ(setTaskModeUntimed(old), kTaskStaleHandle);
  EXPECT_EQ(setTaskModeBackground(old), kTaskStaleHandle);
  EXPECT_EQ(setTaskModeShared(old), kTaskStaleHandle);
  // Slot bits above 15 name no slot at all.
  EXPECT_EQ(killTask(20), kTaskStaleHandle);
  EXPECT_EQ(taskState(31 + 64, &state), kTaskStaleHandle);
  EXPECT_EQ(taskState(fresh, &state), kTaskOk);
  EXPECT_EQ(state, kTaskCreated);
}

TEST_F(Scheduler, CreateRefusesBadArgumentsAndAFullTable) {
  TaskHandle h = 0;
  uint32_t state = 0;
  EXPECT_EQ(createTask(recordingTask, 0, &h, &state, 0, 16385), kTaskBadArgument);
  EXPECT_EQ(createTask(recordingTask, 0, &h, &state, 4, 0), kTaskBadArgument);
  EXPECT_EQ(gTaskCount, 0u);
  for (int i = 0; i < kTaskSlotCount; ++i)
    EXPECT_EQ(createTask(recordingTask, 0, &h, &state, 0, 16384), kTaskOk);
  EXPECT_EQ(createTask(recordingTask, 0, &h, &state, 0, 0), kTaskBadArgument);
  EXPECT_EQ(gTaskCount, 16u);
}

std::vector<uint32_t> gStatesSeenBySlot2;
void killAllFromSlot2(uint32_t) {
  for (int i = 0; i < kTaskSlotCount; ++i) {
    uint32_t s;
    taskState(gTaskHandles[i], &s);
    gStatesSeenBySlot2.push_back(s & 0xFF);
  }
  killAllTasks();
  gTrace.push_back(-1);  // never reached
}

TEST_F(Scheduler, KillAllTasksFromATaskEndsItLastAndRunTasksReturns) {
  create(recordingTask, 0);
  create(recordingTask, 1);
  create(killAllFromSlot2, 0);
  create(recordingTask, 3);
  gStatesSeenBySlot2.clear();
  runTasks();
  EXPECT_EQ(gTrace, (std::vector<int>{0, 1}));  // slot 3 never got its turn
  EXPECT_EQ(gTaskCount, 0u);
  EXPECT_EQ(gStatesSeenBySlot2[2], kTaskRunnable);
  EXPECT_EQ(gStatesSeenBySlot2[3], kTaskCreated);
  EXPECT_EQ(gStatesSeenBySlot2[4], kTaskFree);
}

TEST_F(Scheduler, OutsideATaskYieldReturnsAndKillAllFreesEverything) {
  yieldTask();  // nothing to switch back to: returns at once
  create(recordingTask, 0);
  create(recordingTask, 1);
  killAllTasks();
  EXPECT_EQ(gTaskCount, 0u);
  runTasks();
  EXPECT_TRUE(gTrace.empty());
}

void untimedTask(uint32_t) {
  gTrace.push_back(10);
  yieldTask();
  gTrace.push_back(11);
  yieldTask();
  gTrace.push_back(12);
  EXPECT_EQ(setTaskModeImmediate(gTaskHandles[gCurrentSlot]), kTaskOk);
  yieldTask();
  gTrace.push_back(13);
}

TEST_F(Scheduler, UntimedTaskKeepsTheThreadAcrossYields) {
  create(untimedTask, 0, kTaskModeUntimed);
  create(returningTask, 5);
  runTasks();
  EXPECT_EQ(gTrace, (std::vector<int>{10, 11, 12, 5, 13}));
}

float gBudgetAtSwitchIn = -1;
void sharedTask(uint32_t) {
  gBudgetAtSwitchIn = gTaskSlots[gCurrentSlot].budget;
  killAllTasks();
}

TEST_F(Scheduler, SharedTaskGetsItsShareOfWhatIsLeftOfThePass) {
  TaskHandle h = create(sharedTask, 0, kTaskModeShared);
  uint32_t state = 0;
  EXPECT_EQ(taskState(h, &state), kTaskOk);
  EXPECT_EQ(state >> 8, kTaskModeShared);
  runTasks();
  EXPECT_GT(gBudgetAtSwitchIn, 0.0f);
  EXPECT_LE(gBudgetAtSwitchIn, 0.05f / 257.0f);
}

TEST_F(Scheduler, SharesStayBetweenOneAndSixteen) {
  TaskHandle h = create(recordingTask, 0);
  EXPECT_EQ(lowerShare(h), kTaskOk);
  EXPECT_EQ(gTaskSlots[h & 31].share, 1u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(raiseShare(h), kTaskOk);
  EXPECT_EQ(gTaskSlots[h & 31].share, 16u);
  EXPECT_EQ(setTaskModeShared(h), kTaskOk);
  EXPECT_EQ(gTaskSlots[h & 31].share, 1u);
  EXPECT_EQ(gTaskSlots[h & 31].state, kTaskModeShared * 256 + kTaskCreated);
}

uint16_t x87Control() {
  uint16_t control;
  asm volatile("fnstcw %0" : "=m"(control));
  return control;
}
void setX87Control(uint16_t control) { asm volatile("fldcw %0" : : "m"(control)); }

// Each task keeps its own rounding modes (SSE and x87) and a deep stack of
// its own.
void roundingTask(uint32_t argument) {
  _MM_SET_ROUNDING_MODE(argument ? _MM_ROUND_DOWN : _MM_ROUND_UP);
  const uint16_t x87 = static_cast<uint16_t>((x87Control() & ~0x0C00) | (argument ? 0x0400 : 0x0800));
  setX87Control(x87);
  volatile char deep[200 * 1024];
  std::memset(const_cast<char*>(deep), static_cast<int>(argument), sizeof deep);
  for (int i = 0; i < 3; ++i) {
    yieldTask();
    EXPECT_EQ(_MM_GET_ROUNDING_MODE(), argument ? _MM_ROUND_DOWN : _MM_ROUND_UP);
    EXPECT_EQ(x87Control(), x87);
    EXPECT_EQ(deep[1000], static_cast<char>(argument));
  }
}

TEST_F(Scheduler, TaskKeepsItsFloatingPointControlAndAStackBeyond16K) {
  const unsigned before = _MM_GET_ROUNDING_MODE();
  const uint16_t x87Before = x87Control();
  create(roundingTask, 0);
  create(roundingTask, 1);
  runTasks();
  EXPECT_EQ(_MM_GET_ROUNDING_MODE(), before);
  EXPECT_EQ(x87Control(), x87Before);
  EXPECT_EQ(gTaskCount, 0u);
}

// Touches more stack than its area holds, page by page downwards as a stack
// grows: the guard page below the area stops it before it reaches the area
// of the slot below.
void overrunningTask(uint32_t) {
  volatile char tooDeep[2 * 1024 * 1024];
  for (size_t i = sizeof tooDeep; i >= 4096; i -= 4096) tooDeep[i - 1] = 1;
}

TEST_F(Scheduler, TaskOverrunningItsStackFaultsAtTheGuardPage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        create(returningTask, 0);
        create(overrunningTask, 0);
        runTasks();
      },
      "");
}

}  // namespace

namespace {

std::vector<int> gTurns;
void noteTurn(int id) {
  if (gTurns.empty() || gTurns.back() != id) gTurns.push_back(id);
}

// Yields until its budget is used up; every turn is noted once.
void backgroundTask(uint32_t id) {
  for (;;) {
    noteTurn(static_cast<int>(id));
    yieldTask();
  }
}

int gPassesSeen = 0;
void endOnSecondTurn(uint32_t) {
  for (;;) {
    noteTurn(0);
    if (++gPassesSeen == 2) killAllTasks();
    yieldTask();
  }
}

TEST_F(Scheduler, BackgroundTasksRunAfterTheOthersLargestBudgetFirst) {
  gTurns.clear();
  gPassesSeen = 0;
  create(endOnSecondTurn, 0);
  TaskHandle small = create(backgroundTask, 1, kTaskModeBackground);
  TaskHandle large = create(backgroundTask, 2, kTaskModeBackground);
  EXPECT_EQ(addBudget(small, 0.0002f), kTaskOk);
  EXPECT_EQ(addBudget(large, 0.0004f), kTaskOk);
  runTasks();
  EXPECT_EQ(gTurns, (std::vector<int>{0, 2, 1, 0}));
}

float gSharedBudgets[3];
void recordSharedBudget(uint32_t id) {
  gSharedBudgets[id] = gTaskSlots[gCurrentSlot].budget;
  if (id == 2) killAllTasks();
  for (;;) yieldTask();
}

TEST_F(Scheduler, SharedTasksSplitThePassByTheirShares) {
  TaskHandle one = create(recordSharedBudget, 1, kTaskModeShared);
  TaskHandle three = create(recordSharedBudget, 2, kTaskModeShared);
  (void)one;
  EXPECT_EQ(raiseShare(three), kTaskOk);
  EXPECT_EQ(raiseShare(three), kTaskOk);
  runTasks();
  EXPECT_GT(gSharedBudgets[1], 0.0f);
  EXPECT_FLOAT_EQ(gSharedBudgets[2], 3 * gSharedBudgets[1]);
  EXPECT_LE(gSharedBudgets[1] * 4, 0.05f * 4 / 257);
}

}  // namespace
