// Where something stands in a manifest's text, as an editor jumps to it:
// line and column from 1, the column counted in bytes with a tab as one.
#pragma once

#include <cstddef>
#include <string>

class TiXmlDocument;
class TiXmlElement;

namespace nv {

struct TextPosition {
  size_t line = 1;
  size_t column = 1;

  bool operator==(const TextPosition& o) const { return line == o.line && column == o.column; }
};

// The position of the byte at `offset`. Lines break where TinyXML breaks
// them, at LF, CR, CR LF and LF CR, so that lines agree with its rows; a
// byte-order mark at the start takes no column, as editors don't show it.
TextPosition PositionAt(const std::string& text, size_t offset);

// The position of the "<" of an element parsed from `text` into `document`.
TextPosition PositionOf(const std::string& text, const TiXmlDocument& document,
                        const TiXmlElement& element);

}  // namespace nv
