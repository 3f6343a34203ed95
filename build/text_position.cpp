// Positions in a manifest's text. TinyXML stamps each element with the row
// and column where it saw it, but in a UTF-8 document it counts a character
// as one column and a byte-order mark as none, and a tab up to its tab stop.
// Replaying its count over the text finds the byte it stamped, and from that
// byte the position is counted the way editors count.
#include "build/text_position.h"

#include <tinyxml.h>

#include <algorithm>

namespace nv {

namespace {

constexpr size_t npos = std::string::npos;

bool StartsWithBom(const std::string& text) { return text.compare(0, 3, "\xEF\xBB\xBF") == 0; }

// The declaration from which the parser reads UTF-8: its first one at
// document level, when the encoding it names is empty or begins "UTF-8" or
// "UTF8" in any letter case.
const TiXmlDeclaration* Utf8Declaration(const TiXmlDocument& document) {
  for (const TiXmlNode* node = document.FirstChild(); node; node = node->NextSibling()) {
    const TiXmlDeclaration* declaration = node->ToDeclaration();
    if (!declaration) continue;
    std::string encoding = declaration->Encoding();
    std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                   [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    const bool utf8 = encoding.empty() || encoding.compare(0, 5, "UTF-8") == 0 ||
                      encoding.compare(0, 4, "UTF8") == 0;
    return utf8 ? declaration : nullptr;
  }
  return nullptr;
}

// The parser's row and column counting, one step at a time.
class ParserCount {
 public:
  ParserCount(const std::string& text, int tabSize, bool utf8)
      : m_text(text), m_tabSize(tabSize), m_utf8(utf8) {}

  size_t Offset() const { return m_offset; }
  bool AtEnd() const { return At(m_offset) == 0; }  // the parser stops at a NUL
  bool Reached(int row, int column) const { return m_row == row && m_column == column; }
  bool Passed(int row, int column) const {
    return m_row > row || (m_row == row && m_column > column);
  }
  void ReadUtf8() { m_utf8 = true; }
  void Step();

 private:
  unsigned char At(size_t i) const {
    return i < m_text.size() ? static_cast<unsigned char>(m_text[i]) : 0;
  }
  void StepOverEf();

  const std::string& m_text;
  const int m_tabSize;
  bool m_utf8;
  size_t m_offset = 0;
  int m_row = 0;
  int m_column = 0;
};

void ParserCount::Step() {
  const unsigned char c = At(m_offset);
  if (c == '\r' || c == '\n') {
    m_offset += At(m_offset + 1) == (c == '\r' ? '\n' : '\r') ? 2 : 1;
    ++m_row;
    m_column = 0;
  } else if (c == '\t') {
    ++m_offset;
    m_column = (m_column / m_tabSize + 1) * m_tabSize;
  } else if (m_utf8 && c == 0xEF) {
    StepOverEf();
  } else {
    // A UTF-8 lead byte carries its sequence along, whatever follows it.
    m_offset += m_utf8 ? std::max(1, TiXmlBase::utf8ByteTable[c]) : 1;
    ++m_column;
  }
}

// Byte-order marks and U+FFFE, U+FFFF take no column; an EF just before the
// end is passed over without one.
void ParserCount::StepOverEf() {
  const unsigned char b1 = At(m_offset + 1), b2 = At(m_offset + 2);
  if (!b1 || !b2) {
    ++m_offset;
    return;
  }
  m_offset += 3;
  const bool zeroWidth = (b1 == 0xBB && b2 == 0xBF) || (b1 == 0xBF && (b2 == 0xBE || b2 == 0xBF));
  if (!zeroWidth) ++m_column;
}

// The offset of the element's "<", or npos when the count never reaches it.
size_t OffsetOf(const std::string& text, const TiXmlDocument& document,
                const TiXmlElement& element) {
  if (document.TabSize() < 1) return npos;  // the parser did not count
  const TiXmlDeclaration* declaration = Utf8Declaration(document);
  ParserCount count(text, document.TabSize(), StartsWithBom(text));
  while (!count.AtEnd()) {
    // The parser reads UTF-8 once past the declaration; the only bytes this
    // may count otherwise lie inside the declaration itself.
    if (declaration && count.Reached(declaration->Row() - 1, declaration->Column() - 1))
      count.ReadUtf8();
    if (count.Reached(element.Row() - 1, element.Column() - 1) && text[count.Offset()] == '<')
      return count.Offset();
    if (count.Passed(element.Row() - 1, element.Column() - 1)) break;
    count.Step();
  }
  return npos;
}

}  // namespace

TextPosition PositionAt(const std::string& text, size_t offset) {
  offset = std::min(offset, text.size());
  TextPosition at;
  size_t lineStart = StartsWithBom(text) ? std::min<size_t>(3, offset) : 0;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (i + 1 < offset && text[i + 1] == (text[i] == '\r' ? '\n' : '\r')) ++i;
    ++at.line;
    lineStart = i + 1;
  }
  at.column = offset - lineStart + 1;
  return at;
}

TextPosition PositionOf(const std::string& text, const TiXmlDocument& document,
                        const TiXmlElement& element) {
  const size_t offset = OffsetOf(text, document, element);
  if (offset != npos) return PositionAt(text, offset);
  return {static_cast<size_t>(std::max(1, element.Row())),
          static_cast<size_t>(std::max(1, element.Column()))};
}

}  // namespace nv
