// JSON as nvtheme writes it: a document written as it goes, indented two
// spaces a level or compact on one line, and text from anywhere escaped so
// that the document stays valid JSON whatever bytes a folder's names and
// manifest hold.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace nv {

// The text as a JSON string, quotes included: '"' and '\' escaped, control
// bytes and 0x7F as \uXXXX, valid UTF-8 kept as it is. A byte that is no
// part of valid UTF-8 (a name in a Windows code page, say) stands for the
// Latin-1 character of its value, written \u00XX: JSON must be Unicode,
// and the byte's value stays readable in it.
std::string JsonString(const std::string& text);

// The length of the valid UTF-8 sequence at text[at], or 0: no overlong
// form, no surrogate, nothing beyond U+10FFFF.
size_t Utf8Length(const std::string& text, size_t at);

// Indented for people to read; compact, one document a line, where many
// follow each other on one stream (JSON Lines) and a reader splits them at
// line ends: escaping leaves no line end inside a string.
enum class JsonLayout { kIndented, kCompact };

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out, JsonLayout layout = JsonLayout::kIndented)
      : m_out(out), m_compact(layout == JsonLayout::kCompact) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The key of the next value in an object.
  void Key(const std::string& key);

  void String(const std::string& value) { Value(JsonString(value)); }
  void Number(uint64_t value) { Value(std::to_string(value)); }
  void Bool(bool value) { Value(value ? "true" : "false"); }
  void Null() { Value("null"); }
  // A string, or null when it is empty.
  void StringOrNull(const std::string& value) { value.empty() ? Null() : String(value); }

  // Ends the document with a line end.
  void Finish() { m_out << '\n'; }

 private:
  void Open(char bracket);
  void Close(char bracket);
  void Value(const std::string& text);
  void NextItem();

  std::ostream& m_out;
  const bool m_compact;
  std::vector<bool> m_empty;  // for each open object or array: nothing in it yet
  bool m_afterKey = false;
};

}  // namespace nv
