// The language table.
#include "general/language.h"

#include <cstdlib>
#include <cstring>

#include "general/files.h"
#include "general/hooks.h"

namespace {

struct LanguageEntry {
  LanguageEntry* next;
  char* english;
  char* translation;
};

constexpr u32 kBuckets = 256;
constexpr std::size_t kLineLimit = 2048;

LanguageEntry* gLanguageBuckets[kBuckets] = {};
char* gLanguageFileName = nullptr;

char* copyText(const char* text) {
  std::size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (!copy) {
    std::fprintf(stderr, "Out of memory copying a language entry.\n");
    std::abort();
  }
  std::memcpy(copy, text, n);
  return copy;
}

LanguageEntry* addEntry(const char* english, const char* translation) {
  LanguageEntry* entry = nullptr;
  trackedAlloc(entry, 1, __FILE__, __LINE__);
  entry->english = copyText(english);
  entry->translation = copyText(translation);
  LanguageEntry*& head = gLanguageBuckets[hashText(english)];
  entry->next = head;
  head = entry;
  return entry;
}

// The pieces between double quotes, empty ones skipped (as strtok would).
const char* nextPiece(char*& cursor) {
  while (*cursor == '"') ++cursor;
  if (!*cursor) return nullptr;
  char* start = cursor;
  while (*cursor && *cursor != '"') ++cursor;
  if (*cursor) *cursor++ = '\0';
  return start;
}

void loadTable() {
  gLanguageFileName = copyText(languageFileName("language"));
  std::FILE* f = std::fopen(gLanguageFileName, "r");
  if (!f) {
    dbgPrintf("Unable to open %s for reading.\n", gLanguageFileName);
    return;
  }
  char line[kLineLimit];
  while (std::fgets(line, sizeof line, f)) {
    char* cursor = line;
    const char* english = nextPiece(cursor);
    const char* between = english ? nextPiece(cursor) : nullptr;
    const char* translation = between ? nextPiece(cursor) : nullptr;
    if (translation) addEntry(english, translation);
  }
  std::fclose(f);
}

// A text with a double quote or a line break cannot be read back as written.
bool writable(const char* text) { return !std::strpbrk(text, "\"\r\n"); }

ShutdownHook sLanguageHook;
[[maybe_unused]] const bool sLanguageHookAdded = (addShutdownHook(sLanguageHook, saveLanguageTable), true);

}  // namespace

u32 hashText(const char* text) {
  u32 sum = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) sum += *p;
  return sum % kBuckets;
}

const char* languageFileName(const char*) { return "english.csv"; }

const char* translate(const char* english) {
  if (!english) english = "";
  if (!gLanguageFileName) loadTable();
  for (LanguageEntry* e = gLanguageBuckets[hashText(english)]; e; e = e->next)
    if (std::strcmp(e->english, english) == 0) return e->translation;
  return addEntry(english, english)->translation;
}

void saveLanguageTable() {
  // Nothing was looked up: the file on disk is the whole table already.
  if (!gLanguageFileName) return;
  const char* name = gLanguageFileName;
  ReplacementFile out;
  bool ok = out.open("english");
  for (u32 b = 0; ok && b < kBuckets; ++b)
    for (LanguageEntry* e = gLanguageBuckets[b]; ok && e; e = e->next)
      if (writable(e->english) && writable(e->translation))
        ok = std::fprintf(out.stream(), "\"%s\", \"%s\"\n", e->english, e->translation) >= 0;
  if (!ok || !out.commit(name)) {
    dbgPrintf("Unable to open %s for writing.\n", name);
    return;
  }
  for (LanguageEntry*& head : gLanguageBuckets) {
    while (LanguageEntry* e = head) {
      head = e->next;
      std::free(e->english);
      std::free(e->translation);
      trackedFree(e);
    }
  }
  std::free(gLanguageFileName);
  gLanguageFileName = nullptr;
}
