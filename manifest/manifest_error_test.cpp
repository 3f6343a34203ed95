#include "manifest/manifest_error.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

struct ErrorCase {
  ManifestErrorKind kind;
  const char* first;
  const char* second;
  const char* line;
};

TEST(ManifestErrorTest, EachKindWritesItsLine) {
  const ErrorCase cases[] = {
      {ManifestErrorKind::FileMissing, "it's <a>&b.xml", "file",
       "Error: The file: 'it's <a>&b.xml' in attribute 'file' doesn't exist or can't be read.\r\n"},
      {ManifestErrorKind::NoChildNodes, "theme", "unused",
       "Error: No child nodes found in 'theme' node.\r\n"},
      {ManifestErrorKind::AttributesNotFound, "name or screenshot", "theme",
       "Error: Attributes 'name or screenshot' not found in 'theme' node.\r\n"},
      {ManifestErrorKind::AttributesInvalid, "name, screenshot", "unused",
       "Error: Attributes 'name, screenshot' invalid.\r\n"},
  };
  for (const ErrorCase& c : cases) {
    OperationLog log;
    log << "before\r\n";
    WriteManifestError(c.kind, log, c.first, c.second);
    EXPECT_EQ(std::string("before\r\n") + c.line, log.Text());
  }
}

TEST(ManifestErrorTest, UnknownKindWritesNothing) {
  OperationLog log;
  WriteManifestError(static_cast<ManifestErrorKind>(4), log, "a", "b");
  WriteManifestError(static_cast<ManifestErrorKind>(-1), log, "a", "b");
  EXPECT_EQ("", log.Text());
}

}  // namespace
}  // namespace nv
