#include "xml/parser_limits.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdint>
#include <cstdio>
#include <functional>

namespace nv {
namespace {

constexpr size_t npos = std::string::npos;
using Limit = ElementBeyondLimits::Limit;

// The first element deeper than `limit`, attributes not counted.
size_t FindElementBeyondDepth(const std::string& text, size_t limit) {
  const ElementBeyondLimits beyond = FindElementBeyondLimits(text, {limit, SIZE_MAX});
  EXPECT_NE(Limit::kAttributes, beyond.limit);
  return beyond.offset;
}

// A document whose levels each open with `open` and close with `close`;
// `before` stands at the start and `inner` inside the deepest level.
struct Shape {
  const char* name;
  std::string before;
  std::string open;
  std::string close;
  std::string inner;
};

std::string Nest(const Shape& s, size_t levels) {
  std::string text = s.before;
  for (size_t i = 0; i < levels; ++i) text += s.open;
  text += s.inner;
  for (size_t i = 0; i < levels; ++i) text += s.close;
  return text;
}

// The deepest level TinyXML builds, walked without recursion.
size_t ParsedDepth(const std::string& text) {
  TiXmlDocument doc;
  doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
  size_t deepest = 0;
  std::vector<std::pair<const TiXmlElement*, size_t>> stack;
  for (auto* e = doc.FirstChildElement(); e; e = e->NextSiblingElement()) stack.push_back({e, 1});
  while (!stack.empty()) {
    auto [e, level] = stack.back();
    stack.pop_back();
    deepest = std::max(deepest, level);
    for (auto* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
      stack.push_back({c, level + 1});
  }
  return deepest;
}

const Shape kShapes[] = {
    {"plain elements", "", "<a>", "</a>", ""},
    {"attributes", "", "<a x=\"1\" y='2' z=3>", "</a >", ""},
    {"comment holding tags", "", "<a><!-- <b><c> -->", "</a>", ""},
    {"cdata holding tags", "", "<a><![CDATA[<b><c>]]>", "</a>", ""},
    {"declaration first", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n", "<a>", "</a>", ""},
    {"8-bit declaration first", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<a>", "</a>",
     ""},
    {"doctype first", "<!DOCTYPE a>\n", "<a>", "</a>", ""},
    {"processing instruction inside", "", "<a><?pi <b> ?>", "</a>", ""},
    {"value holding a closing angle", "", "<a x=\"<b>\" y='>'>", "</a>", ""},
    {"value holding an empty-tag end", "", "<a x=\"/>\">", "</a>", ""},
    {"self-closing siblings", "", "<b/><c x='1' /><a>", "</a>", ""},
    {"text between", "", "<a>text &amp; more\n", "</a>", ""},
    {"unclosed elements", "", "<a>", "", ""},
    {"byte-order mark first", "\xEF\xBB\xBF", "<a>", "</a>", ""},
    {"declaration inside", "", "<a><?xml version='1.0'?>", "</a>", ""},
    // A reference ends at the first ";" read back over digits to a "#" or
    // "x": these swallow a quote, a comment's start and a tag's end.
    {"reference across a quote", "", "<a x=\"&#x\"x41;\">", "</a>", ""},
    {"decimal reference across a quote", "", "<a x='&#'#65;'>", "</a>", ""},
    {"reference across a comment's start", "", "<a>&#x<!--x41;", "</a>", ""},
    {"reference across a tag's end", "", "<a x=\"&#x\"/>x41;\">", "</a>", ""},
    {"references without digits", "", "<a x=\"&#;&#x;&lt;&\">&#;&#x;", "</a>", ""},
};

TEST(ParserLimitsTest, LimitIsExactForEachConstruct) {
  for (const Shape& s : kShapes) {
    EXPECT_EQ(npos, FindElementBeyondDepth(Nest(s, 256), 256)) << s.name;
    std::string deep = Nest(s, 257);
    size_t at = FindElementBeyondDepth(deep, 256);
    ASSERT_NE(npos, at) << s.name;
    EXPECT_EQ(s.before.size() + 256 * s.open.size(), at) << s.name;
  }
}

TEST(ParserLimitsTest, SelfClosingElementOpensALevel) {
  Shape s{"deepest is empty", "", "<a>", "</a>", "<b/>"};
  EXPECT_EQ(npos, FindElementBeyondDepth(Nest(s, 255), 256));
  EXPECT_EQ(256 * 3u, FindElementBeyondDepth(Nest(s, 256), 256));
}

TEST(ParserLimitsTest, SiblingsDoNotAddUp) {
  std::string text = "<r>";
  for (int i = 0; i < 10000; ++i) text += "<a><b/></a>";
  text += "</r>";
  EXPECT_EQ(npos, FindElementBeyondDepth(text, 3));
  EXPECT_EQ(6u, FindElementBeyondDepth(text, 2));
}

TEST(ParserLimitsTest, ParserStopsWhereTheScanStops) {
  // Text at document level ends the document; nothing after it is parsed.
  EXPECT_EQ(npos, FindElementBeyondDepth("<a/>stray" + std::string(300, '<') + "<a>", 1));
  // So does a NUL byte.
  std::string withNul = "<a>" + std::string(1, '\0') + "<a><a>";
  EXPECT_EQ(npos, FindElementBeyondDepth(withNul, 1));
}

TEST(ParserLimitsTest, ReferenceWithoutItsNumberStopsTheParser) {
  // Past a reference whose digits do not lead back from its ";", the parser
  // reads nothing, so nothing there counts.
  for (const char* broken : {"&#x", "&#x41", "&#x4g;", "&#1a;"}) {
    const std::string text = std::string("<r>") + broken + "<a><a><a>";
    EXPECT_EQ(1u, ParsedDepth(text)) << broken;
    EXPECT_EQ(npos, FindElementBeyondDepth(text, 1)) << broken;
  }
}

TEST(ParserLimitsTest, Utf8LeadByteCarriesTheQuoteAlong) {
  // Read as UTF-8, 0xE3 takes the closing quote and a blank with it, so the
  // value runs on to the next quote and the <x> elements are real. Read as
  // 8-bit text, they stand inside the value of b.
  std::string tail = "<r a=\"\xE3\" b=\"><x><x><x>\"/>";
  EXPECT_EQ(4u, ParsedDepth("\xEF\xBB\xBF" + tail));
  EXPECT_NE(npos, FindElementBeyondDepth("\xEF\xBB\xBF" + tail, 3));
  EXPECT_EQ(1u, ParsedDepth(tail));
  EXPECT_EQ(npos, FindElementBeyondDepth(tail, 1));
}

TEST(ParserLimitsTest, NeverFewerLevelsThanTheParserBuilds) {
  auto scanned = [](const std::string& text) {
    size_t limit = 0;
    while (FindElementBeyondDepth(text, limit) != npos) ++limit;
    return limit;
  };
  std::vector<std::string> docs;
  for (const Shape& s : kShapes) docs.push_back(Nest(s, 5));
  docs.push_back("<?xml version=\"1.0\" encoding='UTF-8'?><r a=\"\xE3\" b=\"><x><x>\"/>");
  docs.push_back("<?xml version=\"1.0\" encoding='latin1'?><r a=\"\xE3\" b=\"><x><x>\"/>");
  docs.push_back("<r><x>&#x3c;<y>&lt;</y></x><!-- <z> --></r>");
  docs.push_back("<?xml encoding=\"a>b\"?><r><s/></r>");
  docs.push_back("<?xml other=\"a><r><s><t>\"?>");
  for (const std::string& doc : docs) EXPECT_LE(ParsedDepth(doc), scanned(doc)) << doc;
}

// An element with `count` attributes of one form, numbered to keep them apart.
std::string WithAttributes(const char* form, size_t count, const char* end = "/>") {
  std::string text = "<r>\n<e";
  for (size_t i = 0; i < count; ++i) {
    char attribute[64];
    std::snprintf(attribute, sizeof attribute, form, i);
    text += attribute;
  }
  return text + end + "</r>";
}

TEST(ParserLimitsTest, AttributeLimitIsExactForEachForm) {
  const char* const forms[] = {" a%zu=\"1\"", " a%zu='>'", " a%zu=x", "\n\ta%zu = \"&amp;\""};
  for (const char* form : forms) {
    EXPECT_EQ(Limit::kNone, FindElementBeyondLimits(WithAttributes(form, 256)).limit) << form;
    const ElementBeyondLimits beyond = FindElementBeyondLimits(WithAttributes(form, 257));
    EXPECT_EQ(Limit::kAttributes, beyond.limit) << form;
    EXPECT_EQ(4u, beyond.offset) << form;
  }
}

TEST(ParserLimitsTest, AttributesCountPerElement) {
  std::string text = "<r>";
  for (int i = 0; i < 1000; ++i) text += "<e a=\"1\" b=\"2\"/>";
  text += "</r>";
  EXPECT_EQ(Limit::kNone, FindElementBeyondLimits(text, {256, 2}).limit);
  EXPECT_EQ(Limit::kAttributes, FindElementBeyondLimits(text, {256, 1}).limit);
}

TEST(ParserLimitsTest, AttributesOfATagThatEndsInAnErrorCount) {
  // The parser reads every attribute before it finds the tag unterminated.
  EXPECT_EQ(Limit::kAttributes, FindElementBeyondLimits(WithAttributes(" a%zu=''", 257, "")).limit);
  // A declaration's attributes are read once each, not checked against
  // each other.
  std::string declaration = "<?xml version=\"1.0\"";
  for (int i = 0; i < 1000; ++i) declaration += " x=\"1\"";
  EXPECT_EQ(Limit::kNone, FindElementBeyondLimits(declaration + "?><r/>").limit);
}

TEST(ParserLimitsTest, FirstElementBeyondEitherLimitIsFound) {
  const std::string wide = WithAttributes(" a%zu=''", 3);
  EXPECT_EQ(Limit::kAttributes, FindElementBeyondLimits(wide + "<a><a><a>", {4, 2}).limit);
  EXPECT_EQ(Limit::kDepth, FindElementBeyondLimits("<a><a><a>" + wide, {2, 2}).limit);
  EXPECT_EQ(Limit::kNone, FindElementBeyondLimits("<a><a><a>" + wide, {5, 3}).limit);
}

// How many elements, attributes and other nodes TinyXML builds of a text.
struct NodeCounts {
  size_t elements = 0;
  size_t attributes = 0;
  size_t others = 0;
};

NodeCounts ParsedNodes(const std::string& text) {
  TiXmlDocument doc;
  doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
  NodeCounts counts;
  std::vector<const TiXmlNode*> stack;
  for (auto* n = doc.FirstChild(); n; n = n->NextSibling()) stack.push_back(n);
  while (!stack.empty()) {
    const TiXmlNode* node = stack.back();
    stack.pop_back();
    if (const TiXmlElement* e = node->ToElement()) {
      ++counts.elements;
      for (auto* a = e->FirstAttribute(); a; a = a->Next()) ++counts.attributes;
    } else {
      ++counts.others;
    }
    for (auto* n = node->FirstChild(); n; n = n->NextSibling()) stack.push_back(n);
  }
  return counts;
}

TEST(ParserLimitsTest, CountsInAllAreExactForEachConstruct) {
  for (const Shape& s : kShapes) {
    const std::string text = Nest(s, 5);
    const NodeCounts n = ParsedNodes(text);
    ParserLimits exact;
    exact.elements = n.elements;
    exact.allAttributes = n.attributes;
    exact.otherNodes = n.others;
    EXPECT_EQ(Limit::kNone, FindElementBeyondLimits(text, exact).limit) << s.name;
    struct Fewer {
      size_t ParserLimits::*count;
      size_t parsed;
      Limit limit;
    };
    for (const Fewer& f : {Fewer{&ParserLimits::elements, n.elements, Limit::kElements},
                           Fewer{&ParserLimits::allAttributes, n.attributes, Limit::kAllAttributes},
                           Fewer{&ParserLimits::otherNodes, n.others, Limit::kOtherNodes}}) {
      if (f.parsed == 0) continue;
      ParserLimits fewer = exact;
      fewer.*f.count = f.parsed - 1;
      EXPECT_EQ(f.limit, FindElementBeyondLimits(text, fewer).limit) << s.name;
    }
  }
}

TEST(ParserLimitsTest, CountPassedIsFoundWhereItIsPassed) {
  const std::string text = "<?xml version=\"1.0\"?><r><e a='1'/>x<e b='2' c='3'/><!--c--></r>";
  ParserLimits limits;
  limits.elements = 2;
  EXPECT_EQ(text.find("<e b"), FindElementBeyondLimits(text, limits).offset);
  limits = ParserLimits();
  limits.allAttributes = 2;
  EXPECT_EQ(text.find("<e b"), FindElementBeyondLimits(text, limits).offset);
  limits = ParserLimits();
  limits.otherNodes = 2;
  EXPECT_EQ(text.find("<!--"), FindElementBeyondLimits(text, limits).offset);
}

}  // namespace
}  // namespace nv
