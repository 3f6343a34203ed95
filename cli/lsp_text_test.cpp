// Offsets to protocol positions and back, in each encoding a client may ask.
#include "cli/lsp_text.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

struct PositionCase {
  const char* what;
  std::string text;
  size_t offset;
  PositionEncoding encoding;
  LspPosition position;
};

TEST(LspTextTest, OffsetsAndPositionsAgree) {
  const std::string pile = "a\xF0\x9F\x92\xA9z";  // U+1F4A9: four bytes, two UTF-16 units
  const PositionCase cases[] = {
      {"start", "ab\ncd", 0, PositionEncoding::kUtf16, {0, 0}},
      {"second line", "ab\ncd", 4, PositionEncoding::kUtf16, {1, 1}},
      {"CR LF is one break", "ab\r\ncd", 5, PositionEncoding::kUtf16, {1, 1}},
      {"lone CR breaks", "ab\rcd", 3, PositionEncoding::kUtf16, {1, 0}},
      {"astral in UTF-16", pile, 5, PositionEncoding::kUtf16, {0, 3}},
      {"astral in UTF-8", pile, 5, PositionEncoding::kUtf8, {0, 5}},
      {"astral in UTF-32", pile, 5, PositionEncoding::kUtf32, {0, 2}},
      {"two-byte letter", "\xC3\xA9x", 2, PositionEncoding::kUtf16, {0, 1}},
      {"stray byte is one", "\xE9x", 1, PositionEncoding::kUtf16, {0, 1}},
      {"end of text", "ab\n", 3, PositionEncoding::kUtf16, {1, 0}},
  };
  for (const PositionCase& c : cases) {
    const LspText text(c.text);
    EXPECT_EQ(text.PositionOf(c.offset, c.encoding), c.position) << c.what;
    EXPECT_EQ(text.OffsetOf(c.position, c.encoding), c.offset) << c.what;
  }
}

TEST(LspTextTest, PositionsPastTheTextStandAtItsEnds) {
  const std::string s = "ab\r\ncd";
  const LspText text(s);
  EXPECT_EQ(text.OffsetOf({0, 99}, PositionEncoding::kUtf16), 2u);  // before the CR LF
  EXPECT_EQ(text.OffsetOf({7, 0}, PositionEncoding::kUtf16), s.size());
  EXPECT_EQ(text.PositionOf(99, PositionEncoding::kUtf16), (LspPosition{1, 2}));
}

TEST(LspTextTest, SoundUtf8) {
  const std::pair<std::string, bool> cases[] = {
      {"plain", true},         {"\xC3\xA9", true},
      {"\xE9", false},         {"\xC0\xAF", false},  // overlong '/'
      {"\xED\xA0\x80", false},                       // a surrogate
      {"\xF0\x9F\x92", false},                       // cut short
  };
  for (const auto& c : cases) EXPECT_EQ(IsUtf8(c.first), c.second) << c.first;
}

}  // namespace
}  // namespace nv
