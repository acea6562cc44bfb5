#pragma once
// Builds BMP files byte by byte for the loader's tests.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace bmpfile {

struct Layout {
  uint32_t width = 1, height = 1;
  uint16_t bits = 24;
  uint32_t infoSize = 40, compression = 0, coloursUsed = 0;
  uint16_t type = 0x4D42;
  std::vector<uint32_t> palette;           // 0x00RRGGBB
  std::vector<std::vector<uint8_t>> rows;  // stored order (bottom row first), padding added
};

inline void put(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}

inline std::string build(const Layout& b) {
  std::string s;
  put(s, b.type, 2);
  put(s, 0, 4);
  put(s, 0, 4);
  put(s, 54 + 4 * uint32_t(b.palette.size()), 4);
  put(s, b.infoSize, 4);
  put(s, b.width, 4);
  put(s, b.height, 4);
  put(s, 1, 2);
  put(s, b.bits, 2);
  put(s, b.compression, 4);
  for (int i = 0; i < 3; ++i) put(s, 0, 4);
  put(s, b.coloursUsed, 4);
  put(s, 0, 4);
  for (uint32_t c : b.palette) put(s, c, 4);
  for (const auto& row : b.rows) {
    s.append(row.begin(), row.end());
    for (size_t n = row.size(); n % 4 != 0; ++n) s.push_back(0);
  }
  return s;
}

inline void write(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

inline std::string read(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace bmpfile
