// The command line: any bytes (up to a NUL) as the line.  Values keep at
// most 256 characters, and the switches found, handed back as arguments,
// give the same switches again.

#include <string>
#include <vector>

#include "general/cmdline.h"
#include "general/main.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();  // the options write "kez.cfg" at exit
  const std::string line(reinterpret_cast<const char*>(data), size);
  const ParsedCommandLine parsed = parseCommandLine(line.c_str(), kProgramPathSize);
  FUZZ_CHECK(parsed.programDirectory.size() < kProgramPathSize);
  std::vector<std::string> args = {"/bin/prog"};
  bool roundTrip = true;
  for (const std::string& v : parsed.switches) {
    FUZZ_CHECK(v.size() <= kSwitchValueLimit);
    // Such values read back as something else: an e switch, or a value cut
    // at its NUL.
    roundTrip = roundTrip && (v.empty() || (v[0] != 'e' && v[0] != 'E')) && v.find('\0') == std::string::npos;
    args.push_back("-" + v);
  }
  for (const std::string& v : parsed.eSwitchValues) FUZZ_CHECK(v.size() <= kSwitchValueLimit);
  if (roundTrip) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    const std::string rebuilt = rebuildCommandLine(int(argv.size()), argv.data());
    const ParsedCommandLine again = parseCommandLine(rebuilt.c_str(), kProgramPathSize);
    FUZZ_CHECK(again.switches == parsed.switches);
    FUZZ_CHECK(again.eSwitchValues.empty());
  }
  takeCommandLine(line.c_str());
  FUZZ_CHECK(gCommandSwitches.count() <= parsed.switches.size());
  return 0;
}
