// Where the builder's parser stopped in a start tag, and why: the tag read
// by the parser's rules up to its first fault, then as a person reads it.
#include "manifest/broken_tag.h"

#include <tinyxml.h>

#include <algorithm>
#include <map>

#include "manifest/warning_run.h"
#include "xml/tinyxml_lexer.h"

namespace nv {

namespace {

constexpr size_t npos = std::string::npos;

// The element made last, in document order: the one the parser was making
// when it stopped, if it stopped in an element.
const TiXmlElement* LastElement(const TiXmlDocument& manifest) {
  const TiXmlElement* last = nullptr;
  for (const TiXmlNode* node = &manifest;;) {
    const TiXmlNode* child = node->LastChild();
    while (child && !child->ToElement()) child = child->PreviousSibling();
    if (!child) return last;
    last = child->ToElement();
    node = child;
  }
}

class TagReader {
 public:
  TagReader(const std::string& text, const ElementPositions& positions)
      : m_text(text), m_lexer(text), m_positions(positions) {}

  // True when the start tag at `start` has a fault, which *broken then tells.
  bool Read(size_t start, BrokenTag* broken);

 private:
  size_t NameEnd(size_t i) const {
    while (i < m_lexer.Size() && IsXmlNameChar(m_lexer.At(i))) ++i;
    return i;
  }
  bool Fault(size_t at, std::string cause, std::string fix, BrokenTag* broken) const;
  size_t ReadValue(size_t attribute, size_t i, const std::string& name, BrokenTag* broken) const;
  void ReadOn(size_t at, BrokenTag* broken) const;
  bool AfterEquals(size_t i) const;

