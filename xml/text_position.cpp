// Positions in a manifest's text. TinyXML stamps each element with the row
// and column where it saw it, but in a UTF-8 document it counts a character
// as one column and a byte-order mark as none, and a tab up to its tab stop.
// Replaying its count over the text finds the byte it stamped, and from that
// byte the position is counted the way editors count.
#include "xml/text_position.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>

namespace nv {

namespace {

bool StartsWithBom(const std::string& text) { return text.compare(0, 3, "\xEF\xBB\xBF") == 0; }

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
// LF CR and CR LF are one break each.
bool PairsWith(char first, char second) { return IsLineBreak(second) && second != first; }

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

// The parser's white space: isspace() in the C locale.
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

unsigned char ByteAt(const std::string& text, size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// Past the declaration's attribute at i, read by the parser's own attribute
// reading, character references and all, as it reads one before it has
// chosen an encoding; npos where it stops with an error.
size_t SkipDeclarationAttribute(const std::string& text, size_t i) {
  TiXmlAttribute attribute;
  const char* end = attribute.Parse(text.c_str() + i, nullptr, TIXML_ENCODING_UNKNOWN);
  return end ? static_cast<size_t>(end - text.c_str()) : std::string::npos;
}

// Where the parser last stamps its count inside the declaration whose "<" is
// at `at`: the start of its last version, encoding or standalone attribute,
// else the "<".
size_t LastStampInDeclaration(const std::string& text, size_t at) {
  auto startsWith = [&](size_t i, const char* word) {
    for (; *word; ++word, ++i)
      if (std::tolower(ByteAt(text, i)) != *word) return false;
    return true;
  };
  size_t last = at;
  for (size_t i = at + 5; ByteAt(text, i) && ByteAt(text, i) != '>';) {
    while (IsSpace(ByteAt(text, i))) ++i;
    if (startsWith(i, "version") || startsWith(i, "encoding") || startsWith(i, "standalone")) {
      last = i;
      i = SkipDeclarationAttribute(text, i);
      if (i == std::string::npos) break;
    } else {
      while (ByteAt(text, i) && ByteAt(text, i) != '>' && !IsSpace(ByteAt(text, i))) ++i;
    }
  }
  return last;
}

// The parser's row and column counting, one step at a time.
class ParserCount {
 public:
  ParserCount(const std::string& text, int tabSize, bool utf8)
      : m_text(text), m_tabSize(tabSize), m_utf8(utf8) {}

  size_t Offset() const { return m_offset; }
  int Row() const { return m_row; }
  int Column() const { return m_column; }
  bool AtEnd() const { return At(m_offset) == 0; }  // the parser stops at a NUL
  bool Reached(int row, int column) const { return m_row == row && m_column == column; }
  // The parser reads UTF-8 once past the declaration that selects it. It
  // stamps its count at the declaration's "<" and at each of its version,
  // encoding and standalone attributes still in the encoding it had, and
  // counts from the last of those stamps on in UTF-8.
  void SwitchAt(const TiXmlDeclaration* declaration) {
    if (!declaration || m_utf8) return;
    if (m_switch == std::string::npos && At(m_offset) == '<' &&
        Reached(declaration->Row() - 1, declaration->Column() - 1))
      m_switch = LastStampInDeclaration(m_text, m_offset);
    if (m_offset >= m_switch) m_utf8 = true;
  }
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
  size_t m_switch = std::string::npos;  // where counting turns to UTF-8
};

void ParserCount::Step() {
  const unsigned char c = At(m_offset);
  if (IsLineBreak(c)) {
    m_offset += PairsWith(c, At(m_offset + 1)) ? 2 : 1;
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

}  // namespace

TextLines::TextLines(const std::string& text) {
  m_starts.push_back(StartsWithBom(text) ? 3 : 0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsLineBreak(text[i])) continue;
    if (i + 1 < text.size() && PairsWith(text[i], text[i + 1])) ++i;
    m_starts.push_back(i + 1);
  }
}

TextPosition TextLines::At(size_t offset) const {
  const auto next = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
  if (next == m_starts.begin()) return TextPosition();  // inside the byte-order mark
  const size_t line = static_cast<size_t>(next - m_starts.begin());
  return {line, offset - m_starts[line - 1] + 1};
}

ElementPositions::ElementPositions(const std::string& text, const TiXmlDocument& document)
    : m_lines(text) {
  const int tabSize = document.TabSize();
  if (tabSize < 1) return;  // the parser did not count
  const TiXmlDeclaration* utf8Declaration = Utf8Declaration(document);
  ParserCount count(text, tabSize, StartsWithBom(text));
  while (!count.AtEnd()) {
    count.SwitchAt(utf8Declaration);
    if (text[count.Offset()] == '<')
      m_tags.push_back({count.Row(), count.Column(), count.Offset()});
    count.Step();
  }
}

TextPosition ElementPositions::Of(const TiXmlElement& element) const {
  const int row = element.Row() - 1, column = element.Column() - 1;
  auto before = [](const Tag& tag, std::pair<int, int> place) {
    return std::make_pair(tag.row, tag.column) < place;
  };
  auto tag = std::lower_bound(m_tags.begin(), m_tags.end(), std::make_pair(row, column), before);
  if (tag != m_tags.end() && tag->row == row && tag->column == column)
    return m_lines.At(tag->offset);
  // Not where the parser said; its own count is the best there is.
  return {static_cast<size_t>(std::max(1, element.Row())),
          static_cast<size_t>(std::max(1, element.Column()))};
}

}  // namespace nv
