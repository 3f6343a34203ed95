#include "platform/content_hash.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

std::string Hex(const ContentDigest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : digest) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

// FIPS 180-2's examples, added whole and a byte at a time.
TEST(ContentHashTest, IsSha256HoweverTheContentIsAdded) {
  const struct {
    std::string content;
    const char* sha256;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const auto& c : cases) {
    ContentDigest whole, bytewise;
    std::string err;
    ASSERT_TRUE(HashContent(c.content.data(), c.content.size(), &whole, &err)) << err;
    EXPECT_EQ(c.sha256, Hex(whole));
    ContentHash hash;
    for (char byte : c.content) hash.Add(&byte, 1);
    ASSERT_TRUE(hash.Finish(&bytewise, &err)) << err;
    EXPECT_EQ(c.sha256, Hex(bytewise));
  }
}

}  // namespace
}  // namespace nv
