// The tolerant reading of a manifest's text: where a cursor ("|" in the
// cases) stands, half-typed and broken text included, and the elements it
// holds; and that no text, however large or strange, trips it.
#include "cli/manifest_cursor.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

struct Marked {
  std::string text;
  size_t cursor;
};

Marked Mark(const std::string& marked) {
  const size_t at = marked.find('|');
  return {marked.substr(0, at) + marked.substr(at + 1), at};
}

const char* PlaceName(CursorPlace place) {
  switch (place) {
    case CursorPlace::kText:
      return "text";
    case CursorPlace::kElementName:
      return "element";
    case CursorPlace::kEndTagName:
      return "end tag";
    case CursorPlace::kAttributeName:
      return "attribute";
    case CursorPlace::kAttributeValue:
      return "value";
    case CursorPlace::kElsewhere:
      return "elsewhere";
  }
  return "";
}

// The place as "PLACE [WORD] in ELEMENT.ATTRIBUTE under OPEN>OPEN".
std::string Told(const Marked& m) {
  const ScannedText scan = ScanText(m.text, m.cursor);
  const Cursor& c = scan.cursor;
  std::string told = std::string(PlaceName(c.place)) + " [" +
                     m.text.substr(c.word.begin, c.word.end - c.word.begin) + "]";
  if (c.element != kNoIndex) told += " in " + scan.elements[c.element].name;
  if (c.attribute != kNoIndex) told += "." + scan.elements[c.element].attributes[c.attribute].name;
  told += " under ";
  for (size_t i = 0; i < c.open.size(); ++i) told += (i ? ">" : "") + scan.elements[c.open[i]].name;
  return told;
}

TEST(ManifestCursorTest, WhereACursorStands) {
  const std::pair<const char*, const char*> cases[] = {
      {"|<nuvarinepackage>", "text [] under "},
      {"<nuvarinepackage>\n  <|", "element [] under nuvarinepackage"},
      {"<nuvarinepackage><theme name=\"a\"><temp|",
       "element [temp] in temp under nuvarinepackage>theme"},
      // Broken off by the next tag, which is read as it stands.
      {"<nuvarinepackage><theme><temp|<virtualshelf/></theme>",
       "element [temp] in temp under nuvarinepackage>theme"},
      {"<nuvarinepackage><theme><templates>\n</te|",
       "end tag [te] under nuvarinepackage>theme>templates"},
      {"<theme nam|e=\"x\">", "attribute [name] in theme.name under "},
      {"<theme name=\"x\" |>", "attribute [] in theme under "},
      {"<catalog name=\"x\" |/>", "attribute [] in catalog under "},
      {"<theme name=\"x\"|>", "elsewhere [] in theme under "},
      {"<catalog name=\"x\" /|>", "elsewhere [] in catalog under "},
      {"<detail file=\"gr|", "value [gr] in detail.file under "},
      // A quote left open takes the next for its close: the word typed ends
      // with its line.
      {"<a><detail file=\"gr|\n mode=\"grid\"/></a>", "value [gr] in detail.file under a"},
      {"<detail file='a\"b|'/>", "value [a\"b] in detail.file under "},
      {"<detail file=|", "value [] in detail.file under "},
      {"<detail file=\"\"|/>", "elsewhere [] in detail under "},
      {"<a>\n  <!-- <theme | -->\n</a>", "elsewhere [] under a"},
      {"<a><![CDATA[ <theme | ]]></a>", "elsewhere [] under a"},
      {"<?xml version=\"1.0\"|?><a/>", "elsewhere [] under "},
      {"<!DOCTYPE a [ <!ENTITY x \">\"> | ]><a/>", "elsewhere [] under "},
      {"<a>\n  <b name=\"x\">\n    |\n  </b>", "text [] under a>b"},
      {"<a><b>tem|</b></a>", "text [tem] under a>b"},
      {"<a><b/>|</a>", "text [] under a"},
      {"<a><b></b>|", "text [] under a"},
      // An end tag closes what was opened inside its element; one that
      // matches nothing open is passed over.
      {"<a><b><c></a>|", "text [] under "},
      {"<a></b>|", "text [] under a"},
      {"<a x=\"1 > 2\">|", "text [] under a"},
      {"<a>1 < 2 |</a>", "attribute [] under a"},
  };
  for (const auto& [marked, want] : cases) EXPECT_EQ(want, Told(Mark(marked))) << marked;
}

std::string Of(const std::string& text, TextSpan span) {
  return text.substr(span.begin, span.end - span.begin);
}

