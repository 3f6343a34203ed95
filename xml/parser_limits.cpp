// The scan counts what TinyXML's tokenising would build, node by node, as
// the lexer reads the text. Where the parser would stop with an error the
// scan stops too; where it cannot tell, it keeps counting, so it may count
// more levels, never fewer.
#include "xml/parser_limits.h"

#include <tinyxml.h>

#include "xml/tinyxml_lexer.h"

namespace nv {

namespace {

using Limit = ElementBeyondLimits::Limit;

// One reading of the text, under one assumption about the encoding that the
// document's first declaration selects.
class Scanner {
 public:
  Scanner(const std::string& text, bool utf8AfterDeclaration, const ParserLimits& limits)
      : m_lexer(text),
        m_utf8AfterDeclaration(utf8AfterDeclaration),
        m_encodingChosen(m_lexer.Utf8()),
        m_limits(limits) {}

  ElementBeyondLimits Find();

 private:
  // The limit that the node at *i passes, if any; *i is moved past the node.
  Limit ReadElement(size_t* i);
  Limit ReadOther(XmlNode node, size_t* i);

  TinyXmlLexer m_lexer;
  const bool m_utf8AfterDeclaration;
  bool m_encodingChosen;  // by a byte-order mark or the first declaration
  const ParserLimits m_limits;
  size_t m_depth = 0;
  size_t m_elements = 0;
  size_t m_allAttributes = 0;
  size_t m_otherNodes = 0;
};

ElementBeyondLimits Scanner::Find() {
  size_t i = 0;
  while ((i = m_lexer.SkipSpace(i)) < m_lexer.Size()) {
    const XmlNode node = m_lexer.Identify(i, m_depth > 0);
    // Text outside every element ends the document.
    if (node == XmlNode::kText && m_depth == 0) break;
    const size_t start = i;
    const Limit passed = node == XmlNode::kElement ? ReadElement(&i) : ReadOther(node, &i);
    if (passed != Limit::kNone) return {start, passed};
    if (i == TinyXmlLexer::npos) break;
  }
  return {};
}

Limit Scanner::ReadElement(size_t* i) {
  if (++m_depth > m_limits.depth) return Limit::kDepth;
  if (++m_elements > m_limits.elements) return Limit::kElements;
  const TinyXmlLexer::StartTag tag = m_lexer.ReadStartTag(*i);
  *i = tag.end;
  if (tag.attributes > m_limits.attributes) return Limit::kAttributes;
  m_allAttributes += tag.attributes;
  if (m_allAttributes > m_limits.allAttributes) return Limit::kAllAttributes;
  if (tag.empty) --m_depth;
  return Limit::kNone;
}

// Everything but an element or an end tag becomes a node too: a text, a
// declaration, a comment, CDATA, or an unknown tag ("</" among them at
// document level).
Limit Scanner::ReadOther(XmlNode node, size_t* i) {
  if (node == XmlNode::kEndTag)
    --m_depth;
  else if (++m_otherNodes > m_limits.otherNodes)
    return Limit::kOtherNodes;
  *i = m_lexer.SkipNode(*i, node);
  if (node == XmlNode::kDeclaration && m_depth == 0 && !m_encodingChosen) {
    m_encodingChosen = true;
    m_lexer.SetUtf8(m_utf8AfterDeclaration);
  }
  return Limit::kNone;
}

}  // namespace

ElementBeyondLimits FindElementBeyondLimits(const std::string& text, ParserLimits limits) {
  // The first declaration at document level switches the parser to UTF-8 or
  // to 8-bit reading, depending on its encoding value; read both ways.
  const ElementBeyondLimits as8Bit = Scanner(text, false, limits).Find();
  const ElementBeyondLimits asUtf8 = Scanner(text, true, limits).Find();
  return as8Bit.offset <= asUtf8.offset ? as8Bit : asUtf8;
}

void ParseAsScanned(const std::string& text, TiXmlDocument* document) {
  // The text ends at its first NUL, as the depth scan and the positions of
  // findings read it. TinyXML's UTF-8 reader steps over a whole multi-byte
  // sequence even when a NUL or the end comes inside it: a lead byte before
  // a NUL would carry the parse on into text that nothing scanned, however
  // deep it nests. Trailing NUL bytes keep those steps inside the buffer.
  std::string padded = text.substr(0, text.find('\0'));
  padded.append(4, '\0');
  document->Parse(padded.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
}

}  // namespace nv
