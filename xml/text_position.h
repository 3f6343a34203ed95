// Where something stands in a manifest's text, as an editor jumps to it:
// line and column from 1, the column counted in bytes with a tab as one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "xml/tinyxml_lexer.h"

class TiXmlDeclaration;
class TiXmlDocument;
class TiXmlNode;

namespace nv {

struct TextPosition {
  size_t line = 1;
  size_t column = 1;

  bool operator==(const TextPosition& o) const { return line == o.line && column == o.column; }
};

// The lines of a text. They break where TinyXML breaks them, at LF, CR,
// CR LF and LF CR, so that they agree with its rows; a byte-order mark at
// the start takes no column, as editors don't show it.
class TextLines {
 public:
  explicit TextLines(const std::string& text);

  // The position of the byte at `offset`.
  TextPosition At(size_t offset) const;
  // The offset of the first byte of line `line`, from 1; npos for a line
  // the text does not have.
  size_t Start(size_t line) const;
  // The offset of the byte at `at`, which may be past the text's end; npos
  // for a line the text does not have.
  size_t Offset(const TextPosition& at) const;

 private:
  std::vector<size_t> m_starts;
};

// Where the elements of a manifest, and its texts, stand in the text it was
// parsed from. One pass over the text notes where the parser's count stood
// at each "<" and where each text may begin; a look-up is then a search
// among those, so that a manifest with many findings on one long line costs
// no more than any other.
class ElementPositions {
 public:
  ElementPositions(const std::string& text, const TiXmlDocument& document);
  // The lexer reads the copy of the text it holds.
  ElementPositions(const ElementPositions&) = delete;
  ElementPositions& operator=(const ElementPositions&) = delete;

  // The position of the element's "<", of a text's first byte.
  TextPosition Of(const TiXmlNode& node) const;
  // The offset of the element's "<" (a text's first byte) in the text; npos
  // where the parser's count finds none.
  size_t OffsetOf(const TiXmlNode& node) const;
  // The position of the element's attribute of that name, and of its
  // value's first byte (past the quote): where a fault of the name, or of
  // the value, is. The element's own where its tag holds no such attribute.
  TextPosition NameOf(const TiXmlNode& element, const std::string& attribute) const;
  TextPosition ValueOf(const TiXmlNode& element, const std::string& attribute) const;
  // The position of the byte at `offset`.
  TextPosition At(size_t offset) const { return m_lines.At(offset); }

 private:
  // A "<" of the text, or a byte where a text may begin: the parser's row
  // and column there, its offset, and whether the parser reads UTF-8 there.
  struct Tag {
    int row;
    int column;
    size_t offset;
    bool utf8;
  };

  const Tag* TagOf(const TiXmlNode& node) const;
  TextPosition InTag(const TiXmlNode& element, const std::string& attribute, bool value) const;

  const std::string m_text;    // attributes are looked for in it
  const TinyXmlLexer m_lexer;  // over m_text
  TextLines m_lines;
  std::vector<Tag> m_tags;  // in text order, which is row and column order
};

}  // namespace nv
