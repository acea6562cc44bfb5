// "english.csv": any bytes as the file.  Look-ups give at most 256
// characters, the rewritten file holds each text once, and rewriting it
// again without changes gives the same file.

#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "general/language.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();
  saveLanguageTable();  // empties what the last input left
  fuzz::writeFile("english.csv", data, size);
  // A text from the file itself: its first piece between quotes.
  std::string own(reinterpret_cast<const char*>(data), size);
  own = own.substr(0, own.find('\n'));
  const std::size_t q = own.find('"');
  own = q == std::string::npos ? own : own.substr(q + 1);
  own = own.substr(0, own.find('"'));
  own = own.substr(0, own.find('\0'));
  const char* texts[] = {"Save", "Cycles - ", "", own.c_str(), "New text"};
  for (const char* t : texts) FUZZ_CHECK(std::strlen(translate(t)) <= 256);
  saveLanguageTable();
  const std::string first = fuzz::readFileText("english.csv");
  std::set<std::string> seen;
  std::istringstream lines(first);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t end = line.find('"', 1);
    FUZZ_CHECK(line.size() >= 2 && line[0] == '"' && end != std::string::npos);
    FUZZ_CHECK(seen.insert(line.substr(1, end - 1)).second);
  }
  for (const char* t : texts) translate(t);
  saveLanguageTable();
  FUZZ_CHECK(fuzz::readFileText("english.csv") == first);
  fuzz::takeLog();
  return 0;
}
