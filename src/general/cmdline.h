#pragma once
// The program's command line: the program path, then switches.  Every
// minus sign starts a switch whose value runs to the next blank or tab
// outside double quotes (the quotes are dropped); a switch whose first
// letter is e or E is set aside without that letter, every other keeps its
// first letter.

#include <cstddef>
#include <string>
#include <vector>

// At most this many characters of a switch value are kept (the length of a
// FixedIString).
inline constexpr size_t kSwitchValueLimit = 256;

struct ParsedCommandLine {
  std::string programDirectory;  // backslashes turned into slashes, cut at the last slash
  std::vector<std::string> switches;
  std::vector<std::string> eSwitchValues;
};

// Parses line.  The program directory is cut to pathLimit - 1 characters
// (the size of the buffer it goes into).
ParsedCommandLine parseCommandLine(const char* line, size_t pathLimit);

// The one-line command line for argv: arguments joined by blanks; a program
// path with blanks is quoted, and in the other arguments every run of
// blanks and tabs is quoted, so the parser gives each argument back whole.
std::string rebuildCommandLine(int argc, const char* const* argv);
