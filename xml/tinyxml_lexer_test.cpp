// The lexer's rules held against what TinyXML itself does with the same bytes.
#include "xml/tinyxml_lexer.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

namespace nv {
namespace {

TEST(TinyXmlLexerTest, EncodingSelectsUtf8AsTheParserDecides) {
  // A character reference becomes two bytes in UTF-8 and one in 8-bit text.
  for (const char* encoding :
       {"", "utf-8", "UTF-8", "uTf8", "UTF-8x", "UTF-16", "latin1", " utf-8", "utf"}) {
    const std::string text =
        std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><r a=\"&#233;\"/>";
    TiXmlDocument document;
    document.Parse(text.c_str());
    const size_t bytes = std::string(document.RootElement()->Attribute("a")).size();
    EXPECT_EQ(bytes == 2, SelectsUtf8(encoding)) << encoding;
  }
}

TEST(TinyXmlLexerTest, NodesAreWhatTheParserBuildsAndEndWhereItsNextBegins) {
  const struct {
    std::string node;
    XmlNode identified;
    int parsedType;
  } cases[] = {
      {"<a x='>'/>", XmlNode::kElement, TiXmlNode::TINYXML_ELEMENT},
      {"<_a/>", XmlNode::kElement, TiXmlNode::TINYXML_ELEMENT},
      {"<\xE9/>", XmlNode::kElement, TiXmlNode::TINYXML_ELEMENT},
      {"<>", XmlNode::kUnknown, TiXmlNode::TINYXML_UNKNOWN},
      {"< a>", XmlNode::kUnknown, TiXmlNode::TINYXML_UNKNOWN},
      {"<1/>", XmlNode::kUnknown, TiXmlNode::TINYXML_UNKNOWN},
      {"<!DOCTYPE a>", XmlNode::kUnknown, TiXmlNode::TINYXML_UNKNOWN},
      {"<?pi?>", XmlNode::kUnknown, TiXmlNode::TINYXML_UNKNOWN},
      {"<!-- <a> -->", XmlNode::kComment, TiXmlNode::TINYXML_COMMENT},
      {"<![CDATA[<a>]]>", XmlNode::kCData, TiXmlNode::TINYXML_TEXT},
      {"<?XmL version='1.0' x=\"'>", XmlNode::kDeclaration, TiXmlNode::TINYXML_DECLARATION},
      {"a &#x3c; b", XmlNode::kText, TiXmlNode::TINYXML_TEXT},
  };
  for (const auto& c : cases) {
    const std::string text = "<r>" + c.node + "<z/></r>";
    TiXmlDocument document;
    document.Parse(text.c_str());
    ASSERT_TRUE(document.RootElement()) << c.node;
    const TiXmlNode* parsed = document.RootElement()->FirstChild();
    EXPECT_EQ(c.parsedType, parsed->Type()) << c.node;
    EXPECT_STREQ("z", parsed->NextSibling()->Value()) << c.node;

    const TinyXmlLexer lexer(text);
    EXPECT_EQ(c.identified, lexer.Identify(3, true)) << c.node;
    EXPECT_EQ(3 + c.node.size(), lexer.SkipNode(3, c.identified)) << c.node;
  }
}

}  // namespace
}  // namespace nv
