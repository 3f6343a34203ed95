// Names of packed files.
#include "package/entry_name.h"

#include <algorithm>

#include "platform/device_name.h"

namespace nv {

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

const char* WindowsFault(const std::string& name) {
  if (name.find('\\') != std::string::npos) return "it holds a path separator";
  if (name.find(':') != std::string::npos) return "it holds \":\", which names a drive or a stream";
  if (std::any_of(name.begin(), name.end(), IsControl) ||
      name.find_first_of("*?\"<>|") != std::string::npos)
    return "it holds a character that Windows does not allow in file names";
  if (name.back() == '.' || name.back() == ' ')
    return "it ends in a dot or a space, which Windows drops";
  if (IsWindowsDeviceName(name)) return "it names a Windows device";
  return nullptr;
}

const char* PortableFault(const std::string& name) {
  if (name.empty()) return "it is empty";
  if (name == "." || name == "..") return "it names a folder, not a file";
  if (name.find('\0') != std::string::npos) return "it holds a zero byte";
  if (name.find('/') != std::string::npos) return "it holds a path separator";
  return nullptr;
}

}  // namespace

bool CheckEntryName(const std::string& name, NameRules rules, std::string* fault) {
  const char* why = PortableFault(name);
  if (!why && rules == NameRules::kWindows) why = WindowsFault(name);
  if (why) *fault = why;
  return why == nullptr;
}

std::string EntryNameKey(const std::string& name, NameRules rules) {
  std::string key = name;
  if (rules == NameRules::kWindows) std::transform(key.begin(), key.end(), key.begin(), AsciiUpper);
  return key;
}

std::string EscapeText(const std::string& text, Backslash backslash) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += backslash == Backslash::kDoubled ? "\\\\" : "\\";
        break;
      default:
        if (IsControl(c)) {
          out += "\\x";
          out += kHex[static_cast<unsigned char>(c) >> 4];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string EscapeName(const std::string& name) { return EscapeText(name, Backslash::kDoubled); }

}  // namespace nv
