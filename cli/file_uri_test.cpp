// File URIs as editors send them, and the paths they name.
#include "cli/file_uri.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"

namespace nv {
namespace {

std::string Native(std::string path) {
  for (char& c : path)
    if (c == '/') c = kPathSeparator;
  return path;
}

TEST(FileUriTest, PathsOfUris) {
  const struct {
    const char* uri;
    bool file;
    const char* path;  // with "/" for the platform's separator
  } cases[] = {
      {"file:///home/me/ocean/main.xml", true, "/home/me/ocean/main.xml"},
      {"file://localhost/home/me/main.xml", true, "/home/me/main.xml"},
      {"FILE:///a%20b/%C3%A9.xml", true, "/a b/\xC3\xA9.xml"},
      {"file:///c%3A/themes/main.xml", true, "c:/themes/main.xml"},
      {"file:///C:/themes/main.xml?x#y", true, "C:/themes/main.xml"},
      {"file://server/share/main.xml", false, ""},
      {"untitled:Untitled-1", false, ""},
      {"file:///a%00b", false, ""},
      {"file:///a%zz", false, ""},
  };
  for (const auto& c : cases) {
    std::string path;
    EXPECT_EQ(c.file, PathOfUri(c.uri, &path)) << c.uri;
    if (c.file) EXPECT_EQ(Native(c.path), path) << c.uri;
  }
}

TEST(FileUriTest, UrisOfPathsComeBack) {
  for (const char* path : {"/home/me/a b/main.xml", "/t/\xC3\xA9#%?.xml", "C:/themes/x.xml"}) {
    std::string back;
    ASSERT_TRUE(PathOfUri(UriOfPath(path), &back)) << UriOfPath(path);
    EXPECT_EQ(Native(path), back);
  }
  EXPECT_EQ("file:///C:/a%20b/main.xml", UriOfPath("C:\\a b\\main.xml"));
}

}  // namespace
}  // namespace nv
