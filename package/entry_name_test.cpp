#include "package/entry_name.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

struct NameCase {
  std::string name;
  const char* posix;    // the fault under POSIX rules, or "" when allowed
  const char* windows;  // the same under Windows rules
};

TEST(EntryNameTest, NamesThatAreNotPlainFilesAreRefused) {
  const char* separator = "it holds a path separator";
  const char* device = "it names a Windows device";
  const char* character = "it holds a character that Windows does not allow in file names";
  const char* trailing = "it ends in a dot or a space, which Windows drops";
  const NameCase cases[] = {
      {"main.xml", "", ""},
      {"caf\xE9 .png", "", ""},
      {"x&#x41;.png", "", ""},
      {"..nvp", "", ""},
      {"COM10", "", ""},
      {"console.png", "", ""},
      {"", "it is empty", "it is empty"},
      {".", "it names a folder, not a file", "it names a folder, not a file"},
      {"..", "it names a folder, not a file", "it names a folder, not a file"},
      {std::string("a\0b", 3), "it holds a zero byte", "it holds a zero byte"},
      {"../evil.png", separator, separator},
      {"/etc/passwd", separator, separator},
      {"a\\b.png", "", separator},
      {"..\\evil.png", "", separator},
      {"C:evil.png", "", "it holds \":\", which names a drive or a stream"},
      {"a.png:stream", "", "it holds \":\", which names a drive or a stream"},
      {"tab\there", "", character},
      {"what?.png", "", character},
      {"a|b", "", character},
      {"a.png.", "", trailing},
      {"a.png ", "", trailing},
      {"CON", "", device},
      {"nul.png", "", device},
      {"Aux .txt", "", device},
      {"com1", "", device},
      {"LPT9.log", "", device},
      {"COM\xB9", "", device},
      {"conout$", "", device},
  };
  for (const NameCase& c : cases) {
    for (NameRules rules : {NameRules::kPosix, NameRules::kWindows}) {
      const std::string expected = rules == NameRules::kPosix ? c.posix : c.windows;
      std::string fault;
      EXPECT_EQ(expected.empty(), CheckEntryName(c.name, rules, &fault)) << c.name;
      EXPECT_EQ(expected, fault) << c.name;
    }
  }
}

TEST(EntryNameTest, WindowsKeysIgnoreLetterCase) {
  EXPECT_EQ(EntryNameKey("Main.XML", NameRules::kWindows),
            EntryNameKey("main.xml", NameRules::kWindows));
  EXPECT_NE(EntryNameKey("Main.XML", NameRules::kPosix),
            EntryNameKey("main.xml", NameRules::kPosix));
  EXPECT_NE(EntryNameKey("caf\xE9", NameRules::kWindows),
            EntryNameKey("caf\xC9", NameRules::kWindows));
}

TEST(EntryNameTest, EscapedTextStaysOnOneLine) {
  struct Escaped {
    std::string text;
    const char* doubled;  // as list shows names
    const char* single;   // as diagnostics and error lines show text
  };
  const Escaped cases[] = {
      {"a\tb\rc\nd\\e", "a\\tb\\rc\\nd\\\\e", "a\\tb\\rc\\nd\\e"},
      {std::string("\x1B[31m\0\x7F", 7), "\\x1B[31m\\x00\\x7F", "\\x1B[31m\\x00\\x7F"},
      {"caf\xE9 &.png", "caf\xE9 &.png", "caf\xE9 &.png"},
      {"C:\\themes\\ocean", "C:\\\\themes\\\\ocean", "C:\\themes\\ocean"},
  };
  for (const Escaped& c : cases) {
    EXPECT_EQ(c.doubled, EscapeName(c.text));
    EXPECT_EQ(c.doubled, EscapeText(c.text, Backslash::kDoubled));
    EXPECT_EQ(c.single, EscapeText(c.text, Backslash::kSingle));
  }
}

}  // namespace
}  // namespace nv
