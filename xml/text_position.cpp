// Positions in a manifest's text. TinyXML stamps each element with the row
// and column where it saw it, but in a UTF-8 document it counts a character
// as one column and a byte-order mark as none, and a tab up to its tab stop.
// Replaying its count over the text finds the byte it stamped, and from that
// byte the position is counted the way editors count.
#include "xml/text_position.h"

#include <tinyxml.h>

#include <algorithm>

#include "xml/tinyxml_lexer.h"

namespace nv {

namespace {

// The declaration from which the parser reads UTF-8: its first one at
// document level, when the encoding it names selects UTF-8.
const TiXmlDeclaration* Utf8Declaration(const TiXmlDocument& document) {
  for (const TiXmlNode* node = document.FirstChild(); node; node = node->NextSibling()) {
    const TiXmlDeclaration* declaration = node->ToDeclaration();
    if (declaration) return SelectsUtf8(declaration->Encoding()) ? declaration : nullptr;
  }
  return nullptr;
}

// The parser's row and column counting, one step at a time.
class ParserCount {
 public:
  ParserCount(const std::string& text, int tabSize) : m_lexer(text), m_tabSize(tabSize) {}

  size_t Offset() const { return m_offset; }
  int Row() const { return m_row; }
  int Column() const { return m_column; }
  bool Utf8() const { return m_lexer.Utf8(); }
  bool AtEnd() const { return m_offset >= m_lexer.Size(); }  // at a NUL, as the parser
  bool Reached(int row, int column) const { return m_row == row && m_column == column; }
  // The parser reads UTF-8 once past the declaration that selects it. It
  // stamps its count at the declaration's "<" and at each of its version,
  // encoding and standalone attributes still in the encoding it had, and
  // counts from the last of those stamps on in UTF-8.
  void SwitchAt(const TiXmlDeclaration* declaration) {
    if (!declaration || m_lexer.Utf8()) return;
    if (m_switch == std::string::npos && m_lexer.At(m_offset) == '<' &&
        Reached(declaration->Row() - 1, declaration->Column() - 1))
      m_switch = m_lexer.ReadDeclaration(m_offset).lastAttribute;
    if (m_offset >= m_switch) m_lexer.SetUtf8(true);
  }
  void Step();

 private:
  void StepOverEf();

  TinyXmlLexer m_lexer;
  const int m_tabSize;
  size_t m_offset = 0;
  int m_row = 0;
  int m_column = 0;
  size_t m_switch = std::string::npos;  // where counting turns to UTF-8
};

void ParserCount::Step() {
  const unsigned char c = m_lexer.At(m_offset);
  if (IsLineBreak(c)) {
    m_offset += LineBreakLength(c, m_lexer.At(m_offset + 1));
    ++m_row;
    m_column = 0;
  } else if (c == '\t') {
    ++m_offset;
    m_column = (m_column / m_tabSize + 1) * m_tabSize;
  } else if (m_lexer.Utf8() && c == 0xEF) {
    StepOverEf();
  } else {
    m_offset += m_lexer.Utf8() ? Utf8SequenceLength(c) : 1;
    ++m_column;
  }
}

// An EF just before the end is passed over without a column, as is a
// byte-order mark, U+FFFE or U+FFFF.
void ParserCount::StepOverEf() {
  if (!m_lexer.At(m_offset + 1) || !m_lexer.At(m_offset + 2)) {
    ++m_offset;
    return;
  }
  if (!m_lexer.ZeroWidthAt(m_offset)) ++m_column;
  m_offset += 3;
}

}  // namespace

TextLines::TextLines(const std::string& text) {
  m_starts.push_back(StartsWithByteOrderMark(text) ? 3 : 0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsLineBreak(text[i])) continue;
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    i += LineBreakLength(text[i], next) - 1;
    m_starts.push_back(i + 1);
  }
}

TextPosition TextLines::At(size_t offset) const {
  const auto next = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
  if (next == m_starts.begin()) return TextPosition();  // inside the byte-order mark
  const size_t line = static_cast<size_t>(next - m_starts.begin());
  return {line, offset - m_starts[line - 1] + 1};
}

size_t TextLines::Start(size_t line) const {
  return line >= 1 && line <= m_starts.size() ? m_starts[line - 1] : std::string::npos;
}

size_t TextLines::Offset(const TextPosition& at) const {
  const size_t start = Start(at.line);
  return start == std::string::npos ? start : start + at.column - 1;
}

ElementPositions::ElementPositions(const std::string& text, const TiXmlDocument& document)
    : m_text(text), m_lexer(m_text), m_lines(text) {
  const int tabSize = document.TabSize();
  if (tabSize < 1) return;  // the parser did not count
  const TiXmlDeclaration* utf8Declaration = Utf8Declaration(document);
  ParserCount count(text, tabSize);
  // The parser stamps a text at its first byte past the white space that
  // follows a tag.
  bool textMayStart = false;
  while (!count.AtEnd()) {
    count.SwitchAt(utf8Declaration);
    const unsigned char c = static_cast<unsigned char>(text[count.Offset()]);
    if (c == '<' || (textMayStart && !IsXmlSpace(c))) {
      // A byte-order mark takes no column and the parser skips it as white
      // space: of two bytes at one count, it stamps the later.
      if (!m_tags.empty() && count.Reached(m_tags.back().row, m_tags.back().column))
        m_tags.pop_back();
      m_tags.push_back({count.Row(), count.Column(), count.Offset(), count.Utf8()});
    }
    if (c == '>' || !IsXmlSpace(c)) textMayStart = c == '>';
    count.Step();
  }
}

const ElementPositions::Tag* ElementPositions::TagOf(const TiXmlNode& node) const {
  const int row = node.Row() - 1, column = node.Column() - 1;
  auto before = [](const Tag& tag, std::pair<int, int> place) {
    return std::make_pair(tag.row, tag.column) < place;
  };
  auto tag = std::lower_bound(m_tags.begin(), m_tags.end(), std::make_pair(row, column), before);
  if (tag != m_tags.end() && tag->row == row && tag->column == column) return &*tag;
  return nullptr;
}

size_t ElementPositions::OffsetOf(const TiXmlNode& node) const {
  const Tag* tag = TagOf(node);
  return tag ? tag->offset : std::string::npos;
}

// The tag is read again as the parser read it, in the encoding it read then,
// so that a quote inside a value is never taken for the value's end.
TextPosition ElementPositions::InTag(const TiXmlNode& element, const std::string& attribute,
                                     bool value) const {
  const Tag* tag = TagOf(element);
  if (!tag) return Of(element);
  TinyXmlLexer lexer = m_lexer;
  lexer.SetUtf8(tag->utf8);
  const size_t name = lexer.FindAttribute(tag->offset, attribute);
  if (name == std::string::npos) return Of(element);
  if (!value) return m_lines.At(name);
  const size_t at = lexer.ReadAttribute(name).value;
  return m_lines.At(at == std::string::npos ? name : at);
}

TextPosition ElementPositions::NameOf(const TiXmlNode& element,
                                      const std::string& attribute) const {
  return InTag(element, attribute, false);
}

TextPosition ElementPositions::ValueOf(const TiXmlNode& element,
                                       const std::string& attribute) const {
  return InTag(element, attribute, true);
}

TextPosition ElementPositions::Of(const TiXmlNode& node) const {
  const size_t offset = OffsetOf(node);
  if (offset != std::string::npos) return m_lines.At(offset);
  // Not where the parser said; its own count is the best there is.
  return {static_cast<size_t>(std::max(1, node.Row())),
          static_cast<size_t>(std::max(1, node.Column()))};
}

}  // namespace nv