  const std::string& m_text;
  const TinyXmlLexer m_lexer;
  const ElementPositions& m_positions;
};

// The attributes are read as the parser reads them: a name, '=', a value
// in quotes or up to white space, '/' or '>'; the parser takes an element
// without a name or quotes, and stops at anything else.
bool TagReader::Read(size_t start, BrokenTag* broken) {
  std::map<std::string, size_t> given;
  for (size_t i = NameEnd(m_lexer.SkipSpace(start + 1));;) {
    i = m_lexer.SkipSpace(i);
    const unsigned char c = m_lexer.At(i);
    if (i >= m_lexer.Size())
      return Fault(start, "the tag is never closed: main.xml ends inside it",
                   "end it with '>' or '/>'", broken);
    if (c == '>' || (c == '/' && m_lexer.At(i + 1) == '>')) return false;
    if (c == '/') return Fault(i, "'/' in a tag must stand just before its '>'", "", broken);
    if (m_lexer.StartsWith(i, "<!--"))
      return Fault(i, "a comment cannot stand inside a tag", "move it after the tag's '>'", broken);
    if (c == '<') {
      broken->related.push_back({"", m_positions.At(start), "the tag opens here"});
      return Fault(i, "the tag is not closed before this '<'", "end it with '>' or '/>'", broken);
    }
    const std::string name = m_text.substr(i, NameEnd(i) - i);
    if (name.empty() || !IsXmlNameStart(c))
      return Fault(i, "an attribute's name cannot begin with '" + std::string(1, c) + "'",
                   "write each attribute as name=\"value\"", broken);
    const size_t value = ReadValue(i, m_lexer.SkipSpace(i + name.size()), name, broken);
    if (value == npos) return true;
    const auto first = given.emplace(name, i);
    if (!first.second) {
      broken->related.push_back(
          {"", m_positions.At(first.first->second), Quote(name) + " is first given here"});
      return Fault(i, "attribute " + Quote(name) + " is given twice", "keep one of them", broken);
    }
    i = value;
  }
}

// Past the "=" and value of the attribute `name` that begins at
// `attribute`, from `i` past its name; npos at a fault.
size_t TagReader::ReadValue(size_t attribute, size_t i, const std::string& name,
                            BrokenTag* broken) const {
  if (m_lexer.At(i) != '=') {
    Fault(attribute, "attribute " + Quote(name) + " has no value",
          "write it as " + name + "=\"value\"", broken);
    return npos;
  }
  i = m_lexer.SkipSpace(i + 1);
  const unsigned char quote = m_lexer.At(i);
  if (quote == '"' || quote == '\'') {
    const size_t close = m_text.find(static_cast<char>(quote), i + 1);
    if (close < m_lexer.Size()) return close + 1;
    Fault(attribute, "the value of " + Quote(name) + " is never closed with its quote",
          "end it with the quote it begins with", broken);
    return npos;
  }
  for (; i < m_lexer.Size() && !IsXmlSpace(m_lexer.At(i)) && m_lexer.At(i) != '/' &&
         m_lexer.At(i) != '>';
       ++i) {
    if (m_lexer.At(i) == '"' || m_lexer.At(i) == '\'') {
      Fault(attribute, "the value of " + Quote(name) + " ends in a quote it does not begin with",
            "write it as " + name + "=\"value\"", broken);
      return npos;
    }
  }
  return i;
}

bool TagReader::Fault(size_t at, std::string cause, std::string fix, BrokenTag* broken) const {
  broken->at = m_positions.At(at);
  broken->cause = std::move(cause);
  if (!fix.empty()) broken->notes.push_back(std::move(fix));
  ReadOn(at, broken);
  return true;
}

// A quote opens a value after '=', and is a stray one elsewhere.
bool TagReader::AfterEquals(size_t i) const {
  while (i > 0 && IsXmlSpace(static_cast<unsigned char>(m_text[i - 1]))) --i;
  return i > 0 && m_text[i - 1] == '=';
}

// The rest of the tag as a person reads it: past comments and quoted
// values, up to its '>' or the next tag, each name before a '=' an
// attribute, and so is the name the fault stands at ("name 'Day'").
void TagReader::ReadOn(size_t at, BrokenTag* broken) const {
  size_t i = at;
  while (i < m_text.size() && m_text[i] != '>' && (m_text[i] != '<' || i == at)) {
    if (m_text.compare(i, 4, "<!--") == 0) {
      const size_t close = m_text.find("-->", i);
      i = close == npos ? m_text.size() : close + 3;
    } else if ((m_text[i] == '"' || m_text[i] == '\'') && AfterEquals(i)) {
      const size_t close = m_text.find(m_text[i], i + 1);
      i = close == npos ? m_text.size() : close + 1;
    } else if (IsXmlNameStart(static_cast<unsigned char>(m_text[i]))) {
      const size_t end = NameEnd(i);
      if (i == at || m_lexer.At(m_lexer.SkipSpace(end)) == '=')
        broken->unread.insert(m_text.substr(i, end - i));
      i = std::max(end, i + 1);  // past the parser's end (a NUL), names are not read
    } else {
      ++i;
    }
  }
  broken->end = m_positions.At(std::min(i, m_text.size()));
}

}  // namespace

bool FindBrokenTag(const std::string& text, const TiXmlDocument& manifest,
                   const ElementPositions& positions, BrokenTag* broken) {
  const TiXmlElement* element = manifest.Error() ? LastElement(manifest) : nullptr;
  const size_t start = element ? positions.OffsetOf(*element) : npos;
  if (start == npos || !TagReader(text, positions).Read(start, broken)) return false;
  broken->element = element;
  return true;
}

bool EchoesBrokenTag(const BrokenTag& broken, const TiXmlElement& element,
                     const std::vector<std::string>& absent) {
  if (&element != broken.element || absent.empty()) return false;
  for (const std::string& name : absent)
    if (!broken.unread.count(name)) return false;
  return true;
}

bool RestatesBrokenTag(const BrokenTag& broken, const Diagnostic& warning) {
  const auto place = [](TextPosition p) { return std::make_pair(p.line, p.column); };
  return broken.element && warning.name == "malformed-xml" &&
         place(broken.at) <= place(warning.at) && place(warning.at) <= place(broken.end);
}

}  // namespace nv
