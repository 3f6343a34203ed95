#include "package/package_reader.h"

#include <gtest/gtest.h>

#include "package/package_format.h"
#include "testing/memory_file_system.h"
#include "testing/test_bytes.h"

namespace nv {
namespace {

std::string Index(const std::string& files) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><files>" + files +
         "</files>";
}

std::string Element(const std::string& name, int id) {
  return "<file filename=\"" + name + "\" id=\"" + std::to_string(id) + "\" />";
}

// A package put together byte by byte, sound or not.
struct Crafted {
  Crafted() {
    PackageHeaderBytes header = ComposeHeader();
    bytes.assign(header.begin(), header.end());
  }
  Crafted& Entry(int32_t id, const std::string& content) {
    return Raw(id, static_cast<uint32_t>(content.size()), Deflated(content));
  }
  Crafted& Raw(int32_t id, uint32_t originalSize, const std::string& block) {
    EntryRecordBytes record =
        ComposeRecord({id, static_cast<uint32_t>(block.size()), originalSize});
    bytes.append(record.begin(), record.end());
    bytes += block;
    return *this;
  }
  std::string bytes;
};

// A sound package of two files, one of them empty.
std::string Sound() {
  return Crafted()
      .Entry(0, Index(Element("a.png", 1) + Element("b.png", 2)))
      .Entry(1, "alpha")
      .Entry(2, "")
      .bytes;
}

class PackageReaderTest : public testing::Test {
 protected:
  // Opens the bytes as a package and inflates every file; the first fault,
  // or "" when there is none.
  std::string Verify(const std::string& bytes, NameRules rules = NameRules::kPosix) {
    fs.AddFile("p.nvp", bytes);
    std::string fault;
    if (!reader.Open(fs, "p.nvp", rules, &fault)) return fault;
    for (const PackedFile& file : reader.Files()) {
      std::string content;
      ContentSink keep = [&](const uint8_t* data, size_t size, std::string*) {
        content.append(reinterpret_cast<const char*>(data), size);
        return true;
      };
      if (!reader.ReadContent(file, keep, &fault)) return fault;
      contents.push_back(content);
    }
    return "";
  }

  MemoryFileSystem fs;
  PackageReader reader;
  std::vector<std::string> contents;
};

TEST_F(PackageReaderTest, ReadsASoundPackage) {
  const std::string bytes = Sound();
  ASSERT_EQ("", Verify(bytes));
  ASSERT_EQ(2u, reader.Files().size());
  const PackedFile& a = reader.Files()[0];
  EXPECT_EQ("a.png", a.name);
  EXPECT_EQ(1, a.id);
  EXPECT_EQ(5u, a.originalSize);
  EXPECT_EQ(Deflated("alpha").size(), a.storedSize);
  EXPECT_EQ("b.png", reader.Files()[1].name);
  EXPECT_EQ(bytes.size(), reader.Files()[1].blockOffset + reader.Files()[1].storedSize);
  EXPECT_EQ((std::vector<std::string>{"alpha", ""}), contents);
}

TEST_F(PackageReaderTest, NamesComeBackAsTheyWerePacked) {
  const std::string names[] = {"a&b.png", "x&#x41;.png", "caf\xE9.png", "tab\t.png", "it's \"q\""};
  std::string elements;
  int id = 0;
  for (const char* name : {"a&amp;b.png", "x&amp;#x41;.png", "caf\xE9.png", "tab&#x09;.png",
                           "it&apos;s &quot;q&quot;"})
    elements += Element(name, ++id);
  Crafted package;
  package.Entry(0, Index(elements));
  for (int i = 1; i <= id; ++i) package.Entry(i, "x");
  ASSERT_EQ("", Verify(package.bytes));
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(names[i], reader.Files()[i].name);
}

TEST_F(PackageReaderTest, EveryTruncationIsRefused) {
  const std::string bytes = Sound();
  for (size_t size = 0; size < bytes.size(); ++size)
    EXPECT_NE("", Verify(bytes.substr(0, size))) << size;
}

TEST_F(PackageReaderTest, EveryChangedByteIsNoticed) {
  const std::string bytes = Sound();
  for (size_t at = 0; at < bytes.size(); ++at) {
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 0x5A);
    EXPECT_NE("", Verify(changed)) << at;
  }
}

