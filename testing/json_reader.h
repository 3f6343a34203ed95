// For tests: a strict reader of JSON (RFC 8259), so that a document nvtheme
// writes is parsed as any consumer would parse it and checked by field. It
// refuses what a strict consumer refuses: a control byte or invalid UTF-8 in
// a string, a lone surrogate, a duplicate key, anything after the value.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace nv {

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;  // UTF-8
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;  // in document order

  bool Has(const std::string& key) const { return Find(key) != nullptr; }
  // The member of that key, or a null value when there is none.
  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue absent;
    const JsonValue* found = Find(key);
    return found ? *found : absent;
  }
  const JsonValue& operator[](size_t index) const { return items.at(index); }
  size_t size() const { return type == Type::kObject ? members.size() : items.size(); }
  bool IsNull() const { return type == Type::kNull; }

 private:
  const JsonValue* Find(const std::string& key) const {
    for (const auto& member : members)
      if (member.first == key) return &member.second;
    return nullptr;
  }
};

class JsonReader {
 public:
  // The document in `text`; false with where and why it is not JSON.
  static bool Parse(const std::string& text, JsonValue* value, std::string* error) {
    JsonReader reader(text);
    const bool ok = reader.ReadValue(value, 0) && (reader.SkipSpace(), reader.m_at == text.size());
    if (!ok) *error = "not JSON at byte " + std::to_string(reader.m_at) + ": " + reader.m_why;
    return ok;
  }

 private:
  explicit JsonReader(const std::string& text) : m_text(text) {}

  bool Fail(const char* why) {
    if (m_why.empty()) m_why = why;
    return false;
  }
  void SkipSpace() {
    while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                    m_text[m_at] == '\n' || m_text[m_at] == '\r'))
      ++m_at;
  }
  bool Take(char c) {
    SkipSpace();
    if (m_at < m_text.size() && m_text[m_at] == c) return ++m_at, true;
    return false;
  }
  bool Word(const char* word) {
    const std::string w = word;
    if (m_text.compare(m_at, w.size(), w) != 0) return Fail("unknown word");
    m_at += w.size();
    return true;
  }

  bool ReadValue(JsonValue* value, int depth) {
    if (depth > 512) return Fail("too deep");
    SkipSpace();
    if (m_at == m_text.size()) return Fail("value missing");
    const char c = m_text[m_at];
    if (c == '{') return ReadObject(value, depth);
    if (c == '[') return ReadArray(value, depth);
    if (c == '"') return value->type = JsonValue::Type::kString, ReadString(&value->string);
    if (c == 't' || c == 'f') {
      value->type = JsonValue::Type::kBool;
      value->boolean = c == 't';
      return Word(c == 't' ? "true" : "false");
    }
    if (c == 'n') return Word("null");
    return ReadNumber(value);
  }

  bool ReadObject(JsonValue* value, int depth) {
    value->type = JsonValue::Type::kObject;
    ++m_at;
    if (Take('}')) return true;
    do {
      std::string key;
      SkipSpace();
      if (m_at == m_text.size() || m_text[m_at] != '"') return Fail("key missing");
      if (!ReadString(&key)) return false;
      if (value->Has(key)) return Fail("duplicate key");
      if (!Take(':')) return Fail("':' missing");
      value->members.emplace_back(key, JsonValue());
      if (!ReadValue(&value->members.back().second, depth + 1)) return false;
    } while (Take(','));
    return Take('}') || Fail("'}' missing");
  }

  bool ReadArray(JsonValue* value, int depth) {
    value->type = JsonValue::Type::kArray;
    ++m_at;
    if (Take(']')) return true;
    do {
      value->items.emplace_back();
      if (!ReadValue(&value->items.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']') || Fail("']' missing");
  }

  bool ReadNumber(JsonValue* value) {
    const size_t start = m_at;
    auto digits = [&] {
      const size_t from = m_at;
      while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
      return m_at > from;
    };
    if (m_at < m_text.size() && m_text[m_at] == '-') ++m_at;
    if (m_at < m_text.size() && m_text[m_at] == '0')
      ++m_at;
    else if (!digits())
      return Fail("not a value");
    if (m_at < m_text.size() && m_text[m_at] == '.' && (++m_at, !digits()))
      return Fail("digits missing");
    if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
      ++m_at;
      if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) ++m_at;
      if (!digits()) return Fail("digits missing");
    }
    value->type = JsonValue::Type::kNumber;
    value->number = std::strtod(m_text.substr(start, m_at - start).c_str(), nullptr);
    return true;
  }

  static void AppendUtf8(unsigned long code, std::string* out) {
    if (code < 0x80) {
      *out += static_cast<char>(code);
    } else if (code < 0x800) {
      *out += static_cast<char>(0xC0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *out += static_cast<char>(0xE0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (code >> 18));
      *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool ReadHex4(unsigned long* code) {
    if (m_at + 4 > m_text.size()) return Fail("\\u cut short");
    const std::string hex = m_text.substr(m_at, 4);
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return Fail("\\u without four hex digits");
    *code = std::strtoul(hex.c_str(), nullptr, 16);
    m_at += 4;
    return true;
  }

  bool ReadEscape(std::string* out) {
    if (m_at == m_text.size()) return Fail("escape cut short");
    const char c = m_text[m_at++];
    const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
    if (from.find(c) != std::string::npos) return *out += to[from.find(c)], true;
    unsigned long code = 0, low = 0;
    if (c != 'u' || !ReadHex4(&code)) return Fail("unknown escape");
    if (code >= 0xDC00 && code <= 0xDFFF) return Fail("lone low surrogate");
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (m_text.compare(m_at, 2, "\\u") != 0) return Fail("lone high surrogate");
      m_at += 2;
      if (!ReadHex4(&low) || low < 0xDC00 || low > 0xDFFF) return Fail("lone high surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(code, out);
    return true;
  }

  // A valid UTF-8 sequence: no overlong form, no surrogate, nothing beyond U+10FFFF.
  bool ReadUtf8(std::string* out) {
    const unsigned char lead = static_cast<unsigned char>(m_text[m_at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead < 0xC2 || lead > 0xF4 || m_at + length > m_text.size())
      return Fail("invalid UTF-8");
    unsigned long code = lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(m_text[m_at + i]);
      if ((next & 0xC0) != 0x80) return Fail("invalid UTF-8");
      code = (code << 6) | (next & 0x3F);
    }
    const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return Fail("invalid UTF-8");
    out->append(m_text, m_at, length);
    m_at += length;
    return true;
  }

  bool ReadString(std::string* out) {
    ++m_at;  // the opening quote
    while (m_at < m_text.size()) {
      const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
      if (c == '"') return ++m_at, true;
      if (c < 0x20) return Fail("control byte in a string");
      if (c == '\\') {
        ++m_at;
        if (!ReadEscape(out)) return false;
      } else if (c >= 0x80) {
        if (!ReadUtf8(out)) return false;
      } else {
        *out += static_cast<char>(c);
        ++m_at;
      }
    }
    return Fail("string not closed");
  }

  const std::string& m_text;
  size_t m_at = 0;
  std::string m_why;
};

}  // namespace nv
