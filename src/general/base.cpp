// The debug log "dbgout.txt" and CHECK.
#include "general/base.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

struct PendingMessage {
  PendingMessage* next;
  char* text;
};

enum class LogState : u8 { Unopened, Open, Failed, Closed };

// All constant-initialised: static objects log before main.
PendingMessage* gPendingMessages = nullptr;
std::FILE* gDebugLog = nullptr;
LogState gLogState = LogState::Unopened;
u32 gDebugOutputDeferred = 0;
int gStderrWanted = -1;  // -1: not asked yet

bool stderrWanted() {
  if (gStderrWanted < 0) {
    const char* v = std::getenv("VANDREL_DEBUG_STDERR");
    gStderrWanted = (v && std::strcmp(v, "1") == 0) ? 1 : 0;
  }
  return gStderrWanted == 1;
}

void openLogOnce() {
  if (gLogState != LogState::Unopened) return;
  gDebugLog = std::fopen("dbgout.txt", "w");
  if (gDebugLog) {
    std::setvbuf(gDebugLog, nullptr, _IONBF, 0);
    gLogState = LogState::Open;
  } else {
    gLogState = LogState::Failed;
  }
}

}  // namespace

void debugOutput(const char* text) {
  if (stderrWanted()) std::fputs(text, stderr);
}

void dbgPrintf(const char* format, ...) {
  openLogOnce();
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);

  PendingMessage* message = nullptr;
  trackedAlloc(message, 1, __FILE__, __LINE__);
  message->text = strdup(buffer);
  message->next = gPendingMessages;
  gPendingMessages = message;
  if (!gDebugOutputDeferred) flushDebugOutput();
}

void flushDebugOutput() {
  while (PendingMessage* message = gPendingMessages) {
    gPendingMessages = message->next;
    if (message->text) {
      if (gLogState == LogState::Open) {
        std::fputs(message->text, gDebugLog);
      } else if (gLogState == LogState::Closed) {
        if (std::FILE* late = std::fopen("dbgout.txt", "a")) {
          std::fputs(message->text, late);
          std::fclose(late);
        }
      }
      debugOutput(message->text);
      std::free(message->text);
    }
    trackedFree(message);
  }
}

void setDebugOutputDeferred(u32 on) {
  gDebugOutputDeferred = on;
  if (!on) flushDebugOutput();
}

void closeDebugLog() {
  flushDebugOutput();
  if (gLogState == LogState::Open) std::fclose(gDebugLog);
  gDebugLog = nullptr;
  if (gLogState != LogState::Failed) gLogState = LogState::Closed;
}

std::FILE* debugLogFile() { return gLogState == LogState::Open ? gDebugLog : nullptr; }

void moduleName(const char* file, char* out, std::size_t size) {
  if (size == 0) return;
  if (!file) file = "";
  const char* slash = std::strrchr(file, '/');
  const char* dot = std::strrchr(slash ? slash : file, '.');
  std::size_t n = dot ? static_cast<std::size_t>(dot - file) : std::strlen(file);
  if (n > size - 1) n = size - 1;
  std::memcpy(out, file, n);
  out[n] = '\0';
}

bool checkFailed(const char* file, int line) {
  char module[256];
  moduleName(file, module, sizeof module);
  dbgPrintf("CHECK failure, file %s, line %d.\n", module, line);
  return false;
}

double randomFloat(u32* seed, double scale) {
  *seed = *seed * 663608941u;
  return *seed * scale * (1.0 / 4294967296.0);
}
