// Writing JSON.
#include "cli/json_writer.h"

#include <cstdio>

namespace nv {

size_t Utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const auto follows = [&](size_t i) { return (byte(i) & 0xC0) == 0x80; };
  const unsigned lead = byte(0), second = byte(1);
  if (lead >= 0xC2 && lead <= 0xDF) return follows(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const bool secondOk = lead == 0xE0   ? second >= 0xA0 && second <= 0xBF
                          : lead == 0xED ? second >= 0x80 && second <= 0x9F
                                         : follows(1);
    return secondOk && follows(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const bool secondOk = lead == 0xF0   ? second >= 0x90 && second <= 0xBF
                          : lead == 0xF4 ? second >= 0x80 && second <= 0x8F
                                         : follows(1);
    return secondOk && follows(2) && follows(3) ? 4 : 0;
  }
  return 0;
}

namespace {

std::string Escaped(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", byte);
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (size_t at = 0; at < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x80) {
      const size_t length = Utf8Length(text, at);
      json += length ? text.substr(at, length) : Escaped(byte);
      at += length ? length : 1;
      continue;
    }
    switch (byte) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        json += byte < 0x20 || byte == 0x7F ? Escaped(byte) : std::string(1, text[at]);
    }
    ++at;
  }
  return json + "\"";
}

void JsonWriter::Key(const std::string& key) {
  NextItem();
  m_out << JsonString(key) << (m_compact ? ":" : ": ");
  m_afterKey = true;
}

void JsonWriter::Open(char bracket) {
  Value(std::string(1, bracket));
  m_empty.push_back(true);
}

void JsonWriter::Close(char bracket) {
  const bool empty = m_empty.back();
  m_empty.pop_back();
  if (!empty && !m_compact) m_out << '\n' << std::string(2 * m_empty.size(), ' ');
  m_out << bracket;
}

void JsonWriter::Value(const std::string& text) {
  if (!m_afterKey) NextItem();
  m_afterKey = false;
  m_out << text;
}

// Each item of an object or array on a line of its own.
void JsonWriter::NextItem() {
  if (m_empty.empty()) return;
  if (!m_empty.back()) m_out << ',';
  m_empty.back() = false;
  if (!m_compact) m_out << '\n' << std::string(2 * m_empty.size(), ' ');
}

}  // namespace nv
