#include "manifest/manifest.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

namespace nv {
namespace {

struct RootCase {
  const char* name;
  std::string text;
  bool loaded;
};

TEST(ManifestTest, RootCheck) {
  const RootCase cases[] = {
      {"right root", "<nuvarinepackage/>\n", true},
      {"after a declaration", "<?xml version=\"1.0\"?>\n<nuvarinepackage/>\n", true},
      {"after a comment", "<!-- themes -->\n<nuvarinepackage/>\n", true},
      {"after a utf-8 byte-order mark", "\xEF\xBB\xBF<nuvarinepackage/>\n", true},
      {"cut off inside", "<nuvarinepackage>\n<theme name=\"ab\">\n", true},
      {"empty text", "", false},
      {"letter case differs", "<NuvarinePackage/>\n", false},
      {"one letter more", "<nuvarinepackages/>\n", false},
      {"another root", "<theme/>\n", false},
      {"declaration only", "<?xml version=\"1.0\"?>\n", false},
      {"comment only", "<!-- nothing -->\n", false},
      {"text only", "nuvarinepackage\n", false},
      {"unparsable before the root", "<!-- open\n<nuvarinepackage/>\n", false},
  };
  for (const RootCase& c : cases) {
    TiXmlDocument manifest;
    ParseManifest(c.text, &manifest);
    EXPECT_EQ(c.loaded, HasManifestRoot(manifest)) << c.name;
  }
}

TEST(ManifestTest, CutOffDocumentKeepsWhatWasParsed) {
  TiXmlDocument manifest;
  ParseManifest("<nuvarinepackage><theme name=\"ab\"/><theme name=\"cd\">", &manifest);
  ASSERT_TRUE(HasManifestRoot(manifest));
  const TiXmlElement* theme = manifest.FirstChildElement()->FirstChildElement("theme");
  ASSERT_NE(nullptr, theme);
  EXPECT_STREQ("ab", theme->Attribute("name"));
}

TEST(ManifestTest, TextEndingInsideAUtf8SequenceIsParsedSafely) {
  // The parser steps over a whole multi-byte sequence; the text ends first.
  for (const char* tail : {"\xC3", "\xE3\x81", "\xF0\x9F\x98"}) {
    TiXmlDocument manifest;
    ParseManifest(std::string("\xEF\xBB\xBF<nuvarinepackage a=\"") + tail, &manifest);
    EXPECT_TRUE(manifest.Error()) << tail;
  }
}

TEST(ManifestTest, ParsingEndsAtTheFirstNul) {
  // A UTF-8 lead byte just before the NUL must not carry the parser past it:
  // the elements behind it were never scanned for their depth.
  std::string text = "\xEF\xBB\xBF<nuvarinepackage><theme name=\"ab\"/>\xF0";
  text += '\0';
  text += "ab<theme name=\"cd\"/>";
  for (int i = 0; i < 100000; ++i) text += "<a>";
  TiXmlDocument manifest;
  ParseManifest(text, &manifest);
  ASSERT_TRUE(HasManifestRoot(manifest));
  const TiXmlElement* root = manifest.FirstChildElement();
  ASSERT_NE(nullptr, root->FirstChildElement("theme"));
  EXPECT_EQ(nullptr, root->FirstChildElement("theme")->NextSiblingElement());
}

}  // namespace
}  // namespace nv