struct Hostile {
  const char* what;
  std::string bytes;
  std::string fault;
};

TEST_F(PackageReaderTest, HostileLayoutsAreRefused) {
  const std::string one = Index(Element("a.png", 1));
  std::string reserved = Crafted().Entry(0, one).Entry(1, "a").bytes;
  reserved[1044 + 40] = 1;
  std::string version = Sound();
  version[2] = 3;
  const Hostile cases[] = {
      {"empty file", "",
       "it is too short for a package: 0 bytes, where the header alone takes 1044"},
      {"not a package", std::string(2000, 'x'), "not a package: it does not begin with \"NP\""},
      {"other version", version, "format version 3 is not supported (only 2)"},
      {"header alone", Crafted().bytes, "it holds no index: the file ends after the header"},
      {"record cut off", Crafted().bytes + std::string(75, '\0'),
       "the file ends inside the record at offset 1044"},
      {"reserved record bytes", reserved,
       "the record at offset 1044 has reserved bytes that are not zero"},
      {"block past the end",
       Crafted()
           .Entry(0, one)
           .Raw(1, 1, std::string(9, 'z'))
           .bytes.substr(0, 1044 + 76 + Deflated(one).size() + 76 + 5),
       "the record at offset " + std::to_string(1044 + 76 + Deflated(one).size()) +
           " announces 9 bytes, but only 5 follow"},
      {"impossible size", Crafted().Entry(0, one).Raw(1, 20641, std::string(20, 'z')).bytes,
       "the record at offset " + std::to_string(1044 + 76 + Deflated(one).size()) +
           " claims 20641 bytes from 20 compressed ones, more than zlib can give"},
      {"index first with another id", Crafted().Entry(1, one).Entry(2, "a").bytes,
       "the first entry has the id 1, where the index has 0"},
      // 1024 bytes for the declaration and the root, and 1566 for the
      // element of a name of 255 characters, each escaped in six bytes.
      {"index larger than files need", Crafted().Raw(0, 2591, Deflated(one)).Entry(1, "a").bytes,
       "the index claims 2591 bytes, more than 1 files can need"},
      {"index as large as files need", Crafted().Raw(0, 2590, Deflated(one)).Entry(1, "a").bytes,
       "the index: the content is " + std::to_string(one.size()) + " bytes, not 2590"},
      {"index not zlib", Crafted().Raw(0, 3, "abc").Entry(1, "a").bytes,
       "the index: not a valid zlib stream (incorrect header check)"},
      {"index shorter than said", Crafted().Raw(0, 200, Deflated(one)).Entry(1, "a").bytes,
       "the index: the content is " + std::to_string(one.size()) + " bytes, not 200"},
  };
  for (const Hostile& c : cases) EXPECT_EQ(c.fault, Verify(c.bytes)) << c.what;
}

TEST_F(PackageReaderTest, HostileBlocksAreRefused) {
  const std::string one = Index(Element("a.png", 1));
  const std::string bomb = Deflated(std::string(1 << 20, '\0'));
  const Hostile cases[] = {
      {"bomb", Crafted().Entry(0, one).Raw(1, 1000, bomb).bytes,
       "file 1 \"a.png\": the content is longer than its 1000 bytes"},
      {"short content", Crafted().Entry(0, one).Raw(1, 6, Deflated("alpha")).bytes,
       "file 1 \"a.png\": the content is 5 bytes, not 6"},
      {"bytes after the stream", Crafted().Entry(0, one).Raw(1, 5, Deflated("alpha") + "!").bytes,
       "file 1 \"a.png\": bytes follow the end of the compressed stream"},
      {"stream cut short", Crafted().Entry(0, one).Raw(1, 5, Deflated("alpha").substr(0, 6)).bytes,
       "file 1 \"a.png\": the compressed stream does not end within its block"},
      {"empty block", Crafted().Entry(0, one).Raw(1, 0, "").bytes,
       "file 1 \"a.png\": the compressed stream does not end within its block"},
      {"checksum", Crafted().Entry(0, one).Raw(1, 5, Deflated("alpha").substr(0, 9) + "xxxx").bytes,
       "file 1 \"a.png\": not a valid zlib stream (incorrect data check)"},
  };
  for (const Hostile& c : cases) EXPECT_EQ(c.fault, Verify(c.bytes)) << c.what;
}

