// The warnings pass: each warning raised by a folder, and not by its near
// miss; none for the example theme.
#include "manifest/manifest_warnings.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>

#include "manifest/manifest.h"
#include "manifest/read_text_file.h"
#include "manifest/warning_table.h"
#include "testing/memory_file_system.h"
#include "testing/sample_images.h"

namespace nv {
namespace {

const std::string kPng = SamplePng(4, 4);

// A sound theme, one element a line: the theme stands at 3:3, the detail at
// 5:7, the shelf at 7:5 and the catalog at 8:7.
const std::string kSound = R"(<?xml version="1.0" encoding="utf-8"?>
<nuvarinepackage>
  <theme name="Day" screenshot="shot.png">
    <templates>
      <detail mode="grid" file="grid.xml"/>
    </templates>
    <virtualshelf background="sand.png" uwidth="120" uheight="160" uhspace="12" uvspace="16">
      <catalog name="Novels" image="novels.png" olx="10" oly="8" olwidth="100" olheight="24"/>
    </virtualshelf>
  </theme>
</nuvarinepackage>
)";

// One folder: the sound theme changed, and files added to it.
struct Case {
  const char* name;                                          // the warning the case is about
  std::vector<std::pair<std::string, std::string>> changes;  // in the manifest: from, to
  std::vector<std::pair<std::string, std::string>> files;    // name in the folder, content
  // "FILE:LINE:COLUMN NAME: MESSAGE" of each warning that is on by default
  // or is the case's own, in order.
  std::vector<std::string> want;
  std::string note = "";  // one of the first warning's notes, when given
  NameFix fix = {};       // the first warning's "did you mean", for an editor
};

// The ASCII text in UTF-16 behind the byte order mark, whose order it takes.
std::string Utf16(const std::string& mark, const std::string& ascii) {
  std::string wide = mark;
  for (char c : ascii) wide += mark[0] == '\xFE' ? std::string{'\0', c} : std::string{c, '\0'};
  return wide;
}

std::string Changed(std::string text, const Case& c) {
  for (const auto& change : c.changes) {
    const size_t at = text.find(change.first);
    if (at == std::string::npos) ADD_FAILURE() << c.name << ": no " << change.first;
    if (at != std::string::npos) text.replace(at, change.first.size(), change.second);
  }
  return text;
}

bool IsOnByDefault(const std::string& name) {
  const WarningName* warning = FindWarningName(name);
  return warning && warning->defaultOn;
}

// A stand-in for Windows' rules: the caller passes the real ones.
bool RefusesAux(const std::string& name, std::string* fault) {
  if (name != "aux.png") return true;
  *fault = "it names a Windows device";
  return false;
}

const std::string kFolder = "day";

// The sound theme's folder, with its manifest and files.
class ThemeFolder {
 public:
  ThemeFolder() {
    fs.AddFolder(kFolder);
    fs.AddFolder(JoinPath(kFolder, "img"));
    for (const char* image : {"shot.png", "sand.png", "novels.png"}) Add(image, kPng);
    Add("grid.xml", "<layout mode=\"grid\"/>\n");
    options.windowsNameCheck = RefusesAux;
  }

  void Add(const std::string& name, const std::string& content) {
    fs.AddFile(JoinPath(kFolder, name), content);
  }

  std::vector<Diagnostic> Warnings(const std::string& text) {
    Add("main.xml", text);
    TiXmlDocument manifest;
    ParseManifest(text, &manifest);
    EXPECT_TRUE(HasManifestRoot(manifest));
    return ManifestWarnings(fs, kFolder, text, manifest, options);
  }

