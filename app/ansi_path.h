// Paths that the system hands over in UTF-16 (the folder picker, dropped
// files), put into the ANSI code page in which the fields hold their text.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace nv {

// The path in the ANSI code page. A name the code page can't spell is
// reached by its short (8.3) form where the volume keeps one; nothing when
// there is none, since a path with the code page's default character in it
// names nothing.
std::optional<std::string> AnsiPath(const std::wstring& path);

// A field's text in UTF-16, for the calls that only take that.
std::wstring WidePath(const std::string& path);

}  // namespace nv
