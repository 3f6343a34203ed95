// File URIs decoded and made.
#include "cli/file_uri.h"

#include <algorithm>
#include <cctype>

#include "platform/file_system.h"

namespace nv {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool IsDrive(const std::string& path, size_t at) {
  return path.size() >= at + 2 && std::isalpha(static_cast<unsigned char>(path[at])) &&
         path[at + 1] == ':';
}

}  // namespace

bool PathOfUri(const std::string& uri, std::string* path) {
  static const std::string scheme = "file://";
  if (uri.size() < scheme.size()) return false;
  for (size_t i = 0; i < scheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(uri[i])) != scheme[i]) return false;
  const size_t slash = uri.find('/', scheme.size());
  if (slash == std::string::npos) return false;
  const std::string host = uri.substr(scheme.size(), slash - scheme.size());
  if (!host.empty() && host != "localhost") return false;
  path->clear();
  for (size_t at = slash; at < uri.size(); ++at) {
    if (uri[at] == '?' || uri[at] == '#') break;
    if (uri[at] != '%') {
      path->push_back(uri[at]);
      continue;
    }
    const int high = at + 2 < uri.size() ? HexValue(uri[at + 1]) : -1;
    const int low = at + 2 < uri.size() ? HexValue(uri[at + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    path->push_back(static_cast<char>(high * 16 + low));
    at += 2;
  }
  // "/c:/themes" is the Windows path "c:/themes"; the platform's separator
  // makes it one the run's own paths, which it joins so, can equal.
  if (IsDrive(*path, 1)) path->erase(0, 1);
  std::replace(path->begin(), path->end(), '/', kPathSeparator);
  return true;
}

std::string UriOfPath(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string uri = IsDrive(path, 0) ? "file:///" : "file://";
  for (size_t at = 0; at < path.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(path[at] == '\\' ? '/' : path[at]);
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' ||
        (c == ':' && at == 1 && IsDrive(path, 0))) {
      uri.push_back(static_cast<char>(c));
    } else {
      uri.push_back('%');
      uri.push_back(hex[c >> 4]);
      uri.push_back(hex[c & 15]);
    }
  }
  return uri;
}

}  // namespace nv
