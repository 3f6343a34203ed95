#include "services/compressed_formats.h"

#include <gtest/gtest.h>

#include <string>

namespace nv {
namespace {

bool Looks(const std::string& bytes) {
  return LooksCompressed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(CompressedFormatsTest, KnownByLeadingBytes) {
  const std::string compressed[] = {
      std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
      "\xFF\xD8\xFF\xE0\0\x10JFIF",
      "GIF89a\x01\0",
      std::string("RIFF\x10\0\0\0WEBPVP8 ", 16),
      "PK\x03\x04\x14\0",
      "\x1F\x8B\x08\0",
      std::string("\0\0\0\x18"
                  "ftypavif",
                  12),
      "wOF2\0\x01\0\0",
  };
  for (const std::string& bytes : compressed) EXPECT_TRUE(Looks(bytes)) << bytes;
}

TEST(CompressedFormatsTest, OtherDataIsNot) {
  const std::string plain[] = {
      "",
      "\x89PN",  // too short to tell
      "<?xml version=\"1.0\"?>",
      std::string("RIFF\x10\0\0\0WAVEfmt ", 16),  // uncompressed sound
      "BM\x36\0\x0C\0",                           // bitmap
      std::string("\0\x01\0\0\0\x0F\0\x80", 8),   // TrueType font
  };
  for (const std::string& bytes : plain) EXPECT_FALSE(Looks(bytes)) << bytes;
}

}  // namespace
}  // namespace nv
