// The scan follows TinyXML's own tokenising step by step: which "<" opens an
// element, a comment, CDATA, a declaration or an unknown tag, where a quoted
// value or a text ends, and how many bytes one character takes: a character
// reference or, once the parser reads UTF-8, a multi-byte sequence. Where the
// parser would stop with an error the scan stops too; where it cannot tell,
// it keeps counting, so it may count more levels, never fewer.
#include "xml/parser_limits.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nv {

namespace {

constexpr size_t npos = std::string::npos;

// isspace() in the C locale, as the parser tests white space.
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsAsciiAlpha(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
// The parser takes every byte from 127 up for a letter.
bool IsNameStart(unsigned char c) { return c >= 127 || IsAsciiAlpha(c) || c == '_'; }
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// How many bytes the parser's UTF-8 reader steps over for a lead byte.
size_t Utf8Length(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 1;
}

// One reading of the text, under one assumption about the encoding that the
// document's first declaration selects.
class Scanner {
 public:
  Scanner(const std::string& text, bool utf8AfterDeclaration)
      : m_s(text.data()),
        m_n(std::min(text.size(), std::strlen(text.c_str()))),  // the parser stops at a NUL
        m_utf8AfterDeclaration(utf8AfterDeclaration) {}

  ElementBeyondLimits Find(ParserLimits limits);

 private:
  unsigned char At(size_t i) const { return i < m_n ? static_cast<unsigned char>(m_s[i]) : 0; }
  bool StartsWith(size_t i, const char* literal, bool ignoreCase = false) const;
  size_t CharLength(size_t i) const { return m_utf8 ? Utf8Length(At(i)) : 1; }
  size_t SkipChar(size_t i) const;
  size_t SkipCharacterReference(size_t i) const;
  size_t SkipSpace(size_t i) const;
  size_t SkipName(size_t i) const;
  size_t SkipPast(size_t i, const char* terminator) const;
  size_t SkipUntil(size_t i, char end) const;
  size_t SkipQuoted(size_t i, char quote) const;
  size_t SkipAttribute(size_t i) const;
  size_t SkipDeclaration(size_t i) const;
  size_t SkipEndTag(size_t i) const;
  size_t SkipStartTag(size_t i, bool* empty, size_t* attributes) const;

  const char* m_s;
  size_t m_n;
  bool m_utf8AfterDeclaration;
  bool m_utf8 = false;
};

bool Scanner::StartsWith(size_t i, const char* literal, bool ignoreCase) const {
  for (; *literal; ++literal, ++i) {
    unsigned char c = At(i), l = static_cast<unsigned char>(*literal);
    if (ignoreCase && IsAsciiAlpha(c)) c |= 0x20;
    if (c != l) return false;  // past the end At() gives 0, which no literal holds
  }
  return true;
}

size_t Scanner::SkipSpace(size_t i) const {
  for (;;) {
    // In UTF-8 the parser also skips byte-order marks and U+FFFE, U+FFFF.
    if (m_utf8 && (StartsWith(i, "\xEF\xBB\xBF") || StartsWith(i, "\xEF\xBF\xBE") ||
                   StartsWith(i, "\xEF\xBF\xBF"))) {
      i += 3;
    } else if (i < m_n && IsSpace(At(i))) {
      ++i;
    } else {
      return i;
    }
  }
}

// A name must start with a letter or "_"; npos where none does.
size_t Scanner::SkipName(size_t i) const {
  if (!IsNameStart(At(i))) return npos;
  while (i < m_n && IsNameChar(At(i))) ++i;
  return i;
}

// Past the terminator, or the end of the text where there is none.
size_t Scanner::SkipPast(size_t i, const char* terminator) const {
  const char* end = std::search(m_s + i, m_s + m_n, terminator, terminator + std::strlen(terminator));
  return end == m_s + m_n ? m_n : static_cast<size_t>(end - m_s) + std::strlen(terminator);
}

// To `end` by characters, as text and quoted values are read: in UTF-8 a
// lead byte carries the bytes after it along, whatever they are, and a
// character reference may carry far more.
size_t Scanner::SkipUntil(size_t i, char end) const {
  while (i < m_n && At(i) != static_cast<unsigned char>(end)) i = SkipChar(i);
  return i < m_n ? i : npos;
}

// One character of text or of a quoted value; npos where the parser stops.
size_t Scanner::SkipChar(size_t i) const {
  const size_t length = CharLength(i);
  return length == 1 && At(i) == '&' ? SkipCharacterReference(i) : i + length;
}

// "&#...;" and "&#x...;" as the parser reads them: it takes the first ";"
// after them for their end and reads back from it over digits to the
// nearest "#" (or "x"), which need not be their own, so that one reference
// may swallow quotes and tags. Where no digits lead back, the parser stops
// with an error. Any other "&" is one character.
size_t Scanner::SkipCharacterReference(size_t i) const {
  if (At(i + 1) != '#' || !At(i + 2)) return i + 1;
  const bool hex = At(i + 2) == 'x';
  if (hex && !At(i + 3)) return npos;
  const char* semicolon = static_cast<const char*>(
      std::memchr(m_s + i + (hex ? 3 : 2), ';', m_n - std::min(m_n, i + (hex ? 3 : 2))));
  if (!semicolon) return npos;
  const size_t end = static_cast<size_t>(semicolon - m_s);
  for (size_t q = end - 1; At(q) != (hex ? 'x' : '#'); --q)
    if (!(hex ? std::isxdigit(At(q)) : std::isdigit(At(q)))) return npos;
  return end + 1;
}

size_t Scanner::SkipQuoted(size_t i, char quote) const {
  i = SkipUntil(i + 1, quote);
  return i == npos ? npos : i + 1;
}

// name = value, with the value quoted or not.
size_t Scanner::SkipAttribute(size_t i) const {
  i = SkipName(i);
  if (i == npos) return npos;
  i = SkipSpace(i);
  if (At(i) != '=') return npos;
  i = SkipSpace(i + 1);
  if (i >= m_n) return npos;
  if (At(i) == '"' || At(i) == '\'') return SkipQuoted(i, static_cast<char>(At(i)));
  for (; i < m_n && !IsSpace(At(i)) && At(i) != '/' && At(i) != '>'; ++i)
    if (At(i) == '"' || At(i) == '\'') return npos;
  return i;
}

// "<?xml ... >": only version, encoding and standalone are read as
// attributes; anything else is passed over up to white space or ">".
size_t Scanner::SkipDeclaration(size_t i) const {
  i += 5;
  while (i < m_n) {
    if (At(i) == '>') return i + 1;
    i = SkipSpace(i);
    if (i >= m_n) return npos;
    if (StartsWith(i, "version", true) || StartsWith(i, "encoding", true) ||
        StartsWith(i, "standalone", true)) {
      i = SkipAttribute(i);
      if (i == npos) return npos;
    } else {
      while (i < m_n && At(i) != '>' && !IsSpace(At(i))) ++i;
    }
  }
  return npos;
}

size_t Scanner::SkipEndTag(size_t i) const {
  i += 2;
  while (i < m_n && IsNameChar(At(i))) ++i;
  i = SkipSpace(i);
  return At(i) == '>' ? i + 1 : npos;
}

// Counts the attributes, also those of a tag that ends in an error: the
// parser reads each of them before it stops.
size_t Scanner::SkipStartTag(size_t i, bool* empty, size_t* attributes) const {
  *empty = false;
  *attributes = 0;
  i = SkipName(SkipSpace(i + 1));
  while (i != npos) {
    i = SkipSpace(i);
    if (i >= m_n) return npos;
    if (At(i) == '/') {
      *empty = true;
      return At(i + 1) == '>' ? i + 2 : npos;
    }
    if (At(i) == '>') return i + 1;
    ++*attributes;
    i = SkipAttribute(i);
  }
  return npos;
}

ElementBeyondLimits Scanner::Find(ParserLimits limits) {
  using Limit = ElementBeyondLimits::Limit;
  size_t depth = 0;
  size_t elements = 0;
  size_t allAttributes = 0;
  size_t otherNodes = 0;
  bool encodingChosen = StartsWith(0, "\xEF\xBB\xBF");
  m_utf8 = encodingChosen;
  size_t i = 0;
  for (;;) {
    i = SkipSpace(i);
    if (i >= m_n) return {};
    if (At(i) != '<' && depth == 0) return {};  // text outside every element ends the document
    const bool endTag = depth > 0 && StartsWith(i, "</");
    const bool element = At(i) == '<' && IsNameStart(At(i + 1));
    // Everything else becomes a node too: a text, a declaration, a comment,
    // CDATA, or an unknown tag ("</" among them at document level).
    if (!endTag && !element && ++otherNodes > limits.otherNodes) return {i, Limit::kOtherNodes};
    if (At(i) != '<') {
      i = SkipUntil(i, '<');
    } else if (endTag) {
      --depth;
      i = SkipEndTag(i);
    } else if (StartsWith(i, "<?xml", true)) {
      i = SkipDeclaration(i);
      if (depth == 0 && !encodingChosen) {
        encodingChosen = true;
        m_utf8 = m_utf8AfterDeclaration;
      }
    } else if (StartsWith(i, "<!--")) {
      i = SkipPast(i + 4, "-->");
    } else if (StartsWith(i, "<![CDATA[")) {
      i = SkipPast(i + 9, "]]>");
    } else if (element) {
      if (++depth > limits.depth) return {i, Limit::kDepth};
      if (++elements > limits.elements) return {i, Limit::kElements};
      bool empty = false;
      size_t attributes = 0;
      const size_t start = i;
      i = SkipStartTag(i, &empty, &attributes);
      if (attributes > limits.attributes) return {start, Limit::kAttributes};
      allAttributes += attributes;
      if (allAttributes > limits.allAttributes) return {start, Limit::kAllAttributes};
      if (empty) --depth;
    } else {
      i = SkipPast(i + 1, ">");  // "<!DOCTYPE", "<?pi", "< " and the like
    }
    if (i == npos) return {};
  }
}

}  // namespace

ElementBeyondLimits FindElementBeyondLimits(const std::string& text, ParserLimits limits) {
  // The first declaration at document level switches the parser to UTF-8 or
  // to 8-bit reading, depending on its encoding value; read both ways.
  const ElementBeyondLimits as8Bit = Scanner(text, false).Find(limits);
  const ElementBeyondLimits asUtf8 = Scanner(text, true).Find(limits);
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
