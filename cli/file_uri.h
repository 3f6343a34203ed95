// The "file" URIs an editor names documents by, and the paths they stand for.
#pragma once

#include <string>

namespace nv {

// The path of a file URI ("file:///home/me/ocean/main.xml",
// "file:///c%3A/themes/main.xml"), its escapes decoded; false for another
// scheme, a host other than localhost, or an escape that decodes to NUL.
// The path is written with the platform's separator.
bool PathOfUri(const std::string& uri, std::string* path);

// The file URI of an absolute path, either platform's: bytes other than
// letters, digits and "-._~/" escaped, a drive letter's path given a "/".
std::string UriOfPath(const std::string& path);

}  // namespace nv
