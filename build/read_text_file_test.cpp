#include "build/read_text_file.h"

#include <gtest/gtest.h>

#include "platform/memory_file_system.h"

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
    std::string text = "stale";
    ReadTextFile(fs, "main.xml", &text);
    EXPECT_EQ(c.text, text) << c.name;
  }
}

TEST(ReadTextFileTest, MissingFileYieldsEmptyText) {
  MemoryFileSystem fs;
  std::string text = "stale";
  ReadTextFile(fs, "main.xml", &text);
  EXPECT_EQ("", text);
}

TEST(ReadTextFileTest, ReadErrorPartWayYieldsEmptyText) {
  MemoryFileSystem fs;
  fs.AddFile("main.xml", std::string(200000, 'x'));
  int reads = 0;
  fs.before = [&](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::Read || ++reads < 2;
  };
  std::string text;
  ReadTextFile(fs, "main.xml", &text);
  EXPECT_EQ("", text);
  EXPECT_EQ(0, fs.OpenFiles());
}

TEST(ReadTextFileTest, ReadsFilesLargerThanOneChunk) {
  MemoryFileSystem fs;
  std::string line(70000, 'y');
  fs.AddFile("big.txt", line + "\r\n" + line);
  std::string text;
  ReadTextFile(fs, "big.txt", &text);
  EXPECT_EQ(line + "\n" + line + "\n", text);
}

}  // namespace
}  // namespace nv
