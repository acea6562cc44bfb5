#pragma once
// Files and directories: reading a whole file, listing a directory for the
// cartridge load pane, testing for a directory, editing a path by one
// component, and ReplacementFile, which replaces a file in one atomic step.
//
// Listing entries begin with a colour control telling their kind, then the
// name as the file system spells it: 3 a directory, 8 a file (there are no
// drive rows on this platform).  Paths are slash-separated FixedIStrings.

#include <cstdio>

#include "general/istring.h"

inline constexpr u16 kListDirectory = 3;
inline constexpr u16 kListFile = 8;

// Longest directory findAll and directoryExists accept (in characters).
inline constexpr u32 kMaxListedDirectory = 251;

// The whole file, or an empty array (logged) when it cannot be opened.
void readFile(SizedArray<u8>& out, const FixedIString& name);

// Lists directory (with "." and ".."), sorted; 1 when it could be listed,
// else 0 with the list empty.
int findAll(Array<IString>& list, const FixedIString& directory);

int directoryExists(const FixedIString& path);

// Appends one component to path: "." changes nothing, ".." drops the last
// component.  A result that would not fit in a FixedIString leaves path
// unchanged and returns false.
bool appendPathComponent(FixedIString& path, const FixedIString& name);

// The program's directory as the program entry took it from the command
// line (cut at 256 characters).
FixedIString programDirectory();

// The colour control 3 followed by the working directory.
FixedIString currentDirectory();
int changeDirectory(const FixedIString& path);

// Ascending by IString::operator<.
void sortIStringArray(Array<IString>& list);

// A temporary file in the working directory that replaces its target only
// when everything was written: commit flushes, closes and renames it over the
// target in one step.  Whatever fails, the target stays as it was and the
// temporary file is removed.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile() { abandon(); }

  // Creates "./<prefix>XXXXXX"; false when it cannot be created.
  bool open(const char* prefix);
  std::FILE* stream() const { return stream_; }
  bool commit(const char* target);
  void abandon();

 private:
  std::FILE* stream_ = nullptr;
  char name_[64] = {};
};
