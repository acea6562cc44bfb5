#pragma once
// A scratch working directory for one test: created empty, entered, and
// removed (with everything in it) when the test ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace testsupport {

class ScopedTempDir {
public:
  ScopedTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path_ = made ? made : "";
    previous_ = std::filesystem::current_path();
    if (!path_.empty()) std::filesystem::current_path(path_);
  }
  ~ScopedTempDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// Where the shared read-only material is; empty when it is absent.
inline std::string sharedDir() {
  std::error_code ec;
  return std::filesystem::is_directory(VANDREL_SHARED_DIR, ec) ? std::string(VANDREL_SHARED_DIR) : std::string();
}

// The whole file's bytes; empty when it cannot be read.
inline std::string fileText(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string guestImage(const std::string& name) {
  return std::string(VANDREL_GUEST_DIR) + "/" + name + ".gba";
}

}  // namespace testsupport
