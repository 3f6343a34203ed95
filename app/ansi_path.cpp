// Paths between UTF-16 and the ANSI code page.
#include "app/ansi_path.h"

namespace nv {

namespace {

// The text in the ANSI code page, or nothing when a character has no place
// in it. Best-fit mapping is off: it would turn a name into another,
// existing one ("ﬁle" into "file").
std::optional<std::string> ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  // A UTF-8 code page spells everything, and refuses to be asked whether it
  // had to use a default character.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* askLossy = utf8 ? nullptr : &lossy;
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, askLossy);
  if (size == 0 || lossy) return std::nullopt;
  std::string ansi(size, '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}

std::wstring ShortPath(const std::wstring& path) {
  std::wstring shortPath(GetShortPathNameW(path.c_str(), nullptr, 0), L'\0');
  shortPath.resize(
      GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size())));
  return shortPath;
}

}  // namespace

std::optional<std::string> AnsiPath(const std::wstring& path) {
  if (std::optional<std::string> ansi = ToAnsi(path)) return ansi;
  const std::wstring shortPath = ShortPath(path);
  if (shortPath.empty()) return std::nullopt;
  return ToAnsi(shortPath);
}

std::wstring WidePath(const std::string& path) {
  const int length = static_cast<int>(path.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

}  // namespace nv
