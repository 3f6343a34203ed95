#include "xml/text_position.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <vector>

#include "xml/parser_limits.h"

namespace nv {

void PrintTo(const TextPosition& at, std::ostream* os) { *os << at.line << ':' << at.column; }

namespace {

struct OffsetCase {
  const char* name;
  std::string text;  // the position asked for is that of the first "<"
  TextPosition at;
};

TEST(TextPositionTest, BytesAndLinesFromOne) {
  const OffsetCase cases[] = {
      {"start", "<r/>", {1, 1}},
      {"after bytes", "ab<r/>", {1, 3}},
      {"tab is one byte", "\t\t<r/>", {1, 3}},
      {"two-byte character is two", "\xC3\xA9<r/>", {1, 3}},
      {"lf", "a\n\n <r/>", {3, 2}},
      {"cr lf is one break", "a\r\n <r/>", {2, 2}},
      {"lf cr is one break", "a\n\r <r/>", {2, 2}},
      {"lone cr breaks, as the parser counts", "a\r <r/>", {2, 2}},
      {"cr cr is two breaks", "a\r\r<r/>", {3, 1}},
      {"byte-order mark takes no column", "\xEF\xBB\xBF <r/>", {1, 2}},
      {"later mark is three bytes", "\xEF\xBB\xBF\n\xEF\xBB\xBF<r/>", {2, 4}},
  };
  for (const OffsetCase& c : cases)
    EXPECT_EQ(c.at, TextLines(c.text).At(c.text.find('<'))) << c.name;
}

// Every element of the text, parsed as a manifest, with its position.
std::vector<std::pair<std::string, TextPosition>> Positions(const std::string& text,
                                                            int tabSize = 4) {
  TiXmlDocument document;
  document.SetTabSize(tabSize);
  ParseAsScanned(text, &document);
  const ElementPositions positions(text, document);
  std::vector<std::pair<std::string, TextPosition>> found;
  std::vector<const TiXmlElement*> stack;
  for (auto* e = document.FirstChildElement(); e; e = e->NextSiblingElement()) stack.push_back(e);
  while (!stack.empty()) {
    const TiXmlElement* e = stack.back();
    stack.pop_back();
    found.push_back({e->Value(), positions.Of(*e)});
    for (auto* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) stack.push_back(c);
  }
  return found;
}

TEST(TextPositionTest, ElementsStandWhereTheParserSawThem) {
  const std::string text =
      "<?xml version=\"1.0\"?>\r\n<!-- <x> -->\t<r a=\"1\">\n\t\t<b/>\r\r<c>text\n</c><d\n/></r>";
  using P = std::pair<std::string, TextPosition>;
  const std::vector<P> expected = {{"r", {2, 14}}, {"d", {6, 5}}, {"c", {5, 1}}, {"b", {3, 3}}};
  for (int tabSize : {1, 4, 8}) EXPECT_EQ(expected, Positions(text, tabSize)) << tabSize;

  // Where the parser counts bytes, its own stamps are the same, with a tab
  // size of one.
  TiXmlDocument document;
  document.SetTabSize(1);
  ParseAsScanned(text, &document);
  const TiXmlElement* r = document.FirstChildElement();
  EXPECT_EQ((TextPosition{static_cast<size_t>(r->Row()), static_cast<size_t>(r->Column())}),
            ElementPositions(text, document).Of(*r));
}

TEST(TextPositionTest, Utf8CharactersCountTheirBytes) {
  using P = std::pair<std::string, TextPosition>;
  const std::string afterDeclaration =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r a=\"\xC3\xA9\xE2\x82\xAC\"><b/></r>";
  EXPECT_EQ((std::vector<P>{{"r", {2, 1}}, {"b", {2, 14}}}), Positions(afterDeclaration));

  // The parser's own column for b here is 4.
  const std::string afterBom = "\xEF\xBB\xBF<r>\xEF\xBB\xBF<b/>\xF0\x9F\x8C\x8A<c/></r>";
  EXPECT_EQ((std::vector<P>{{"r", {1, 1}}, {"c", {1, 15}}, {"b", {1, 7}}}), Positions(afterBom));

  // An 8-bit document counts bytes throughout.
  const std::string latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xC3\xA9\"><b/></r>";
  EXPECT_EQ((std::vector<P>{{"r", {1, 44}}, {"b", {1, 54}}}), Positions(latin1));
}

TEST(TextPositionTest, DeclarationCountsInTheEncodingItReplaces) {
  // The parser chooses UTF-8 only once the declaration is read: up to the
  // start of its last version, encoding or standalone attribute it counts
  // each byte as a column, from there on a UTF-8 sequence as one.
  const std::string declarations[] = {
      "<?xml x=\xC3\xA9\xC3\xA9 version=\"1.0\"?>",
      "<?xml version=\"1.0\" encod\xEF\xBB\xBF<?xml version=\"1.0\"?>",
      "<?xml version=\"\xC3\xA9\" standalone='yes' encoding=\"utf-8\" x=\"\xC3\xA9\"?>",
      "<?xml x=\xC3\n version=\"1.0\"?>",
      // A character reference takes the quote along: the value ends before
      // "1.0", and "version" is no attribute.
      "<?xml standalone=\"&#x\"x41;\xC3\xA9 version=\"1.0\"?>",
  };
  for (const std::string& declaration : declarations) {
    const std::string text = declaration + "<r a=\"\xC3\xA9\"><b/></r>";
    const size_t line = 1 + std::count(text.begin(), text.end(), '\n');
    const size_t lineStart = text.rfind('\n', text.find("<r")) + 1;  // 0 when there is none
    using P = std::pair<std::string, TextPosition>;
    EXPECT_EQ((std::vector<P>{{"r", {line, text.find("<r") - lineStart + 1}},
                              {"b", {line, text.find("<b") - lineStart + 1}}}),
              Positions(text))
        << declaration;
  }
}

TEST(TextPositionTest, ManyElementsOnOneLineAreEachFound) {
  // A look-up searches the "<" noted in one pass; it does not count its way
  // along the line again, which made a long line's findings cost its length
  // each.
  std::string text = "<r>";
  for (int i = 0; i < 20000; ++i) text += "<b/>";
  text += "</r>";
  const auto found = Positions(text);
  ASSERT_EQ(20001u, found.size());
  EXPECT_EQ((TextPosition{1, 1}), found[0].second);
  for (size_t k = 1; k < found.size(); ++k)
    ASSERT_EQ((TextPosition{1, 4 + 4 * (found.size() - 1 - k)}), found[k].second) << k;
}

}  // namespace
}  // namespace nv