struct HostileIndex {
  std::string index;
  int files;  // how many entries follow the index
  std::string fault;
};

TEST_F(PackageReaderTest, HostileIndexesAreRefused) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>";
  std::string deep, deeper, wide = "<file filename=\"a.png\" id=\"1\"";
  for (int i = 0; i < 300; ++i) deep += "<files>";
  for (int i = 0; i < 100000; ++i) deeper += "<file>";
  for (int i = 0; i < 255; ++i) wide += " a" + std::to_string(i) + "=\"\"";
  const HostileIndex cases[] = {
      {Index(Element("a.png", 1)) + std::string(1, '\0'), 1, "the index holds a zero byte"},
      {declaration + deep, 300, "the index nests elements more than 256 levels deep"},
      {Index(wide + " />"), 1, "the index gives an element more than 256 attributes"},
      // The reference takes the quote and the tag's end along; the levels
      // behind are real, and room enough for them is claimed by 400 files.
      {declaration + "<files a=\"&#x\"x41;\">" + deeper, 400,
       "the index nests elements more than 256 levels deep"},
      {Index("<file filename=\"a.png\" id=\"1\">"), 1,
       "the index is not well-formed XML: Error reading end tag."},
      {"<files>" + Element("a.png", 1) + "</files>", 1,
       "the index does not begin with an XML declaration"},
      {declaration + "<package>" + Element("a.png", 1) + "</package>", 1,
       "the index has no \"files\" element"},
      {Index(Element("a.png", 1)) + "<files/>", 2,
       "the index holds more than a declaration and its \"files\" element"},
      {declaration + "<!-- x -->" + "<files>" + Element("a.png", 1) + "</files>", 1,
       "the index holds more than a declaration and its \"files\" element"},
      {Index(""), 0, "the index lists 0 files, but 0 entries follow it"},
      {Index(Element("a.png", 1)), 2, "the index lists 1 files, but 2 entries follow it"},
      {Index(Element("a.png", 1) + Element("b.png", 2)), 1,
       "the index holds more elements than the package has entries"},
      {Index(Element("a.png", 1) + "<x><y/></x>"), 2,
       "the index holds more elements than the package has entries"},
      {declaration + "<files a=\"\" b=\"\"><file filename=\"a.png\" id=\"1\" c=\"\" />"
                     "</files>",
       1, "the index holds more attributes than two for each entry of the package"},
      {declaration + "<files>x<!-- -->" + Element("a.png", 1) + "</files>", 1,
       "the index holds more texts, comments and other nodes than the package has entries"},
      {Index("<entry filename=\"a.png\" id=\"1\" />"), 1,
       "the index's element 1 is not an empty \"file\" element"},
      {Index("<file filename=\"a.png\" id=\"1\">x</file>"), 1,
       "the index's element 1 is not an empty \"file\" element"},
      {Index("text"), 1, "the index's element 1 is not an empty \"file\" element"},
      {Index("<file id=\"1\" />"), 1,
       "the index's element 1 does not have exactly the attributes \"filename\" and \"id\""},
      {Index("<file filename=\"a.png\" id=\"1\" size=\"3\" />"), 1,
       "the index's element 1 does not have exactly the attributes \"filename\" and \"id\""},
      {Index(Element("a.png", 2)), 1,
       "the index's element 1 has the id \"2\": ids count 1, 2, 3, ... in order"},
      {Index("<file filename=\"a.png\" id=\"01\" />"), 1,
       "the index's element 1 has the id \"01\": ids count 1, 2, 3, ... in order"},
      {Index(Element("a.png", 1) + Element("b.png", 1)), 2,
       "the index's element 2 has the id \"1\": ids count 1, 2, 3, ... in order"},
  };
  for (const HostileIndex& c : cases) {
    Crafted package;
    package.Entry(0, c.index);
    for (int id = 1; id <= c.files; ++id) package.Entry(id, "x");
    EXPECT_EQ(c.fault, Verify(package.bytes)) << c.index.substr(0, 200);
  }
}

