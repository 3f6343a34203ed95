// The caret under a line of source: where it stands, and how far an
// attribute's value is underlined.
#include "cli/text_diagnostics.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

TEST(ExcerptOfTest, UnderlinesAQuotedValueFromItsFirstByte) {
  const struct {
    const char* line;
    size_t column;
    const char* marker;
  } cases[] = {
      {"<shelf background=\"sand.png\" uwidth=\"1\">", 20, "                   ^~~~~~~~"},
      {"<shelf background='caf\xC3\xA9\x01'/>", 20, "                   ^~~~~~~~"},
      {"<shelf background=\"\"/>", 20, "                   ^"},
      {"<shelf background=\"sand.png", 20, "                   ^"},  // no closing quote
      {"<shelf name=sand.png/>", 13, "            ^"},
      {"<shelf/>", 9, "        ^"},  // after the line's last byte
  };
  for (const auto& c : cases) EXPECT_EQ(c.marker, ExcerptOf(c.line, c.column).marker) << c.line;
}

}  // namespace
}  // namespace nv
