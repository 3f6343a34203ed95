// TinyXML 2.6's byte rules: which bytes are white space, names and line
// breaks, how far one character reaches, what a "<" opens, where a quoted
// value, a tag or a declaration ends, and which encoding a declaration
// selects. The limits scan and the element positions both read through them.
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <string>

namespace nv {

// isspace() in the C locale, the parser's white space in either encoding.
inline bool IsXmlSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The parser cannot tell a letter beyond ASCII, so it takes every byte from
// 127 up for one, in 8-bit text as in UTF-8.
inline bool IsXmlNameStart(unsigned char c) {
  return c >= 127 || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_';
}
inline bool IsXmlNameChar(unsigned char c) {
  return IsXmlNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// How many bytes the parser's UTF-8 reader takes for a lead byte, whatever
// follows it, by its own table: a byte that leads no sequence is one
// character of its own.
inline size_t Utf8SequenceLength(unsigned char lead) {
  return static_cast<size_t>(TiXmlBase::utf8ByteTable[lead]);
}

// The parser counts CR LF, and also LF CR, as one line break.
inline bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n'; }
inline size_t LineBreakLength(unsigned char first, unsigned char next) {
  return IsLineBreak(next) && next != first ? 2 : 1;
}

// The parser reads UTF-8 from the start behind a byte-order mark; editors
// do not show the mark.
bool StartsWithByteOrderMark(const std::string& text);

// Whether a declaration's encoding value turns the parser to UTF-8: an empty
// one does, and one that begins "UTF-8" or "UTF8" in any letter case.
bool SelectsUtf8(const std::string& encoding);

// What the parser makes of the node that starts at a position.
enum class XmlNode { kText, kEndTag, kDeclaration, kComment, kCData, kElement, kUnknown };

// A text as TinyXML's tokeniser reads it, in the encoding it reads at the
// time: 8-bit, or UTF-8, in which a lead byte carries the bytes after it
// along. Each step answers the offset past what it read, or npos where the
// parser stops with an error.
class TinyXmlLexer {
 public:
  static constexpr size_t npos = std::string::npos;

  // The text up to its first NUL, where the parser stops; read as UTF-8 from
  // the start behind a byte-order mark, as the parser reads it.
  explicit TinyXmlLexer(const std::string& text);

  size_t Size() const { return m_n; }
  // The byte at `i`; 0 at the end and past it.
  unsigned char At(size_t i) const { return i < m_n ? static_cast<unsigned char>(m_s[i]) : 0; }
  bool Utf8() const { return m_utf8; }
  void SetUtf8(bool utf8) { m_utf8 = utf8; }
  // `literal` in lower case where the case is ignored: the parser folds
  // ASCII letters alone.
  bool StartsWith(size_t i, const char* literal, bool ignoreCase = false) const;

  // In UTF-8 a byte-order mark, U+FFFE or U+FFFF, which the parser passes
  // over as white space and counts as no column.
  bool ZeroWidthAt(size_t i) const;
  size_t SkipSpace(size_t i) const;

  // `inElement`: at document level "</" ends nothing and is an unknown tag.
  XmlNode Identify(size_t i, bool inElement) const;
  // Past the node Identify() named at `i`; of an element, past its start tag.
  size_t SkipNode(size_t i, XmlNode node) const;

  struct StartTag {
    size_t end = npos;
    size_t attributes = 0;  // also of a tag that ends in an error
    bool empty = false;     // "/>"
  };
  StartTag ReadStartTag(size_t i) const;

  // An attribute of a start tag, read from its name on: where its name
  // ends, where its value begins (past the quote) and where the attribute
  // ends; end is npos where the parser stops in it.
  struct Attribute {
    size_t nameEnd = npos;
    size_t value = npos;
    size_t end = npos;
  };
  Attribute ReadAttribute(size_t i) const;
  // The offset of the name of the start tag's attribute `name`, the tag
  // opening at `i`; npos where the tag has none of that name.
  size_t FindAttribute(size_t i, const std::string& name) const;

  struct Declaration {
    size_t end = npos;
    // Where the parser last stamps its row and column inside the
    // declaration: the start of its last version, encoding or standalone
    // attribute, else the "<".
    size_t lastAttribute = npos;
  };
  Declaration ReadDeclaration(size_t i) const;

 private:
  size_t SkipName(size_t i) const;
  size_t SkipChar(size_t i) const;
  size_t SkipCharacterReference(size_t i) const;
  size_t SkipUntil(size_t i, char end) const;
  size_t SkipPast(size_t i, const char* terminator) const;
  size_t SkipEndTag(size_t i) const;

  const char* m_s;
  size_t m_n;
  bool m_utf8;
};

}  // namespace nv
