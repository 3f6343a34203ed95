// Places in a document as the language server protocol names them: a line
// from 0 and a character counted in the code units the client and server
// agreed on, turned to and from byte offsets into the document's UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nv {

// The code units a position's character counts: UTF-16 unless the client
// offers another.
enum class PositionEncoding { kUtf16, kUtf8, kUtf32 };

struct LspPosition {
  size_t line = 0;
  size_t character = 0;

  bool operator==(const LspPosition& o) const { return line == o.line && character == o.character; }
};

struct LspRange {
  LspPosition start;
  LspPosition end;
};

// A document's lines, broken where the protocol breaks them: at LF, CR LF
// and CR. A byte that is not part of sound UTF-8 counts as one character of
// any encoding, as the replacement character a client shows for it. The
// text must outlive its lines.
class LspText {
 public:
  explicit LspText(const std::string& text);

  const std::string& Text() const { return m_text; }
  LspPosition PositionOf(size_t offset, PositionEncoding encoding) const;
  // The byte offset of a position; one past a line's end stands at its end,
  // one past the last line at the text's end.
  size_t OffsetOf(LspPosition at, PositionEncoding encoding) const;
  LspRange RangeOf(size_t from, size_t to, PositionEncoding encoding) const {
    return {PositionOf(from, encoding), PositionOf(to, encoding)};
  }
  size_t Lines() const { return m_starts.size(); }
  // The offset where a line's text ends, before its line break.
  size_t LineEnd(size_t line) const;

 private:
  const std::string& m_text;
  std::vector<size_t> m_starts;
  // Where the last position asked stands, so that positions asked in the
  // text's order along one long line cost the distance between them.
  mutable size_t m_lastOffset = 0;
  mutable LspPosition m_lastPosition;
  mutable PositionEncoding m_lastEncoding = PositionEncoding::kUtf16;
};

// The length of the UTF-8 sequence at text[at] when it is sound, else 0.
size_t Utf8SequenceAt(const std::string& text, size_t at);

// Whether the whole text is sound UTF-8.
bool IsUtf8(const std::string& text);

}  // namespace nv
