// Where something stands in a manifest's text, as an editor jumps to it:
// line and column from 1, the column counted in bytes with a tab as one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TiXmlDeclaration;
class TiXmlDocument;
class TiXmlElement;

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

 private:
  std::vector<size_t> m_starts;
};

// Where the elements of a manifest stand in the text it was parsed from.
// Each look-up takes time in proportion to the length of the element's line.
class ElementPositions {
 public:
  // Both must outlive this.
  ElementPositions(const std::string& text, const TiXmlDocument& document);

  // The position of the element's "<".
  TextPosition Of(const TiXmlElement& element) const;

 private:
  // Where the parser's count stands at the start of one of its rows.
  struct RowStart {
    size_t offset;
    bool utf8;
  };

  const std::string& m_text;
  const int m_tabSize;
  const TiXmlDeclaration* m_utf8Declaration;
  TextLines m_lines;
  std::vector<RowStart> m_rows;
};

}  // namespace nv
