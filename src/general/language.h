#pragma once
// The language table: every user-visible English text passes through
// translate, which looks it up in "english.csv" (loaded on the first look-up,
// which may come from a static initialiser) and adds texts it does not hold,
// with themselves as translation.  saveLanguageTable, a shut-down hook, writes
// the whole table back and empties it.
//
// "english.csv": one line per entry, "\"%s\", \"%s\"\n" (English text,
// translation); a line is split at double quotes, the first piece is the
// English text and the third the translation.  The first line for a text
// counts (later ones are dropped), lines longer than 2047 characters are
// skipped, and a translation longer than 256 characters is shown cut.

#include "general/base.h"

// The translation; the pointer stays valid until saveLanguageTable.
const char* translate(const char* english);

// "english.csv" for any key.
const char* languageFileName(const char* key);

// Rewrites the file with every entry, in the order the entries came (the
// file's lines, then the texts added since, in the order of their first
// look-up), and empties the table; a file that cannot be written is logged
// and the table kept.
void saveLanguageTable();

// The sum of the text's bytes, taken as unsigned, modulo 256.
u32 hashText(const char* text);
