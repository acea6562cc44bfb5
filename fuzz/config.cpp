// "kez.cfg": any bytes as the file.  Whatever it holds, a value just saved
// is the value read back, for the program's options and for a name taken
// from the file itself, and options of every type read and save.

#include <cstring>
#include <string>

#include "general/config.h"
#include "harness.h"

namespace {

// The first line's name as the reader splits it: up to the first tab,
// leading tabs skipped; empty when there is none.
std::string firstName(const uint8_t* data, std::size_t size) {
  std::size_t p = 0;
  while (p < size && data[p] == '\t') ++p;
  std::string name;
  for (; p < size && data[p] != '\t' && data[p] != '\n'; ++p) name.push_back(char(data[p]));
  if (name.find('\0') != std::string::npos || name.find('\r') != std::string::npos) return {};
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();
  fuzz::writeFile(config::kFileName, data, size);
  const std::string fromFile = firstName(data, size);
  const char* names[] = {"grid", "Video Width", "ROM search directory", fromFile.c_str()};
  for (const char* name : names) {
    if (!*name) continue;
    char value[1024];
    config::readValue(name, value, sizeof value);
    FUZZ_CHECK(config::writeValue(name, "4711"));
    FUZZ_CHECK(config::readValue(name, value, sizeof value));
    FUZZ_CHECK(std::strcmp(value, "4711") == 0);
  }
  {
    ConfigOption<i32> number("Video Height", 480);
    ConfigOption<u16> small("Video Width", 640);
    ConfigOption<FixedIString> text("ROM search directory", "./");
    number.value() += 1;
    small.value() += 1;
    FUZZ_CHECK(text.value().length() <= FixedIString::kCapacity);
  }
  ConfigOption<i32> again("Video Height", 0);
  char value[1024];
  FUZZ_CHECK(config::readValue("Video Height", value, sizeof value));
  FUZZ_CHECK(again.value() == config::parseNumber(value));
  fuzz::takeLog();
  return 0;
}
