// Prints the section table of a PE file: one line a section with its name,
// its size in memory and its raw size in the file, then the file's size.
//   pe_sections FILE
// Output lines: "section NAME VIRTUAL_SIZE RAW_SIZE" and "file SIZE".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t U16(const std::vector<unsigned char>& b, size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
    std::fprintf(stderr, "%s: not an MZ file\n", argv[1]);
    return 1;
  }
  const size_t pe = U32(b, 0x3C);
  if (pe + 24 > b.size() || std::memcmp(&b[pe], "PE\0\0", 4) != 0) {
    std::fprintf(stderr, "%s: no PE header\n", argv[1]);
    return 1;
  }
  const unsigned sections = U16(b, pe + 6);
  const unsigned optional = U16(b, pe + 20);
  size_t at = pe + 24 + optional;
  for (unsigned i = 0; i < sections; ++i, at += 40) {
    if (at + 40 > b.size()) return 1;
    std::string name(reinterpret_cast<const char*>(&b[at]), strnlen(reinterpret_cast<const char*>(&b[at]), 8));
    std::printf("section %s %u %u\n", name.c_str(), U32(b, at + 8), U32(b, at + 16));
  }
  std::printf("file %zu\n", b.size());
  return 0;
}