TEST(ManifestCursorTest, TheElementsOfABrokenText) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<!-- <theme name=\"old\"/> -->\n"
      "<nuvarinepackage>\n"
      "  <theme name=\"Day &amp; Night\" screenshot='shot.png'>\n"
      "    <templates><detail mode=\"grid\" file=\"grid.xml\"/>\n"
      "  </theme>\n"
      "  <theme name=\"Eve";
  const ScannedText scan = ScanText(text);
  ASSERT_EQ(5u, scan.elements.size());
  const ScannedElement& root = scan.elements[0];
  EXPECT_EQ((std::vector<size_t>{1, 4}), root.children);
  EXPECT_FALSE(root.hasEndTag);
  EXPECT_EQ(text.size(), root.whole.end);
  const ScannedElement& theme = scan.elements[1];
  EXPECT_EQ("theme", Of(text, theme.nameSpan));
  EXPECT_EQ("theme", Of(text, theme.endNameSpan));
  EXPECT_EQ("Day & Night", theme.Attribute("name")->value);
  EXPECT_EQ("Day &amp; Night", Of(text, theme.Attribute("name")->valueSpan));
  EXPECT_EQ("shot.png", theme.Attribute("screenshot")->value);
  EXPECT_EQ('\'', theme.Attribute("screenshot")->quote);
  // The templates left open end where the theme's end tag begins.
  const ScannedElement& templates = scan.elements[2];
  EXPECT_EQ(1u, templates.parent);
  EXPECT_FALSE(templates.hasEndTag);
  EXPECT_EQ("<templates><detail mode=\"grid\" file=\"grid.xml\"/>\n  ", Of(text, templates.whole));
  EXPECT_EQ("grid.xml", scan.elements[3].Attribute("file")->value);
  EXPECT_EQ("<theme name=\"Eve", Of(text, scan.elements[4].whole));
  EXPECT_EQ("Eve", scan.elements[4].Attribute("name")->value);
}

TEST(ManifestCursorTest, CharacterReferences) {
  const ScannedText scan = ScanText("<a v=\"&#233;&#x20AC;&#x1F600;&nbsp;&#0;&#xZZ;&\"/>");
  EXPECT_EQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80&nbsp;&#0;&#xZZ;&",
            scan.elements[0].Attribute("v")->value);
}

// Every span read lies in the text, and each element in its parent.
void ExpectInside(const std::string& text, const ScannedText& scan) {
  EXPECT_LE(scan.cursor.word.end, text.size());
  EXPECT_LE(scan.cursor.word.begin, scan.cursor.word.end);
  for (const ScannedElement& e : scan.elements) {
    EXPECT_LE(e.whole.end, text.size());
    EXPECT_LE(e.nameSpan.end, e.whole.end);
    for (const ScannedAttribute& a : e.attributes) EXPECT_LE(a.valueSpan.end, e.whole.end);
    if (e.parent == kNoIndex) continue;
    EXPECT_LE(scan.elements[e.parent].whole.begin, e.whole.begin);
    EXPECT_LE(e.whole.end, scan.elements[e.parent].whole.end);
  }
}

// Nothing trips the reader, and what it reads of a large text stays in
// step with the text: each case asks at the text's end.
TEST(ManifestCursorTest, AnyTextIsRead) {
  const std::string deep = [] {
    std::string s;
    for (int i = 0; i < 50000; ++i) s += "<x>";
    for (int i = 0; i < 50000; ++i) s += "</y>";
    return s;
  }();
  const std::string wide =
      "<a v=\"" + std::string(1 << 20, 'v') + "\" " + std::string(1 << 20, '=');
  const std::string many = [] {
    std::string s = "<a>";
    for (int i = 0; i < 50000; ++i) s += "<b c=\"d\"/>";
    return s;
  }();
  struct Case {
    std::string text;
    size_t elements;
    size_t open;
  };
  const Case cases[] = {
      {deep, 50000, 50000},
      {wide, 1, 0},
      {many, 50001, 1},
      {std::string("<\0a\0>\0</", 8), 0, 0},
      {"<<<<>>>>\"\"''==//", 0, 0},
  };
  for (const Case& c : cases) {
    const ScannedText scan = ScanText(c.text, c.text.size());
    EXPECT_EQ(c.elements, scan.elements.size());
    EXPECT_EQ(c.open, scan.cursor.open.size());
    ExpectInside(c.text, scan);
  }
}

}  // namespace
}  // namespace nv
