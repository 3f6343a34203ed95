// Byte offsets turned to protocol positions and back.
#include "cli/lsp_text.h"

#include <algorithm>

namespace nv {

namespace {

// Code units of one character of `bytes` UTF-8 bytes (0: a stray byte).
size_t UnitsOf(size_t bytes, PositionEncoding encoding) {
  if (bytes == 0) return 1;
  switch (encoding) {
    case PositionEncoding::kUtf8:
      return bytes;
    case PositionEncoding::kUtf16:
      return bytes == 4 ? 2 : 1;
    case PositionEncoding::kUtf32:
      return 1;
  }
  return 1;
}

}  // namespace

size_t Utf8SequenceAt(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned long least;
  unsigned long point;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, least = 0x80, point = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, least = 0x800, point = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, least = 0x10000, point = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and points past Unicode are no sound UTF-8.
  if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  return length;
}

bool IsUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

LspText::LspText(const std::string& text) : m_text(text) {
  m_starts.push_back(0);
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    if (text[at] == '\n' || text[at] == '\r') m_starts.push_back(at + 1);
  }
}

size_t LspText::LineEnd(size_t line) const {
  if (line + 1 >= m_starts.size()) return m_text.size();
  size_t end = m_starts[line + 1] - 1;
  if (end > m_starts[line] && m_text[end] == '\n' && m_text[end - 1] == '\r') --end;
  return end;
}

LspPosition LspText::PositionOf(size_t offset, PositionEncoding encoding) const {
  offset = std::min(offset, m_text.size());
  const size_t line =
      static_cast<size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), offset) -
                          m_starts.begin()) -
      1;
  const size_t end = std::min(offset, LineEnd(line));
  size_t at = m_starts[line];
  size_t character = 0;
  if (m_lastPosition.line == line && m_lastEncoding == encoding && m_lastOffset <= end &&
      m_lastOffset >= at) {
    at = m_lastOffset;
    character = m_lastPosition.character;
  }
  while (at < end) {
    const size_t length = Utf8SequenceAt(m_text, at);
    character += UnitsOf(length, encoding);
    at += std::max<size_t>(length, 1);
  }
  m_lastOffset = at;
  m_lastPosition = {line, character};
  m_lastEncoding = encoding;
  return m_lastPosition;
}

size_t LspText::OffsetOf(LspPosition position, PositionEncoding encoding) const {
  if (position.line >= m_starts.size()) return m_text.size();
  const size_t end = LineEnd(position.line);
  size_t at = m_starts[position.line];
  for (size_t character = 0; at < end && character < position.character;) {
    const size_t length = Utf8SequenceAt(m_text, at);
    character += UnitsOf(length, encoding);
    at += std::max<size_t>(length, 1);
  }
  return std::min(at, end);
}

}  // namespace nv
