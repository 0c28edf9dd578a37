// Checks the shipped icon files as Windows reads them: the icon directory,
// the sizes it offers the shell, and each image's format (a 32-bit DIB with
// its mask, a 16-colour DIB, or a PNG for 256 x 256).  A size missing, an
// image in a format older Windows cannot read, or a damaged PNG would show
// as a blank or blurred icon in Explorer, which no other test would notice.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#ifndef GLYPHARY_ASSETS_DIR
#error "GLYPHARY_ASSETS_DIR must be defined as the path of the assets folder"
#endif

namespace {

const char* const kFileTypeIcons[] = {
    "89mat", "89dat", "89gdb", "89exp",   "89func", "89prog",
    "89str", "89text", "89asm", "89group", "89list", "89pic"};
const std::set<int> kFileTypeSizes = {16, 20, 24, 32, 40, 48, 64, 256};
const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

struct Image {
  int width;  // the directory's 0 read as 256
  int height;
  int colours;
  int bits;
  std::string data;
};

std::uint32_t Little(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
  }
  return v;
}

std::uint32_t Big32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

std::uint32_t Crc32(const std::string& s, std::size_t at, std::size_t length) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = at; i < at + length; ++i) {
    crc ^= static_cast<unsigned char>(s[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// The images of an .ico file in directory order; a file that is not an
// icon, or an image lying outside the file, is a test failure.
std::vector<Image> ReadIcon(const std::string& name) {
  const std::string path = std::string(GLYPHARY_ASSETS_DIR) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (file.size() < 6 || Little(file, 0, 2) != 0 || Little(file, 2, 2) != 1) {
    ADD_FAILURE() << path << " is missing or not an icon file";
    return {};
  }
  const std::size_t count = Little(file, 4, 2);
  const std::size_t first = 6 + 16 * count;
  if (file.size() < first) {
    ADD_FAILURE() << name << ": directory of " << count << " images is cut off";
    return {};
  }
  std::vector<Image> images;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * i;
    const std::size_t size = Little(file, entry + 8, 4);
    const std::size_t offset = Little(file, entry + 12, 4);
    if (offset < first || offset > file.size() || size > file.size() - offset) {
      ADD_FAILURE() << name << ": image " << i << " lies outside the file";
      return {};
    }
    const auto side = [&](std::size_t at) {
      const int v = static_cast<int>(Little(file, at, 1));
      return v == 0 ? 256 : v;
    };
    images.push_back(Image{side(entry), side(entry + 1), static_cast<int>(Little(file, entry + 2, 1)),
                           static_cast<int>(Little(file, entry + 6, 2)), file.substr(offset, size)});
  }
  return images;
}

// A DIB icon image: header, palette, colour rows and the 1-bit mask, all of
// the lengths the header promises.  At 32 bits the alpha channel must be in
// use (all zero, Windows falls back to the mask and the soft edges turn
// black), with see-through pixels or none as the picture asks.
void ExpectBitmap(const Image& image, int bits, const std::string& where, bool see_through = false) {
  SCOPED_TRACE(where);
  ASSERT_GE(image.data.size(), 40u);
  EXPECT_EQ(Little(image.data, 0, 4), 40u) << "BITMAPINFOHEADER size";
  EXPECT_EQ(static_cast<int>(Little(image.data, 4, 4)), image.width);
  EXPECT_EQ(static_cast<int>(Little(image.data, 8, 4)), 2 * image.height) << "colour rows and mask";
  EXPECT_EQ(Little(image.data, 12, 2), 1u) << "planes";
  EXPECT_EQ(static_cast<int>(Little(image.data, 14, 2)), bits) << "bits per pixel";
  EXPECT_EQ(Little(image.data, 16, 4), 0u) << "compression must be BI_RGB";
  EXPECT_EQ(image.bits, bits) << "directory's bit count";
  const std::size_t w = static_cast<std::size_t>(image.width);
  const std::size_t h = static_cast<std::size_t>(image.height);
  const std::size_t palette = bits <= 8 ? (std::size_t{1} << bits) * 4 : 0;
  const std::size_t colour_rows = (w * static_cast<std::size_t>(bits) + 31) / 32 * 4 * h;
  const std::size_t mask_rows = (w + 31) / 32 * 4 * h;
  ASSERT_EQ(image.data.size(), 40 + palette + colour_rows + mask_rows);
  if (bits != 32) return;
  std::size_t clear = 0;
  std::size_t solid = 0;
  for (std::size_t p = 0; p < w * h; ++p) {
    const unsigned char alpha = static_cast<unsigned char>(image.data[40 + 4 * p + 3]);
    clear += alpha == 0;
    solid += alpha == 255;
  }
  EXPECT_GT(solid, 0u) << "no opaque pixel: the alpha channel is not filled in";
  EXPECT_EQ(clear > 0, see_through) << clear << " transparent pixels";
}

// A PNG icon image: 256 x 256, 8-bit RGBA, every chunk whole with a right
// CRC, image data present, and IEND closing the image exactly.
void ExpectPng(const Image& image, const std::string& where) {
  SCOPED_TRACE(where);
  const std::string& png = image.data;
  ASSERT_EQ(png.compare(0, 8, kPngSignature, 8), 0) << "PNG signature";
  EXPECT_EQ(image.bits, 32) << "directory's bit count";
  std::vector<std::string> chunks;
  std::size_t at = 8;
  while (at + 12 <= png.size() && (chunks.empty() || chunks.back() != "IEND")) {
    const std::size_t length = Big32(png, at);
    ASSERT_LE(length, png.size() - at - 12) << "chunk " << chunks.size() << " runs past the end";
    chunks.push_back(png.substr(at + 4, 4));
    EXPECT_EQ(Crc32(png, at + 4, length + 4), Big32(png, at + 8 + length)) << chunks.back() << " CRC";
    if (chunks.back() == "IHDR") {
      ASSERT_EQ(length, 13u);
      EXPECT_EQ(Big32(png, at + 8), 256u) << "width";
      EXPECT_EQ(Big32(png, at + 12), 256u) << "height";
      EXPECT_EQ(png[at + 16], 8) << "bit depth";
      EXPECT_EQ(png[at + 17], 6) << "colour type RGBA";
    }
    at += 12 + length;
  }
  ASSERT_FALSE(chunks.empty());
  EXPECT_EQ(chunks.front(), "IHDR");
  EXPECT_EQ(chunks.back(), "IEND");
  EXPECT_EQ(at, png.size()) << "bytes after IEND, or IEND missing";
  EXPECT_NE(std::find(chunks.begin(), chunks.end(), "IDAT"), chunks.end()) << "no image data";
}

TEST(IconFiles, EveryFileTypeIconOffersEachSizeInAFormatWindowsReads) {
  for (const char* stem : kFileTypeIcons) {
    const std::string name = std::string("icons/") + stem + ".ico";
    const std::vector<Image> images = ReadIcon(name);
    std::multiset<int> sizes;
    for (const Image& image : images) {
      sizes.insert(image.width);
      const std::string where = name + " " + std::to_string(image.width) + " px";
      EXPECT_EQ(image.width, image.height) << where;
      EXPECT_EQ(image.colours, 0) << where;
      if (image.width == 256) {
        ExpectPng(image, where);
      } else {
        ExpectBitmap(image, 32, where, true);
      }
    }
    EXPECT_EQ(sizes, std::multiset<int>(kFileTypeSizes.begin(), kFileTypeSizes.end()))
        << name << ": each size exactly once";
  }
}

TEST(IconFiles, ProgramIconKeepsItsSixteenColourImagesFirst) {
  // The windows load the program icon at 32 and 16 px and get these two.
  const std::vector<Image> program = ReadIcon("program.ico");
  ASSERT_EQ(program.size(), 4u);
  const int first_sizes[] = {32, 16};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(program[i].width, first_sizes[i]);
    EXPECT_EQ(program[i].height, first_sizes[i]);
    EXPECT_EQ(program[i].colours, 16);
    ExpectBitmap(program[i], 4, "program.ico image " + std::to_string(i));
  }
  // Then the true-colour images Explorer's larger views pick.
  EXPECT_EQ(program[2].width, 48);
  ExpectBitmap(program[2], 32, "program.ico 48 px");  // opaque, as the 32 px one
  EXPECT_EQ(program[3].width, 256);
  ExpectPng(program[3], "program.ico 256 px");

  const std::vector<Image> dialog = ReadIcon("dialog.ico");
  ASSERT_EQ(dialog.size(), 1u);
  EXPECT_EQ(dialog[0].width, 32);
  EXPECT_EQ(dialog[0].colours, 16);
  ExpectBitmap(dialog[0], 4, "dialog.ico");
}

}  // namespace
