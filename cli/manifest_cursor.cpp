// The tolerant reading of a manifest's or layout's text, and of where a
// cursor stands in it.
#include "cli/manifest_cursor.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace nv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Any byte but the blanks and XML's markup characters: a name half typed,
// or of bytes no editor would type, is still read as one.
bool IsNameByte(char c) { return !IsBlank(c) && !std::strchr("<>/=\"'", c) && c != '\0'; }

void AppendUtf8(unsigned long point, std::string* out) {
  if (point < 0x80) {
    *out += static_cast<char>(point);
  } else if (point < 0x800) {
    *out += static_cast<char>(0xC0 | (point >> 6));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    *out += static_cast<char>(0xE0 | (point >> 12));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (point >> 18));
    *out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// The reference at text[at] ('&'), appended as what it stands for; the
// bytes it takes, or 0 for one XML does not define, which stays as written.
size_t ReadReference(const std::string& raw, size_t at, std::string* out) {
  static const std::pair<const char*, char> kNamed[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& [name, c] : kNamed)
    if (raw.compare(at, std::strlen(name), name) == 0) {
      *out += c;
      return std::strlen(name);
    }
  if (raw.compare(at, 2, "&#") != 0) return 0;
  const bool hex = at + 2 < raw.size() && raw[at + 2] == 'x';
  const size_t digits = at + (hex ? 3 : 2);
  const size_t end = raw.find(';', digits);
  if (end == std::string::npos || end == digits || end - digits > 8) return 0;
  unsigned long point = 0;
  for (size_t i = digits; i < end; ++i) {
    const char c = raw[i];
    const int digit = c >= '0' && c <= '9'          ? c - '0'
                      : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : -1;
    if (digit < 0) return 0;
    point = point * (hex ? 16 : 10) + digit;
  }
  if (point == 0 || point > 0x10FFFF) return 0;
  AppendUtf8(point, out);
  return end + 1 - at;
}

std::string Unescaped(const std::string& raw) {
  std::string out;
  for (size_t at = 0; at < raw.size();) {
    const size_t taken = raw[at] == '&' ? ReadReference(raw, at, &out) : 0;
    if (taken == 0) out += raw[at];
    at += taken == 0 ? 1 : taken;
  }
  return out;
}

// A construct from '<' to `end`: a cursor stands in it past its '<', and
// at its end too when nothing closed it, as one typing there continues it.
bool Holds(size_t begin, size_t end, bool closed, size_t cursor) {
  return cursor != kNoIndex && begin < cursor && (cursor < end || (cursor == end && !closed));
}

class Scanner {
 public:
  Scanner(const std::string& text, size_t cursor) : m_text(text), m_cursor(cursor) {}

  ScannedText Scan();

 private:
  size_t Text(size_t at);
  size_t Markup(size_t at);
  size_t SkipTo(size_t at, const char* close);
  size_t Declaration(size_t at);
  size_t StartTag(size_t at);
  size_t Attribute(size_t at, ScannedAttribute* attribute);
  size_t AttributeValue(size_t at, ScannedAttribute* attribute);
  size_t EndTag(size_t at);
  void Close(const std::string& name, size_t at, size_t end, TextSpan nameSpan);
  void PlaceInStartTag(const ScannedElement& element, size_t index);
  TextSpan TypedValue(TextSpan value) const;
  void Place(CursorPlace place, TextSpan word, size_t element = kNoIndex,
             size_t attribute = kNoIndex);
  size_t Blanks(size_t at) const {
    while (at < m_text.size() && IsBlank(m_text[at])) ++at;
    return at;
  }
  size_t Name(size_t at) const {
    while (at < m_text.size() && IsNameByte(m_text[at])) ++at;
    return at;
  }

  const std::string& m_text;
  const size_t m_cursor;
  ScannedText m_result;
  std::vector<size_t> m_open;
  bool m_placed = false;
  // How many open elements have each name: an end tag that closes none is
  // told without a walk down the stack.
  std::unordered_map<std::string, size_t> m_openNames;
};

ScannedText Scanner::Scan() {
  size_t at = 0;
  while (at < m_text.size()) at = m_text[at] == '<' ? Markup(at) : Text(at);
  // After the last tag, or in a text without any.
  Place(CursorPlace::kText, {m_cursor, m_cursor});
  for (size_t index : m_open) m_result.elements[index].whole.end = m_text.size();
  return std::move(m_result);
}

// A cursor between tags, or at their edges, stands in the text between.
size_t Scanner::Text(size_t at) {
  const size_t next = m_text.find('<', at);
  const size_t end = next == std::string::npos ? m_text.size() : next;
  if (m_cursor != kNoIndex && at <= m_cursor && m_cursor <= end) {
    size_t word = m_cursor;
    while (word > at && IsNameByte(m_text[word - 1])) --word;
    Place(CursorPlace::kText, {word, m_cursor});
  }
  return end;
}

size_t Scanner::Markup(size_t at) {
  // Between two tags, with no text between them.
  if (m_cursor == at) Place(CursorPlace::kText, {at, at});
  if (m_text.compare(at, 4, "<!--") == 0) return SkipTo(at, "-->");
  if (m_text.compare(at, 9, "<![CDATA[") == 0) return SkipTo(at, "]]>");
  if (m_text.compare(at, 2, "<?") == 0) return SkipTo(at, "?>");
  if (m_text.compare(at, 2, "<!") == 0) return Declaration(at);
  if (m_text.compare(at, 2, "</") == 0) return EndTag(at);
  return StartTag(at);
}

// A comment, CDATA section or processing instruction runs to its close, or
// to the text's end.
size_t Scanner::SkipTo(size_t at, const char* close) {
  const size_t found = m_text.find(close, at + 2);
  const size_t end = found == std::string::npos ? m_text.size() : found + std::strlen(close);
  if (Holds(at, end, found != std::string::npos, m_cursor))
    Place(CursorPlace::kElsewhere, {m_cursor, m_cursor});
  return end;
}

// A DOCTYPE's internal subset may hold '>' between its brackets.
size_t Scanner::Declaration(size_t at) {
  size_t depth = 0, i = at + 2;
  for (; i < m_text.size(); ++i) {
    const char c = m_text[i];
    if (c == '[') ++depth;
    if (c == ']' && depth > 0) --depth;
    if (c == '>' && depth == 0) break;
  }
  const bool closed = i < m_text.size();
  const size_t end = closed ? i + 1 : m_text.size();
  if (Holds(at, end, closed, m_cursor)) Place(CursorPlace::kElsewhere, {m_cursor, m_cursor});
  return end;
}

size_t Scanner::StartTag(size_t at) {
  ScannedElement element;
  element.nameSpan = {at + 1, Name(at + 1)};
  element.name = m_text.substr(at + 1, element.nameSpan.end - at - 1);
  element.parent = m_open.empty() ? kNoIndex : m_open.back();
  size_t i = element.nameSpan.end;
  bool closed = false, empty = false;
  while (true) {
    i = Blanks(i);
    if (i >= m_text.size() || m_text[i] == '<') break;  // broken off
    if (m_text[i] == '>' || m_text.compare(i, 2, "/>") == 0) {
      empty = m_text[i] == '/';
      i += empty ? 2 : 1;
      closed = true;
      break;
    }
    if (!IsNameByte(m_text[i])) {
      ++i;  // a stray '/', '=' or quote
      continue;
    }
    element.attributes.emplace_back();
    i = Attribute(i, &element.attributes.back());
  }
  element.whole = {at, i};
  const size_t index = m_result.elements.size();
  if (Holds(at, i, closed, m_cursor)) PlaceInStartTag(element, index);
  if (element.name.empty()) return i;  // a '<' in text: no element
  if (element.parent != kNoIndex) m_result.elements[element.parent].children.push_back(index);
  if (closed && !empty) {
    m_open.push_back(index);
    ++m_openNames[element.name];
  }
  m_result.elements.push_back(std::move(element));
  return i;
}

size_t Scanner::Attribute(size_t at, ScannedAttribute* attribute) {
  attribute->nameSpan = {at, Name(at)};
  attribute->name = m_text.substr(at, attribute->nameSpan.end - at);
  const size_t equals = Blanks(attribute->nameSpan.end);
  if (equals >= m_text.size() || m_text[equals] != '=') return attribute->nameSpan.end;
  attribute->hasValue = true;
  return AttributeValue(Blanks(equals + 1), attribute);
}

// XML allows no '<' in a value: one ends a quote left open, as it does the
// tag, so that a value half typed does not swallow the tags after it.
size_t Scanner::AttributeValue(size_t at, ScannedAttribute* attribute) {
  size_t end;
  size_t next;
  if (at < m_text.size() && (m_text[at] == '"' || m_text[at] == '\'')) {
    attribute->quoted = true;
    attribute->quote = m_text[at];
    const char stops[] = {attribute->quote, '<', '\0'};
    end = m_text.find_first_of(stops, at + 1);
    if (end == std::string::npos) end = m_text.size();
    next = end < m_text.size() && m_text[end] == attribute->quote ? end + 1 : end;
    ++at;
  } else {
    end = next = Name(at);
  }
  attribute->valueSpan = {at, end};
  attribute->value = Unescaped(m_text.substr(at, end - at));
  return next;
}

size_t Scanner::EndTag(size_t at) {
  const TextSpan nameSpan{at + 2, Name(at + 2)};
  const size_t stop = m_text.find_first_of("<>", nameSpan.end);
  const bool closed = stop != std::string::npos && m_text[stop] == '>';
  const size_t end = stop == std::string::npos ? m_text.size() : closed ? stop + 1 : stop;
  if (Holds(at, end, closed, m_cursor))
    Place(nameSpan.Touches(m_cursor) ? CursorPlace::kEndTagName : CursorPlace::kElsewhere,
          nameSpan.Touches(m_cursor) ? nameSpan : TextSpan{m_cursor, m_cursor});
  Close(m_text.substr(nameSpan.begin, nameSpan.end - nameSpan.begin), at, end, nameSpan);
  return end;
}

// The elements opened inside the one closed were left open: they end where
// its end tag begins.
void Scanner::Close(const std::string& name, size_t at, size_t end, TextSpan nameSpan) {
  const auto count = m_openNames.find(name);
  if (count == m_openNames.end() || count->second == 0) return;
  while (true) {
    ScannedElement& element = m_result.elements[m_open.back()];
    m_open.pop_back();
    --m_openNames[element.name];
    if (element.name != name) {
      element.whole.end = at;
      continue;
    }
    element.whole.end = end;
    element.hasEndTag = true;
    element.endNameSpan = nameSpan;
    return;
  }
}

// A quote typed alone takes the next quote for its close, far down the
// text: the word typed ends with the cursor's line.
TextSpan Scanner::TypedValue(TextSpan value) const {
  const size_t lineEnd = m_text.find_first_of("\r\n", m_cursor);
  return {value.begin, std::min(value.end, lineEnd)};
}

void Scanner::PlaceInStartTag(const ScannedElement& element, size_t index) {
  const size_t owner = element.name.empty() ? kNoIndex : index;
  if (element.nameSpan.Touches(m_cursor))
    return Place(CursorPlace::kElementName, element.nameSpan, owner);
  for (size_t a = 0; a < element.attributes.size(); ++a) {
    const ScannedAttribute& attribute = element.attributes[a];
    if (attribute.nameSpan.Touches(m_cursor))
      return Place(CursorPlace::kAttributeName, attribute.nameSpan, owner, a);
    if (attribute.hasValue && attribute.valueSpan.Touches(m_cursor))
      return Place(CursorPlace::kAttributeValue, TypedValue(attribute.valueSpan), owner, a);
  }
  // A new attribute may be typed after a blank, not against a quote or
  // inside "/>".
  Place(IsBlank(m_text[m_cursor - 1]) ? CursorPlace::kAttributeName : CursorPlace::kElsewhere,
        {m_cursor, m_cursor}, owner);
}

// The first construct to hold the cursor places it: a tag broken off at a
// '<' holds a cursor there before the tag that follows.
void Scanner::Place(CursorPlace place, TextSpan word, size_t element, size_t attribute) {
  if (m_placed || m_cursor == kNoIndex) return;
  m_placed = true;
  m_result.cursor = {place, element, attribute, word, m_open};
}

}  // namespace

const ScannedAttribute* ScannedElement::Attribute(const std::string& wanted) const {
  for (const ScannedAttribute& attribute : attributes)
    if (attribute.name == wanted) return &attribute;
  return nullptr;
}

ScannedText ScanText(const std::string& text, size_t cursor) {
  return Scanner(text, cursor).Scan();
}

}  // namespace nv
