// Cartridge and BIOS loading: the input chooses what the file is (its own
// bytes, a file of a size near a limit that starts with them, a directory, a
// FIFO, a link to /dev/zero) and whether it is loaded as the cartridge or
// as the BIOS.  A file is taken exactly when it may be, whole; a refused one
// changes nothing and gets one line for the user.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/emulator.h"
#include "harness.h"

namespace {

// The first bytes of both areas, to tell whether a refused file changed them.
std::vector<u8> areas() {
  GbaMemory& m = gEmulator.memory();
  std::vector<u8> v(m.rom(), m.rom() + 0x10000);
  v.insert(v.end(), m.bios(), m.bios() + 0x4000);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();
  if (size == 0) return 0;
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::remove_all("image", ec);
  const uint8_t how = data[0];
  const uint8_t* bytes = data + 1;
  const std::size_t count = size - 1;
  static const off_t kSizes[] = {0, 1, 0x3FFF, 0x4000, 0x4001, 0x800000, 0x800001, 32 << 20, (32 << 20) + 1};
  std::size_t fileSize = count;
  const int kind = (how & 7) % 5;
  switch (kind) {
    case 0:
      fuzz::writeFile("image", bytes, count);
      break;
    case 1: {
      fuzz::writeFile("image", bytes, count);
      fileSize = std::size_t(kSizes[((how >> 3) & 15) % 9]);
      if (truncate("image", off_t(fileSize)) != 0) std::abort();
      break;
    }
    case 2:
      fs::create_directory("image");
      break;
    case 3:
      if (mkfifo("image", 0600) != 0) std::abort();
      break;
    case 4:
      fs::create_symlink("/dev/zero", "image");
      break;
  }
  const bool regular = kind < 2;
  const bool bios = how & 0x80;
  const std::vector<u8> before = areas();
  const std::string nameBefore = gEmulator.romName();
  std::string problem;
  const bool loaded = bios ? gEmulator.memory().loadBios("image", &problem) : gEmulator.loadRom("image", &problem);
  const bool allowed = regular && (bios ? fileSize == 0x4000 : fileSize > 0 && fileSize <= (32u << 20));
  FUZZ_CHECK(loaded == allowed);
  if (loaded) {
    FUZZ_CHECK(problem.empty());
    const u8* area = bios ? gEmulator.memory().bios() : gEmulator.memory().rom();
    const std::size_t n = std::min<std::size_t>(fileSize, bios ? 0x4000 : 0x800000);
    for (std::size_t i = 0; i < n; ++i) FUZZ_CHECK(area[i] == (i < count ? bytes[i] : 0));
    if (!bios) FUZZ_CHECK(gEmulator.romName() == "image");
  } else {
    FUZZ_CHECK(!problem.empty() && problem.find('\n') == std::string::npos);
    FUZZ_CHECK(areas() == before);
    FUZZ_CHECK(gEmulator.romName() == nameBefore);
  }
  fuzz::takeLog();
  return 0;
}