  MemoryFileSystem fs;
  WarningOptions options;
};

std::string Shown(const Diagnostic& d) {
  EXPECT_EQ(FindWarningName(d.name)->severity, d.severity);
  EXPECT_EQ(0u, d.file.compare(0, kFolder.size() + 1, kFolder + kPathSeparator)) << d.file;
  return d.file.substr(kFolder.size() + 1) + ":" + std::to_string(d.at.line) + ":" +
         std::to_string(d.at.column) + " " + d.name + ": " + d.message;
}

TEST(ManifestWarningsTest, EachWarningAndItsNearMiss) {
  const std::string sub = std::string("img") + kPathSeparator + "shot.png";
  // At the value, in the catalog of line 8.
  const auto bad = [](int column) {
    return "main.xml:8:" + std::to_string(column) + " loose-integer: ";
  };
  const Case cases[] = {
      {"none", {}, {}, {}},

      {"lost-content",
       {{"</theme>", "</thme>"},
        {"</nuvarinepackage>",
         "<theme name=\"Night\" screenshot=\"shot.png\"/>\n</nuvarinepackage>"}},
       {},
       {"main.xml:10:5 malformed-xml: main.xml is not well-formed XML: mismatched tag: '</thme>' "
        "where 'theme', opened at line 3, is open",
        "main.xml:11:1 lost-content: the theme 'Night' is written here, but the builder never "
        "reads "
        "it"}},
      // Made elements of where the rules read no theme.
      {"lost-content",
       {{"</nuvarinepackage>",
         "</nuvarinepackage>\n<theme name=\"Night\" screenshot=\"shot.png\"/>"}},
       {},
       {"main.xml:12:1 malformed-xml: main.xml is not well-formed XML: junk after document element",
        "main.xml:12:1 lost-content: the theme 'Night' is written here, but the builder never "
        "reads it"}},
      {"lost-content",
       {{"</nuvarinepackage>",
         "<Theme name=\"Night\" screenshot=\"shot.png\"/></nuvarinepackage>"}},
       {},
       {"main.xml:11:1 lost-content: the theme 'Night' is written here, but the builder never "
        "reads it"},
       "'Theme' is not 'theme': element names are read in their letter case"},
      {"lost-content",
       {{"<virtualshelf", "<!-- a comment never closed\n  <virtualshelf"},
        {"</nuvarinepackage>", "<theme name=\"Night\"/>\n</nuvarinepackage>"}},
       {},
       {"main.xml:7:5 malformed-xml: main.xml is not well-formed XML: unclosed token",
        "main.xml:12:1 lost-content: the theme 'Night' is written here, but the builder never "
        "reads it"}},
      {"lost-content",
       {{"</nuvarinepackage>", "<!-- <theme name=\"Old\"/> -->\n</nuvarinepackage>"}},
       {},
       {}},

      {"unpacked-reference",
       {{"screenshot=\"shot.png\"", "screenshot=\"" + sub + "\""}},
       {{sub, kPng}},
       {"main.xml:3:33 unpacked-reference: '" + sub +
        "' is not directly in the folder, and the package holds only the files that are"},
       "the theme would be packed without it; move the file into the folder and name it "
       "'shot.png'"},
      // Missing there: the log's error says so.
      {"unpacked-reference", {{"screenshot=\"shot.png\"", "screenshot=\"" + sub + "\""}}, {}, {}},
      // In the folder, under a name the index does not list.
      {"unpacked-reference",
       {{"screenshot=\"shot.png\"", "screenshot=\"./shot.png\""}},
       {},
       {"main.xml:3:33 unpacked-reference: './shot.png' names no file of the package, whose index "
        "lists it as 'shot.png'"},
       "the media application looks the name up as it is written and finds nothing; write "
       "'shot.png'"},

      {"case-mismatch",
       {{"screenshot=\"shot.png\"", "screenshot=\"Shot.png\""}},
       {},
       {"main.xml:3:33 case-mismatch: 'Shot.png' is not in the folder in that letter case"},
       "the folder holds 'shot.png': Windows builds the theme, Linux does not, and the media "
       "application may not find the file; write its name as it is",
       {"Shot.png", "shot.png"}},
      {"case-mismatch", {{"screenshot=\"shot.png\"", "screenshot=\"Shots.png\""}}, {}, {}},

      {"unknown-element",
       {{"</templates>", "</templates><templatess><detail/></templatess>"}},
       {},
       {"main.xml:6:17 unknown-element: unknown element 'templatess': it is passed over, with "
        "all it holds"},
       "did you mean 'templates'?",
       {"templatess", "templates"}},
      {"unknown-element", {{"</templates>", "</templates><!-- <templatess/> -->"}}, {}, {}},

      {"unknown-attribute",
       {{"background=", "backgroud=\"sand.png\" background="}},
       {},
       {"main.xml:7:19 unknown-attribute: unknown attribute 'backgroud' of 'virtualshelf': it is "
        "passed over"},
       "did you mean 'background'?",
       {"backgroud", "background"}},
      // Too far from any to mean one.
      {"unknown-attribute",
       {{"background=", "bg=\"sand.png\" background="}},
       {},
       {"main.xml:7:19 unknown-attribute: unknown attribute 'bg' of 'virtualshelf': it is passed "
        "over"}},
      // The declaration's attributes are not the manifest's.
      {"unknown-attribute", {{"encoding=\"utf-8\"", "standalone=\"yes\""}}, {}, {}},

      {"misplaced-element",
       {{"<templates>", "<detail mode=\"list\" file=\"grid.xml\"/><templates>"}},
       {},
       {"main.xml:4:5 misplaced-element: 'detail' is not read in 'theme'"},
       "it belongs in 'templates'"},
      {"misplaced-element",
       {{"</templates>",
         "</templates><templates><detail mode=\"list\" file=\"grid.xml\"/>"
         "</templates>"}},
       {},
       {}},

      // The column counts a tab as one.
      {"stray-text",
       {{"<templates>", "<templates>\t\tGrid &amp; list"},
        {"olheight=\"24\"/>", "olheight=\"24\"><![CDATA[ ]]></catalog>"}},
       {},
       {"main.xml:4:18 stray-text: text 'Grid & list' in 'templates': it is passed over",
        "main.xml:8:94 stray-text: a CDATA section in 'catalog': it is passed over"},
       "'templates' holds elements alone, and the media application reads no text in it; "
       "delete it, or make it a comment: <!-- ... -->"},
      {"stray-text", {{"<templates>", "<templates> &#32;<!-- Grid -->\t"}}, {}, {}},

      {"foreign-namespace",
       {{"<nuvarinepackage>", "<nuvarinepackage xmlns=\"urn:x\">"}},
       {},
       {"main.xml:2:1 foreign-namespace: 'nuvarinepackage' is in the namespace 'urn:x', with all "
        "it holds"},
       "the builder reads names as written, but a reader that heeds namespaces (the media "
       "application may be one) finds none of the manifest's elements there; delete the xmlns "
       "attribute"},
      {"foreign-namespace",
       {{"<nuvarinepackage>", "<nuvarinepackage xmlns=\"\" xmlns:n=\"urn:x\">"}},
       {},
       {}},

      {"loose-integer",
       {{"olwidth=\"100\"", "olwidth=\"100px\""}},
       {},
       {bad(75) + "'olwidth' is '100px', which the rule reads as 100"}},
      {"loose-integer",
       {{"olx=\"10\"", "olx=\"1.5\""}},
       {},
       {bad(54) + "'olx' is '1.5', which the rule reads as 1"}},
      {"loose-integer",
       {{"oly=\"8\"", "oly=\"0x10\""}},
       {},
       {bad(63) + "'oly' is '0x10', which the rule reads as 0"}},
      {"loose-integer",
       {{"olx=\"10\"", "olx=\"1 0\""}},
       {},
       {bad(54) + "'olx' is '1 0', which the rule reads as 1"}},
      {"loose-integer",
       {{"olx=\"10\"", "olx=\"99999999999999999999\""}},
       {},
       {bad(54) + "'olx' is '99999999999999999999', beyond the range of an integer"}},
      {"loose-integer",
       {{"olx=\"10\"", "olx=\"-2147483649\""}},
       {},
       {bad(54) + "'olx' is '-2147483649', beyond the range of an integer"}},
      {"loose-integer",
       {{"olheight=\"24\"", "olheight=\"0\""}},
       {},
       {bad(90) + "'olheight' is '0': a width or height must be 1 or more"}},
      {"loose-integer",
       {{"olwidth=\"100\"", "olwidth=\"-100\""}},
       {},
       {bad(75) + "'olwidth' is '-100': a width or height must be 1 or more"}},
      {"loose-integer",
       {{"olx=\"10\"", "olx=\" 10\""}, {"oly=\"8\"", "oly=\"8\t\""}},
       {},
       {bad(54) + "'olx' is ' 10', with blanks around the number",
        bad(64) + "'oly' is '8\t', with blanks around the number"},
       "the rule passes over them, where a strict reader refuses the value; write the number "
       "alone"},
      // A sign, the edges of the range, an offset of 0 or less, and a value
      // the rule refuses (the log's) all pass.
      {"loose-integer",
       {{"olx=\"10\"", "olx=\"-2147483648\""},
        {"oly=\"8\"", "oly=\"+2147483647\""},
        {"olwidth=\"100\"", "olwidth=\"1\""},
        {"uhspace=\"12\"", "uhspace=\"0\""},
        {"uvspace=\"16\"", "uvspace=\"-16\""},
        {"olheight=\"24\"", "olheight=\"px\""}},
       {},
       {}},

      // A name no reader knows; the near miss is below.
      {"malformed-xml",
       {{"utf-8", "utf8x"}},
       {},
       {"main.xml:1:31 malformed-xml: main.xml is not well-formed XML: unknown encoding: 'utf8x' "
        "(name the encoding the file is saved in: encoding=\"utf-8\", or none)"}},
      {"malformed-xml",
       {{"olheight=\"24\"/>", "olheight=\"24\">"}},
       {},
       {"main.xml:9:7 malformed-xml: main.xml is not well-formed XML: mismatched tag: "
        "'</virtualshelf>' where 'catalog', opened at line 8, is open"},
       "the builder reads it, but a strict reader (the media application may be one) refuses "
       "this file"},
      {"malformed-xml",
       {{"name=\"Novels\"", "name=\"Novels&amp;&nbsp;Comics\""}},
       {},
       {"main.xml:8:33 malformed-xml: main.xml is not well-formed XML: undefined entity: "
        "'&nbsp;'"}},
      {"malformed-xml",
       {{"name=\"Novels\"", "name=\"Nov\xE9ls\""}},
       {},
       {"main.xml:8:25 malformed-xml: main.xml is not well-formed XML: byte 0xE9 is not UTF-8, "
        "the encoding the file is read in (save it as UTF-8, or name its encoding in the XML "
        "declaration)"}},
      {"malformed-xml",
       {{"name=\"Novels\"", "name=\"Novels & Comics\""}},
       {},
       {"main.xml:8:29 malformed-xml: main.xml is not well-formed XML: not well-formed (invalid "
        "token)"}},
      // An encoding expat does not know is no fault of the text.
      {"malformed-xml",
       {{"name=\"Novels\"",
         "name=\"Novels &amp; Com\xED"
         "cs\""},
        {"utf-8", "windows-1252"}},
       {},
       {}},

      {"not-a-layout",
       {},
       {{"grid.xml", "<layout>\n  <cover>\n</layout>\n"}},
       {"main.xml:5:33 not-a-layout: 'grid.xml' is not a layout: it is not well-formed XML"},
       JoinPath(kFolder, "grid.xml") +
           ":3:3: mismatched tag: '</layout>' where 'cover', opened at line 2, is open"},
      {"not-a-layout", {}, {{"grid.xml", "<layout>\n  <cover/>\n</layout>\n"}}, {}},
      // UTF-16 as Windows' editors save it, its place counted in characters.
      {"not-a-layout",
       {},
       {{"grid.xml", Utf16("\xFE\xFF",
                           "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                           "<layout>\r\n  <cover>\r\n</layout>\r\n")}},
       {"main.xml:5:33 not-a-layout: 'grid.xml' is not a layout: it is not well-formed XML"},
       JoinPath(kFolder, "grid.xml") +
           ":4:3: mismatched tag: an end tag where 'cover', opened at line 3, is open"},
      {"not-a-layout",
       {},
       {{"grid.xml", Utf16("\xFF\xFE",
                           "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                           "<layout>\r\n  <cover/>\r\n</layout>\r\n")}},
       {}},

      {"not-an-image",
       {},
       {{"sand.png", "<svg/>"}},
       {"main.xml:7:31 not-an-image: 'sand.png' is not an image: it begins as no PNG, JPEG, GIF or "
        "BMP file does"}},
      {"not-an-image", {}, {{"sand.png", SampleJpeg(8, 8)}, {"novels.png", SampleGif(8, 8)}}, {}},

      {"broken-image", {}, {{"sand.png", ""}}, {"main.xml:7:31 broken-image: 'sand.png' is empty"}},
      {"broken-image",
       {},
       {{"sand.png", kPng.substr(0, 20)}},
       {"main.xml:7:31 broken-image: 'sand.png' is a broken PNG image: the file ends at byte 20, "
        "before the image is whole"},
       "the media application cannot show it; save the image again from the program that made it"},

      {"duplicate-theme-name",
       {{"</nuvarinepackage>",
         "  <theme name=\"Day\" screenshot=\"shot.png\"/>\n"
         "</nuvarinepackage>"}},
       {},
       {"main.xml:11:3 duplicate-theme-name: another theme is named 'Day'"},
       JoinPath(kFolder, "main.xml") + ":3:3: the first theme named 'Day'"},
      {"duplicate-theme-name",
       {{"</nuvarinepackage>",
         "  <theme name=\"day\" screenshot=\"shot.png\"/>\n"
         "</nuvarinepackage>"}},
       {},
       {}},

      {"stray-file",
       {},
       {{"Thumbs.db", "cache"}},
       {"Thumbs.db:1:1 stray-file: 'Thumbs.db' would be packed, and looks like Windows' "
        "thumbnail cache"}},
      {"stray-file", {}, {{"~shot.png", kPng}, {JoinPath("img", "shot.png~"), kPng}}, {}},

      {"unused-file",
       {},
       {{"old.png", kPng}},
       {"old.png:1:1 unused-file: 'old.png' is packed, but no theme uses it"}},
      // main.xml, a folder, and a file in one, are not.
      {"unused-file", {}, {{JoinPath("img", "old.png"), kPng}}, {}},

      {"unportable-name",
       {},
       {{"caf\xC3\xA9.png", kPng}, {"aux.png", kPng}, {"Shot.png", kPng}},
       {"aux.png:1:1 unportable-name: 'aux.png' is refused on Windows: it names a Windows device",
        "caf\xC3\xA9.png:1:1 unportable-name: 'caf\xC3\xA9.png' holds bytes above 0x7F",
        "shot.png:1:1 unportable-name: 'shot.png' and 'Shot.png' differ in letter case alone"}},
      {"unportable-name", {}, {{"cafe.png", kPng}, {"aux-1.png", kPng}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(std::string(c.name) == "none" || FindWarningName(c.name));
    ThemeFolder folder;
    for (const auto& file : c.files) folder.Add(file.first, file.second);
    std::vector<std::string> shown;
    const Diagnostic* first = nullptr;
    const std::vector<Diagnostic> warnings = folder.Warnings(Changed(kSound, c));
    for (const Diagnostic& d : warnings) {
      if (!IsOnByDefault(d.name) && d.name != c.name) continue;
      shown.push_back(Shown(d));
      if (!first) first = &d;
    }
    EXPECT_EQ(c.want, shown);
    if (first && !c.note.empty()) {
      std::vector<std::string> notes = first->notes;
      for (const LocatedNote& note : first->related)
        notes.push_back(note.file + ":" + std::to_string(note.at.line) + ":" +
                        std::to_string(note.at.column) + ": " + note.text);
      EXPECT_EQ(1, std::count(notes.begin(), notes.end(), c.note));
    }
    if (first) EXPECT_EQ(c.fix, first->fix);
  }
}

// The pass's order: the manifest's warnings as they stand in the text, the
// strict parser's among them, then the folder's.
// A lost theme's first note says where the builder's parser stopped: at
// that place, in an author's words where a broken tag stopped it.
TEST(ManifestWarningsTest, ALostThemeSaysWhereTheParserStopped) {
  const struct {
    std::string from, to;
    const char* note;
  } kCases[] = {
      {"<catalog name=\"Novels\"", "<catalog name=\"Novels\" name=\"N\"",
       "8:30: the builder's parser stopped here, where attribute 'name' is given twice"},
      {"<virtualshelf", "<!-- never closed <virtualshelf",
       "the builder's parser stopped before it: Error reading Element value."},
  };
  for (const auto& c : kCases) {
    ThemeFolder folder;
    std::string text = kSound;
    text.replace(text.find(c.from), c.from.size(), c.to);
    text.replace(text.find("</nuvarinepackage>"), 0, "<theme name=\"Night\"/>\n");
    std::vector<std::string> notes;
    for (const Diagnostic& d : folder.Warnings(text)) {
      if (d.name != "lost-content") continue;
      for (const LocatedNote& n : d.related)
        notes.push_back(std::to_string(n.at.line) + ":" + std::to_string(n.at.column) + ": " +
                        n.text);
      notes.insert(notes.end(), d.notes.begin(), d.notes.end());
    }
    ASSERT_FALSE(notes.empty()) << c.note;
    EXPECT_EQ(c.note, notes[0]);
  }
}

TEST(ManifestWarningsTest, ManifestInDocumentOrderThenFolder) {
  ThemeFolder folder;
  folder.Add("Thumbs.db", "cache");
  const Case c = {"order",
                  {{"screenshot=\"shot.png\"", "screenshot=\"Shot.png\""},
                   {"<templates>", "<templates><templatess/>"},
                   {"name=\"Novels\"", "name=\"Novels & Comics\""},
                   {"olx=\"10\"", "olx=\"10px\""}},
                  {},
                  {}};
  std::vector<std::string> names;
  for (const Diagnostic& d : folder.Warnings(Changed(kSound, c))) names.push_back(d.name);
  const std::vector<std::string> want = {
      "case-mismatch",    // 3:3
      "unknown-element",  // 4:16
      "malformed-xml",    // 8:30, the "&"
      "loose-integer",    // 8:40, the value
      "stray-file",       // the folder's, after all of the manifest's
      "unused-file",
  };
  EXPECT_EQ(want, names);
}

TEST(ManifestWarningsExampleTest, OceanGivesNoWarningByDefault) {
  const std::string folder = JoinPath(NV_EXAMPLES_DIR, "ocean");
  std::string text, err;
  ASSERT_EQ(TextRead::kRead,
            ReadTextFile(RealFileSystem(), JoinPath(folder, "main.xml"), &text, &err))
      << err;
  TiXmlDocument manifest;
  ParseManifest(text, &manifest);
  ASSERT_TRUE(HasManifestRoot(manifest));
  std::vector<std::string> shown;
  for (const Diagnostic& d : ManifestWarnings(RealFileSystem(), folder, text, manifest))
    if (FindWarningName(d.name)->defaultOn) shown.push_back(d.name + ": " + d.message);
  EXPECT_EQ(std::vector<std::string>(), shown);
}

}  // namespace
}  // namespace nv