// Many empty records, 76 bytes each, and an index of as many four-byte
// elements as the records leave room for: deflated a thousandfold, each
// would cost the parser a node of its own.
TEST_F(PackageReaderTest, IndexOfMoreElementsThanEntriesIsNotParsed) {
  const int files = 2000;
  std::string elements;
  for (int k = 0; k < files * 1000 / 4; ++k) elements += "<f/>";
  Crafted package;
  package.Entry(0, Index(elements));
  for (int id = 1; id <= files; ++id) package.Raw(id, 0, "");
  ASSERT_LT(package.bytes.size(), 200000u);
  EXPECT_EQ("the index holds more elements than the package has entries", Verify(package.bytes));
}

TEST_F(PackageReaderTest, RecordsMustCarryTheIndexIds) {
  const std::string two = Index(Element("a.png", 1) + Element("b.png", 2));
  EXPECT_EQ("file 2 \"b.png\": its record has the id 3",
            Verify(Crafted().Entry(0, two).Entry(1, "a").Entry(3, "b").bytes));
  EXPECT_EQ("file 1 \"a.png\": its record has the id 2",
            Verify(Crafted().Entry(0, two).Entry(2, "b").Entry(1, "a").bytes));
}

struct HostileName {
  std::vector<std::string> names;  // as the index holds them
  NameRules rules;
  std::string fault;
};

TEST_F(PackageReaderTest, HostileNamesAreRefused) {
  const auto posix = NameRules::kPosix;
  const auto windows = NameRules::kWindows;
  const HostileName cases[] = {
      {{"../evil.png"},
       posix,
       "file 1 \"../evil.png\": its name cannot be a file here: it holds a path separator"},
      {{"/etc/passwd"},
       posix,
       "file 1 \"/etc/passwd\": its name cannot be a file here: it holds a path separator"},
      {{".."},
       posix,
       "file 1 \"..\": its name cannot be a file here: it names a folder, not a file"},
      {{""}, posix, "file 1 \"\": its name cannot be a file here: it is empty"},
      {{"a&#x0;b"},
       posix,
       "file 1 \"a\\x00b\": its name cannot be a file here: it holds a zero byte"},
      {{"a.png", "b.png", "a.png"}, posix, "file 3 \"a.png\": the name is listed twice"},
      {{"..\\evil.png"},
       windows,
       "file 1 \"..\\\\evil.png\": its name cannot be a file here: it holds a path separator"},
      {{"C:\\evil.png"},
       windows,
       "file 1 \"C:\\\\evil.png\": its name cannot be a file here: it holds a path separator"},
      {{"C:evil.png"},
       windows,
       "file 1 \"C:evil.png\": its name cannot be a file here: it holds \":\", which names a "
       "drive or a stream"},
      {{"nul.png"},
       windows,
       "file 1 \"nul.png\": its name cannot be a file here: it names a Windows device"},
      {{"a.png."},
       windows,
       "file 1 \"a.png.\": its name cannot be a file here: it ends in a dot or a space, which "
       "Windows drops"},
      {{"Main.xml", "main.XML"},
       windows,
       "file 2 \"main.XML\": the name differs from file 1's only in letter case"},
  };
  for (const HostileName& c : cases) {
    std::string elements;
    int id = 0;
    for (const std::string& name : c.names) elements += Element(name, ++id);
    Crafted package;
    package.Entry(0, Index(elements));
    for (int i = 1; i <= id; ++i) package.Entry(i, "x");
    EXPECT_EQ(c.fault, Verify(package.bytes, c.rules)) << c.fault;
  }
  // What Windows refuses, POSIX may keep.
  Crafted package;
  package.Entry(0, Index(Element("Main.xml", 1) + Element("main.XML", 2) + Element("a:b", 3)))
      .Entry(1, "1")
      .Entry(2, "2")
      .Entry(3, "3");
  EXPECT_EQ("", Verify(package.bytes, posix));
}

}  // namespace
}  // namespace nv
