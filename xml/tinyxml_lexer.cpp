// TinyXML's tokenising, step by step, with its quirks kept: a "<" opens an
// element only before a letter, "_" or any byte from 127 up; a declaration
// reads only its version, encoding and standalone attributes and passes over
// anything else; a character reference ends at the first ";" after it, which
// need not be its own; and once the parser reads UTF-8 a lead byte carries
// the bytes after it along, quotes and "<" among them. Reading the text by
// these rules, without building a tree, finds where the parser would go.
#include "xml/tinyxml_lexer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nv {

bool StartsWithByteOrderMark(const std::string& text) {
  return text.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

bool SelectsUtf8(const std::string& encoding) {
  // The parser compares the value as it compares its own keywords.
  const TinyXmlLexer value(encoding);
  return value.Size() == 0 || value.StartsWith(0, "utf-8", true) ||
         value.StartsWith(0, "utf8", true);
}

TinyXmlLexer::TinyXmlLexer(const std::string& text)
    : m_s(text.data()),
      m_n(std::min(text.size(), std::strlen(text.c_str()))),
      m_utf8(StartsWithByteOrderMark(text)) {}

bool TinyXmlLexer::StartsWith(size_t i, const char* literal, bool ignoreCase) const {
  for (; *literal; ++literal, ++i) {
    unsigned char c = At(i);
    if (ignoreCase && c >= 'A' && c <= 'Z') c |= 0x20;
    if (c != static_cast<unsigned char>(*literal)) return false;  // no literal holds At()'s 0
  }
  return true;
}

bool TinyXmlLexer::ZeroWidthAt(size_t i) const {
  if (!m_utf8 || At(i) != 0xEF) return false;
  const unsigned char b1 = At(i + 1), b2 = At(i + 2);
  return (b1 == 0xBB && b2 == 0xBF) || (b1 == 0xBF && (b2 == 0xBE || b2 == 0xBF));
}

size_t TinyXmlLexer::SkipSpace(size_t i) const {
  for (;;) {
    if (ZeroWidthAt(i)) {
      i += 3;
    } else if (i < m_n && IsXmlSpace(At(i))) {
      ++i;
    } else {
      return i;
    }
  }
}

// A name must start with a letter or "_".
size_t TinyXmlLexer::SkipName(size_t i) const {
  if (!IsXmlNameStart(At(i))) return npos;
  while (i < m_n && IsXmlNameChar(At(i))) ++i;
  return i;
}

// One character of text or of a quoted value; "&" leads no UTF-8 sequence.
// Inline in SkipUntil, with the reference below, as a long value is read
// one character at a time.
inline size_t TinyXmlLexer::SkipChar(size_t i) const {
  const unsigned char c = At(i);
  if (c == '&') return SkipCharacterReference(i);
  return i + (m_utf8 ? Utf8SequenceLength(c) : 1);
}

// "&#...;" and "&#x...;": the parser takes the first ";" after them for
// their end and reads back from it over digits to the nearest "#" (or "x"),
// which need not be their own, so that one reference may swallow quotes and
// tags. Where no digits lead back, it stops. Any other "&" is one character.
inline size_t TinyXmlLexer::SkipCharacterReference(size_t i) const {
  if (At(i + 1) != '#' || !At(i + 2)) return i + 1;
  const bool hex = At(i + 2) == 'x';
  if (hex && !At(i + 3)) return npos;
  const size_t from = std::min(m_n, i + (hex ? 3 : 2));
  const char* semicolon = static_cast<const char*>(std::memchr(m_s + from, ';', m_n - from));
  if (!semicolon) return npos;
  const size_t end = static_cast<size_t>(semicolon - m_s);
  for (size_t q = end - 1; At(q) != (hex ? 'x' : '#'); --q)
    if (!(hex ? std::isxdigit(At(q)) : std::isdigit(At(q)))) return npos;
  return end + 1;
}

// To `end` by characters, as text and quoted values are read.
size_t TinyXmlLexer::SkipUntil(size_t i, char end) const {
  while (i < m_n && At(i) != static_cast<unsigned char>(end)) i = SkipChar(i);
  return i < m_n ? i : npos;
}

// Past the terminator, or to the end of the text where there is none:
// comments, CDATA and unknown tags are read byte by byte.
size_t TinyXmlLexer::SkipPast(size_t i, const char* terminator) const {
  const size_t length = std::strlen(terminator);
  const char* end = std::search(m_s + i, m_s + m_n, terminator, terminator + length);
  return end == m_s + m_n ? m_n : static_cast<size_t>(end - m_s) + length;
}

// name = value, the value quoted or, as the parser forgives, not.
TinyXmlLexer::Attribute TinyXmlLexer::ReadAttribute(size_t i) const {
  Attribute attribute;
  i = attribute.nameEnd = SkipName(i);
  if (i == npos) return attribute;
  i = SkipSpace(i);
  if (At(i) != '=') return attribute;
  i = SkipSpace(i + 1);
  if (i >= m_n) return attribute;
  if (At(i) == '"' || At(i) == '\'') {
    attribute.value = i + 1;
    i = SkipUntil(i + 1, static_cast<char>(At(i)));
    attribute.end = i == npos ? npos : i + 1;
    return attribute;
  }
  attribute.value = i;
  for (; i < m_n && !IsXmlSpace(At(i)) && At(i) != '/' && At(i) != '>'; ++i)
    if (At(i) == '"' || At(i) == '\'') return attribute;
  attribute.end = i;
  return attribute;
}

size_t TinyXmlLexer::FindAttribute(size_t i, const std::string& name) const {
  for (i = SkipName(SkipSpace(i + 1)); i != npos;) {
    i = SkipSpace(i);
    if (i >= m_n || At(i) == '/' || At(i) == '>') break;
    const Attribute attribute = ReadAttribute(i);
    if (attribute.nameEnd - i == name.size() &&
        name.compare(0, name.size(), m_s + i, name.size()) == 0)
      return i;
    i = attribute.end;
  }
  return npos;
}

// "</" and a name, which the parser compares with the element's own; here
// any name passes, so that a wrong one counts on rather than stops.
size_t TinyXmlLexer::SkipEndTag(size_t i) const {
  i += 2;
  while (i < m_n && IsXmlNameChar(At(i))) ++i;
  i = SkipSpace(i);
  return At(i) == '>' ? i + 1 : npos;
}

XmlNode TinyXmlLexer::Identify(size_t i, bool inElement) const {
  if (At(i) != '<') return XmlNode::kText;
  if (inElement && At(i + 1) == '/') return XmlNode::kEndTag;
  if (StartsWith(i, "<?xml", true)) return XmlNode::kDeclaration;
  if (StartsWith(i, "<!--")) return XmlNode::kComment;
  if (StartsWith(i, "<![CDATA[")) return XmlNode::kCData;
  if (IsXmlNameStart(At(i + 1))) return XmlNode::kElement;
  return XmlNode::kUnknown;  // "<!DOCTYPE", "<?pi", "< " and the like
}

size_t TinyXmlLexer::SkipNode(size_t i, XmlNode node) const {
  switch (node) {
    case XmlNode::kText:
      return SkipUntil(i, '<');
    case XmlNode::kEndTag:
      return SkipEndTag(i);
    case XmlNode::kDeclaration:
      return ReadDeclaration(i).end;
    case XmlNode::kComment:
      return SkipPast(i + 4, "-->");
    case XmlNode::kCData:
      return SkipPast(i + 9, "]]>");
    case XmlNode::kElement:
      return ReadStartTag(i).end;
    case XmlNode::kUnknown:
      break;
  }
  return SkipPast(i + 1, ">");
}

// The parser reads every attribute before it finds the tag unterminated.
TinyXmlLexer::StartTag TinyXmlLexer::ReadStartTag(size_t i) const {
  StartTag tag;
  for (i = SkipName(SkipSpace(i + 1)); i != npos; i = ReadAttribute(i).end) {
    i = SkipSpace(i);
    if (i >= m_n) break;
    if (At(i) == '/') {
      tag.empty = true;
      tag.end = At(i + 1) == '>' ? i + 2 : npos;
      break;
    }
    if (At(i) == '>') {
      tag.end = i + 1;
      break;
    }
    ++tag.attributes;
  }
  return tag;
}

// Anything but version, encoding and standalone is passed over up to white
// space or ">", quotes and all.
TinyXmlLexer::Declaration TinyXmlLexer::ReadDeclaration(size_t i) const {
  Declaration declaration;
  declaration.lastAttribute = i;
  for (i += 5; i < m_n;) {
    if (At(i) == '>') {
      declaration.end = i + 1;
      break;
    }
    i = SkipSpace(i);
    if (StartsWith(i, "version", true) || StartsWith(i, "encoding", true) ||
        StartsWith(i, "standalone", true)) {
      declaration.lastAttribute = i;
      i = ReadAttribute(i).end;
    } else {
      while (i < m_n && At(i) != '>' && !IsXmlSpace(At(i))) ++i;
    }
  }
  return declaration;
}

}  // namespace nv
