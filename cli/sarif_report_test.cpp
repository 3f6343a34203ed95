#include "cli/sarif_report.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

// A path's URI reference stays one that any reader resolves to the path:
// what is no letter, digit or "-._~/" is percent-encoded, ':' too, so that
// no first segment reads as a scheme.
TEST(PathUriTest, EncodesWhatAUriCannotHoldAsItIs) {
  const std::pair<std::string, std::string> paths[] = {
      {JoinPath("themes", "main.xml"), "themes/main.xml"},
      {JoinPath("my themes", "50%.png"), "my%20themes/50%25.png"},
      {JoinPath("a:b", "c#d?e"), "a%3Ab/c%23d%3Fe"},
      {JoinPath("caf\xC3\xA9", "a\nb\xE9"), "caf%C3%A9/a%0Ab%E9"},
  };
  for (const auto& path : paths) EXPECT_EQ(path.second, PathUri(path.first)) << path.first;
  if (kPathSeparator == '/') {
    EXPECT_EQ("file:///srv/themes/a%20b", PathUri("/srv/themes/a b"));
  } else {
    EXPECT_EQ("file:///C:/themes/a%20b", PathUri("C:\\themes\\a b"));
    EXPECT_EQ("file://server/share/a", PathUri("\\\\server\\share\\a"));
  }
}

}  // namespace
}  // namespace nv
