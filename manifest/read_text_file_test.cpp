#include "manifest/read_text_file.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"

namespace nv {
namespace {

struct LineEndCase {
  const char* name;
  std::string bytes;
  std::string text;
};

TEST(ReadTextFileTest, EachLineEndsInOneLf) {
  const LineEndCase cases[] = {
      {"empty file", "", ""},
      {"lf lines", "a\nb\n", "a\nb\n"},
      {"crlf lines", "a\r\nb\r\n", "a\nb\n"},
      {"last line without end", "a\r\nb", "a\nb\n"},
      {"one cr dropped of two", "a\r\r\n", "a\r\n"},
      {"lone cr kept", "a\rb\n", "a\rb\n"},
      {"cr at end without lf kept", "a\r", "a\r\n"},
      {"empty lines kept", "\n\r\n\n", "\n\n\n"},
      {"ctrl-z and nul kept", std::string("a\x1A\0b\n", 5), std::string("a\x1A\0b\n", 5)},
  };
  for (const LineEndCase& c : cases) {
    MemoryFileSystem fs;
    fs.AddFile("main.xml", c.bytes);
    std::string text = "stale", err;
    ReadTextFile(fs, "main.xml", &text, &err);
    EXPECT_EQ(c.text, text) << c.name;
  }
}

TEST(ReadTextFileTest, MissingFileYieldsEmptyTextAndTheReason) {
  MemoryFileSystem fs;
  std::string text = "stale", err;
  EXPECT_EQ(TextRead::kUnreadable, ReadTextFile(fs, "main.xml", &text, &err));
  EXPECT_EQ("", text);
  EXPECT_EQ("no such file", err);
}

TEST(ReadTextFileTest, ReadErrorPartWayYieldsEmptyTextAndTheReason) {
  MemoryFileSystem fs;
  fs.AddFile("main.xml", std::string(200000, 'x'));
  fs.faultText = "read: Input/output error";
  int reads = 0;
  fs.before = [&](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::Read || ++reads < 2;
  };
  std::string text, err;
  EXPECT_EQ(TextRead::kUnreadable, ReadTextFile(fs, "main.xml", &text, &err));
  EXPECT_EQ("", text);
  EXPECT_EQ("read: Input/output error", err);
  EXPECT_EQ(0, fs.OpenFiles());
}

TEST(ReadTextFileTest, ReadsFilesLargerThanOneChunk) {
  MemoryFileSystem fs;
  std::string line(70000, 'y');
  fs.AddFile("big.txt", line + "\r\n" + line);
  std::string text, err;
  ReadTextFile(fs, "big.txt", &text, &err);
  EXPECT_EQ(line + "\n" + line + "\n", text);
}

TEST(ReadTextFileTest, FileThatKeepsGrowingIsReadUpToItsSizeWhenOpened) {
  MemoryFileSystem fs;
  const std::string start(100000, 'x');
  fs.AddFile("main.xml", start);
  // Another program appends as fast as it is read; stopped after a while, so
  // a reader that follows it still ends.
  int reads = 0;
  fs.before = [&](MemoryFileSystem::Op op, const std::string& path) {
    if (op == MemoryFileSystem::Op::Read && ++reads < 1000) fs.AppendToFile(path, start);
    return true;
  };
  std::string text, err;
  EXPECT_EQ(TextRead::kRead, ReadTextFile(fs, "main.xml", &text, &err));
  EXPECT_EQ(start + "\n", text);
  EXPECT_LE(reads, 3);
}

TEST(ReadTextFileTest, FileLargerThanAllowedIsNotRead) {
  MemoryFileSystem fs;
  fs.AddFile("main.xml", "<a/>");
  fs.SetApparentSize("main.xml", uint64_t{2} << 30);
  fs.before = [](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::Read;
  };
  std::string text = "stale", err;
  EXPECT_EQ(TextRead::kTooLarge, ReadTextFile(fs, "main.xml", &text, &err, uint64_t{256} << 20));
  EXPECT_EQ("", text);
  EXPECT_EQ(0, fs.OpenFiles());

  fs.SetApparentSize("main.xml", 4);
  fs.before = nullptr;
  EXPECT_EQ(TextRead::kRead, ReadTextFile(fs, "main.xml", &text, &err, 4));
  EXPECT_EQ("<a/>\n", text);
}

}  // namespace
}  // namespace nv
