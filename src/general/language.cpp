// The language table.
#include "general/language.h"

#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "general/files.h"
#include "general/hooks.h"

namespace {

struct LanguageEntry {
  LanguageEntry* next;         // the chain of its hash
  LanguageEntry* nextInOrder;  // entries in the order they came: the file's lines, then new texts
  char* english;
  char* translation;  // as the file has it
  char* shown;        // what translate gives: the translation, or its first kShownLimit characters
};

constexpr u32 kBuckets = 256;
constexpr std::size_t kLineLimit = 2047;
// No text of the program can show more (a FixedIString's capacity).
constexpr std::size_t kShownLimit = 256;

LanguageEntry* gLanguageBuckets[kBuckets] = {};
LanguageEntry* gFirstEntry = nullptr;
LanguageEntry* gLastEntry = nullptr;
char* gLanguageFileName = nullptr;

char* copyText(const char* text, std::size_t n) {
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (!copy) {
    std::fprintf(stderr, "Out of memory copying a language entry.\n");
    std::abort();
  }
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}
char* copyText(const char* text) { return copyText(text, std::strlen(text)); }

LanguageEntry* findEntry(const char* english) {
  for (LanguageEntry* e = gLanguageBuckets[hashText(english)]; e; e = e->next)
    if (std::strcmp(e->english, english) == 0) return e;
  return nullptr;
}

LanguageEntry* addEntry(const char* english, const char* translation) {
  LanguageEntry* entry = nullptr;
  trackedAlloc(entry, 1, __FILE__, __LINE__);
  entry->english = copyText(english);
  entry->translation = copyText(translation);
  const std::size_t length = std::strlen(translation);
  entry->shown = length > kShownLimit ? copyText(translation, kShownLimit) : entry->translation;
  LanguageEntry*& head = gLanguageBuckets[hashText(english)];
  entry->next = head;
  head = entry;
  entry->nextInOrder = nullptr;
  (gLastEntry ? gLastEntry->nextInOrder : gFirstEntry) = entry;
  gLastEntry = entry;
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
  std::FILE* f = openRegularFile(gLanguageFileName, "r");
  if (!f) {
    dbgPrintf("Unable to open %s for reading.\n", gLanguageFileName);
    return;
  }
  char* line = nullptr;
  std::size_t capacity = 0;
  ssize_t n;
  while ((n = getline(&line, &capacity, f)) >= 0) {
    // Longer lines are not entries: read in pieces they would make
    // entries out of their middles.
    if (std::size_t(n) > kLineLimit || std::memchr(line, '\0', std::size_t(n))) continue;
    char* cursor = line;
    const char* english = nextPiece(cursor);
    const char* between = english ? nextPiece(cursor) : nullptr;
    const char* translation = between ? nextPiece(cursor) : nullptr;
    // The first line for a text counts; later ones would only contradict it.
    if (!translation || findEntry(english)) continue;
    if (std::strlen(translation) > kShownLimit)
      dbgPrintf("The translation of \"%.40s\" in %s is longer than %u characters; only the first %u are shown.\n",
                english, gLanguageFileName, unsigned(kShownLimit), unsigned(kShownLimit));
    addEntry(english, translation);
  }
  std::free(line);
  std::fclose(f);
}

// Only what reads back as itself is written: a text with a double quote or
// a line break would be split elsewhere, an empty one shifts the pieces (the
// line then reads as another entry), and a longer line is skipped.
bool writableText(const char* text) { return *text && !std::strpbrk(text, "\"\r\n"); }
bool fits(const char* english, const char* translation) {
  return std::strlen(english) + std::strlen(translation) + 7 <= kLineLimit;
}

// The translation to write for an entry, or null when the entry cannot be
// written.  A translation that would not read back is written as the
// English text itself, which is what the next run would add anyway, so an
// unchanged table gives the same file run after run.
const char* translationToWrite(const LanguageEntry& e) {
  if (!writableText(e.english)) return nullptr;
  if (writableText(e.translation) && fits(e.english, e.translation)) return e.translation;
  return fits(e.english, e.english) ? e.english : nullptr;
}

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
  if (LanguageEntry* e = findEntry(english)) return e->shown;
  return addEntry(english, english)->shown;
}

void saveLanguageTable() {
  // Nothing was looked up: the file on disk is the whole table already.
  if (!gLanguageFileName) return;
  const char* name = gLanguageFileName;
  ReplacementFile out;
  bool ok = out.open(name, "english");
  // In the order the entries came, so an unchanged table is rewritten as
  // the same file.
  for (LanguageEntry* e = gFirstEntry; ok && e; e = e->nextInOrder)
    if (const char* translation = translationToWrite(*e))
      ok = std::fprintf(out.stream(), "\"%s\", \"%s\"\n", e->english, translation) >= 0;
  if (!ok || !out.commit()) {
    dbgPrintf("Unable to open %s for writing.\n", name);
    return;
  }
  while (LanguageEntry* e = gFirstEntry) {
    gFirstEntry = e->nextInOrder;
    if (e->shown != e->translation) std::free(e->shown);
    std::free(e->english);
    std::free(e->translation);
    trackedFree(e);
  }
  gLastEntry = nullptr;
  for (LanguageEntry*& head : gLanguageBuckets) head = nullptr;
  std::free(gLanguageFileName);
  gLanguageFileName = nullptr;
}
