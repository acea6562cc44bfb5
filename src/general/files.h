#pragma once
// Files and directories: reading a whole file, listing a directory for the
// cartridge load pane, testing for a directory, editing a path by one
// component, and ReplacementFile, which replaces a file in one atomic step.
//
// Listing entries begin with a colour control telling their kind, then the
// name as the file system spells it: 3 a directory, 8 a file (there are no
// drive rows on this platform).  Paths are slash-separated FixedIStrings.

#include <signal.h>

#include <cstdio>
#include <string>

#include "general/istring.h"

inline constexpr u16 kListDirectory = 3;
inline constexpr u16 kListFile = 8;

// Longest directory findAll and directoryExists accept (in characters).
inline constexpr u32 kMaxListedDirectory = 251;

// The whole file, or an empty array (logged) when it cannot be opened.
void readFile(SizedArray<u8>& out, const FixedIString& name);

// fopen for reading, but only a regular file (a symbolic link to one
// included): a directory, a device or a FIFO would fail, never end or block
// the program.  Null with errno set (EISDIR, ENODEV) for anything else.
std::FILE* openRegularFile(const char* name, const char* mode);

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

// A temporary file beside its target that replaces the target only when
// everything was written: commit flushes, closes and renames it over the
// target in one step.  Whatever fails, the target stays as it was and the
// temporary file is removed.  A target that is a symbolic link is written
// where the link points (the link stays); one that is read-only, or in a
// read-only directory, is not replaced.  Between open and the end of commit
// or abandon, SIGINT, SIGTERM and SIGHUP wait, so that a hard stop never
// leaves the temporary file behind.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile() { abandon(); }

  // Creates "<prefix>XXXXXX" beside target; false when target may not be
  // replaced or the file cannot be created.
  bool open(const char* target, const char* prefix);
  std::FILE* stream() const { return stream_; }
  bool commit();
  void abandon();

 private:
  void releaseSignals();

  std::FILE* stream_ = nullptr;
  std::string name_;    // the temporary file; empty when there is none
  std::string target_;  // the file it replaces, links resolved
  bool signalsHeld_ = false;
  bool stopsHeld_ = false;
  sigset_t savedMask_{};
};
