#include "package/package_format.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <vector>

namespace nv {
namespace {

std::string Index(const std::vector<std::string>& names) {
  TiXmlDocument index;
  index.InsertEndChild(IndexDeclaration());
  TiXmlElement files(kIndexRootName);
  int32_t id = 1;
  for (const std::string& name : names) files.InsertEndChild(IndexFileElement(name, id++));
  index.InsertEndChild(files);
  return PrintIndex(index);
}

TEST(PackageFormatTest, HeaderIsMagicVersionAndZeros) {
  PackageHeaderBytes header = ComposeHeader();
  std::vector<uint8_t> expected(1044, 0);
  expected[0] = 0x4E;
  expected[1] = 0x50;
  expected[2] = 0x02;
  EXPECT_EQ(expected, std::vector<uint8_t>(header.begin(), header.end()));
  std::string fault;
  EXPECT_TRUE(CheckHeader(header, &fault)) << fault;
}

TEST(PackageFormatTest, RecordIsThreeLittleEndianFieldsAndZeros) {
  EntryRecordBytes bytes = ComposeRecord({-2, 0x01020304, 0xA0B0C0D0});
  std::vector<uint8_t> expected(76, 0);
  const uint8_t fields[12] = {0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03,
                              0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0};
  std::copy(fields, fields + 12, expected.begin());
  EXPECT_EQ(expected, std::vector<uint8_t>(bytes.begin(), bytes.end()));

  EntryRecord back;
  ASSERT_TRUE(ReadRecord(bytes, &back));
  EXPECT_EQ(-2, back.entryId);
  EXPECT_EQ(0x01020304u, back.storedSize);
  EXPECT_EQ(0xA0B0C0D0u, back.originalSize);
  bytes[75] = 1;
  EXPECT_FALSE(ReadRecord(bytes, &back));
}

TEST(PackageFormatTest, HeaderFaults) {
  struct Case {
    size_t at;
    uint8_t value;
    const char* fault;
  };
  const Case cases[] = {
      {0, 'n', "not a package: it does not begin with \"NP\""},
      {1, 'K', "not a package: it does not begin with \"NP\""},
      {2, 1, "format version 1 is not supported (only 2)"},
      {3, 1, "format version 258 is not supported (only 2)"},
      {4, 1, "the header's reserved bytes are not zero"},
      {1043, 0x80, "the header's reserved bytes are not zero"},
  };
  for (const Case& c : cases) {
    PackageHeaderBytes header = ComposeHeader();
    header[c.at] = c.value;
    std::string fault;
    EXPECT_FALSE(CheckHeader(header, &fault));
    EXPECT_EQ(c.fault, fault);
  }
}

TEST(PackageFormatTest, IndexOfTwoFilesIs141Bytes) {
  const std::string text = Index({"main.xml", "back.png"});
  EXPECT_EQ(
      "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><files>"
      "<file filename=\"main.xml\" id=\"1\" /><file filename=\"back.png\" id=\"2\" /></files>",
      text);
  EXPECT_EQ(141u, text.size());
  EXPECT_EQ(56u, text.find("<files>"));
}

TEST(PackageFormatTest, IndexEscapesNamesAndPassesHighBytes) {
  struct Case {
    std::string name;
    std::string printed;
  };
  const Case cases[] = {
      {"a&b.png", "a&amp;b.png"},
      // Escaped too, so a reader gets back this name and not "xA.png".
      {"x&#x41;.png", "x&amp;#x41;.png"},
      {"<'>.png", "&lt;&apos;&gt;.png"},
      {"tab\t.png", "tab&#x09;.png"},
      {"caf\xE9.png", "caf\xE9.png"},
      {"\xC3\xA9t\xC3\xA9.png", "\xC3\xA9t\xC3\xA9.png"},
  };
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><files><file filename=\"";
  for (const Case& c : cases)
    EXPECT_EQ(head + c.printed + "\" id=\"1\" /></files>", Index({c.name})) << c.name;
}

TEST(PackageFormatTest, EmptyIndexStillHasItsRoot) {
  EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><files />", Index({}));
}

}  // namespace
}  // namespace nv
