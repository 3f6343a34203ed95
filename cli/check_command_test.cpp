// nvtheme check: its exit status, and the log, gnu, JSON and SARIF forms of
// what it finds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "cli/sarif_report.h"
#include "cli/warning_switches.h"
#include "manifest/warning_table.h"
#include "testing/command_fixture.h"
#include "testing/json_reader.h"
#include "testing/memory_file_system.h"
#include "testing/sound_theme.h"
#include "testing/sample_images.h"

namespace nv {
namespace {

TEST_F(NvthemeTest, CheckExitStatus) {
  AddFolder("sound", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  AddFolder("themeless", "<nuvarinepackage/>");
  AddFolder("faulty", "<nuvarinepackage>" + kSoundTheme + "<theme/></nuvarinepackage>");
  AddFolder("rootless", "<themes/>");
  struct StatusCase {
    std::vector<std::string> args;
    int status;
  };
  const StatusCase cases[] = {
      {{"check", "sound"}, 0},
      {{"check", "sound", "themeless"}, 0},
      {{"check", "faulty"}, 1},
      {{"check", "rootless"}, 1},
      {{"check", "sound", "faulty", "sound"}, 1},
      {{"check", "nowhere", "sound"}, 1},
      {{"check"}, 2},
      {{"check", "--format=html", "sound"}, 2},
  };
  for (const StatusCase& c : cases) {
    std::vector<std::string> gnu = c.args;
    gnu.insert(gnu.begin() + 1, "--format=gnu");
    EXPECT_EQ(c.status, Run(c.args)) << c.args.back();
    EXPECT_EQ(c.status, Run(gnu)) << c.args.back();
    if (c.status == 0) {
      EXPECT_EQ("", out.str()) << "gnu lines for sound folders";
    }
  }
}

// Each fault is told where an editor puts it right: an attribute's name, a
// value, an entity's "&", the element found instead of the root; a place
// elsewhere is a note of its own there.
TEST_F(NvthemeTest, GnuLinesPointAtTheFault) {
  struct PlaceCase {
    std::vector<std::pair<std::string, std::string>> changes;  // in the manifest
    std::string grid;  // grid.xml's text, when not a sound layout
    std::string file;  // of the line
    std::string line;  // after "FILE:"
  };
  const PlaceCase cases[] = {
      {{{"background=", "backgroud="}},
       "",
       "main.xml",
       "3:17: warning: unknown attribute 'backgroud' of 'virtualshelf': it is passed over "
       "[-Wunknown-attribute]"},
      {{{"uwidth=\"1\"", "uwidth=\"1px\""}},
       "",
       "main.xml",
       "4:25: warning: 'uwidth' is '1px', which the rule reads as 1 [-Wloose-integer]"},
      {{{"\"grid.xml\"", "\"Grid.xml\""}},
       "",
       "main.xml",
       "2:40: error: The file: 'Grid.xml' in attribute 'file' doesn't exist or can't be read."},
      {{{"\"Day\"", "\"D & D\""}},
       "",
       "main.xml",
       "1:33: warning: main.xml is not well-formed XML: not well-formed (invalid token) "
       "[-Wmalformed-xml]"},
      {{{"\"Day\"", "\"D&nbsp;\""}},
       "",
       "main.xml",
       "1:32: warning: main.xml is not well-formed XML: undefined entity: '&nbsp;' "
       "[-Wmalformed-xml]"},
      {{{"<nuvarinepackage>", "\n  <nuvarinepackge>"}},
       "",
       "main.xml",
       "2:3: error: no root element \"nuvarinepackage\"."},
      {{},
       "<layout>\n  <cover>\n</layout>\n",
       "main.xml",
       "2:40: warning: 'grid.xml' is not a layout: it is not well-formed XML [-Wnot-a-layout]"},
      {{},
       "<layout>\n  <cover>\n</layout>\n",
       "grid.xml",
       "3:3: note: mismatched tag: '</layout>' where 'cover', opened at line 2, is open"},
      {{{"shot.png", "none.png"}, {"uwidth=\"1\"", "uwidth=\"x\""}},
       "",
       "main.xml",
       "3:3: note: once this is fixed: Attributes 'uwidth' invalid."},
  };
  for (const PlaceCase& c : cases) {
    std::string manifest = "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>";
    for (const auto& change : c.changes) Replace(&manifest, change.first, change.second);
    AddFolder("t", manifest);
    if (!c.grid.empty()) fs.AddFile(JoinPath("t", "grid.xml"), c.grid);
    Run({"check", "--format=gnu", "t"});
    const std::string line = JoinPath("t", c.file) + ":" + c.line + "\n";
    EXPECT_NE(std::string::npos, out.str().find(line)) << line << "\nin:\n" << out.str();
  }
}

// Completion types a folder with a trailing separator; what an author reads
// names its files as written, and only the log keeps the bytes it joins.
TEST_F(NvthemeTest, AFolderTypedWithASeparatorGivesNoDoubledOne) {
  std::string manifest = "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>";
  Replace(&manifest, "\"grid.xml\"", "\"Grid.xml\"");
  AddFolder("ocean", manifest);
  const std::string typed = std::string("ocean") + kPathSeparator;
  const std::string doubled = typed + kPathSeparator;
  const std::string shown = JoinPath("ocean", "main.xml");
  EXPECT_EQ(1, Run({"check", typed}));
  EXPECT_NE(std::string::npos, out.str().find("Processing " + doubled + "main.xml ..."));
  EXPECT_EQ(shown +
                ":2:40: error: The file: 'Grid.xml' in attribute 'file' doesn't exist or can't be "
                "read.\n",
            err.str().substr(0, err.str().find('\n') + 1));
  for (const std::string format : {"--format=gnu", "--format=json", "--format=sarif"}) {
    Run({"check", format, typed});
    std::string needle = doubled;  // JSON writes a backslash as two
    if (format == "--format=json")
      for (size_t at = 0; (at = needle.find('\\', at)) != std::string::npos; at += 2)
        needle.insert(at, 1, '\\');
    EXPECT_EQ(std::string::npos, out.str().find(needle)) << format << ":\n" << out.str();
    EXPECT_NE(std::string::npos, out.str().find("main.xml")) << format;
  }
}

TEST_F(NvthemeTest, CheckLogEndsAfterTheValidation) {
  AddFolder("sound", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  EXPECT_EQ(0, Run({"check", "sound"}));
  EXPECT_EQ(Head("sound") +
                "Checking themes ... 1 variations.\r\nValidating #1... \r\nTheme is valid.\r\n",
            out.str());
  EXPECT_EQ("nvtheme: sound: 0 errors, 0 warnings\n", err.str());
  std::string absent;
  EXPECT_FALSE(fs.PathExists("sound.nvp", &absent));
}

TEST_F(NvthemeTest, GnuFormatGivesOneLinePerErrorWithItsPlace) {
  AddFolder("faulty",
            "<nuvarinepackage>\n"
            "<theme name=\"Day\" screenshot=\"shot.png\">\n"
            "\t<templates><detail mode=\"grid\" file=\"none.xml\"/></templates>\n"
            "\t<virtualshelf background=\"sand.png\" uwidth=\"12px\" uheight=\"-3\" uhspace=\"px\" "
            "uvspace=\"\">\n"
            "\t\t<catalog name=\"N\" olx=\"1\" oly=\"2\" olwidth=\"3\" olheight=\"4\"/>\n"
            "\t</virtualshelf>\n"
            "</theme>\n"
            "</nuvarinepackage>\n");
  AddFolder("sound", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  AddFolder("rootless", "<?xml version=\"1.0\"?>\n<themes/>\n");
  std::string deep = "<nuvarinepackage>\n";
  for (int level = 2; level <= 257; ++level) deep += "<a>";
  AddFolder("deep", deep);

  EXPECT_EQ(1, Run({"check", "--format=gnu", "faulty", "sound", "rootless", "deep"}));
  const std::string faulty = JoinPath("faulty", "main.xml");
  const std::string rootless = JoinPath("rootless", "main.xml");
  const std::string lines[] = {
      faulty +
          ":3:39: error: The file: 'none.xml' in attribute 'file' doesn't exist or can't be "
          "read.",
      faulty +
          ":3:39: note: the folder holds no file of that name, nor of a near one: add it, or "
          "name one that is there",
      faulty + ":4:2: error: Attributes 'uhspace' invalid.",
      faulty +
          ":4:2: note: 'uhspace' is 'px', which does not begin with a number: write a whole "
          "number",
      faulty + ":4:2: error: Attributes 'uvspace' invalid.",
      faulty + ":4:2: note: 'uvspace' is empty: write a whole number",
      faulty + ":5:3: error: Attributes 'image' not found in 'catalog' node.",
      faulty + ":5:3: note: add 'image', naming an image in the folder",
      faulty + ":2:1: error: Theme is invalid.",
      faulty +
          ":2:1: note: it needs a 'detail' with a 'mode' and a 'file' that exists; the "
          "'detail' at 3:13 names 'none.xml' in 'file', which doesn't exist or can't be read",
      faulty +
          ":2:1: note: the 'virtualshelf' at 4:2 gives 'uhspace' as 'px', which is no "
          "number: a fault of a 'virtualshelf' or 'catalog' fails the theme, whatever else "
          "it holds",
      faulty + ":2:1: note: 2 more such faults fail it too",
      faulty +
          ":3:39: note: the theme fails by this fault: The file: 'none.xml' in attribute 'file' "
          "doesn't exist or can't be read.",
      faulty + ":4:2: note: the theme fails by this fault: Attributes 'uhspace' invalid.",
      faulty + ":4:46: warning: 'uwidth' is '12px', which the rule reads as 12 [-Wloose-integer]",
      faulty +
          ":4:46: note: the rule reads the leading number and passes over the rest, where a "
          "strict reader refuses the value; write a whole number alone",
      faulty +
          ":4:61: warning: 'uheight' is '-3': a width or height must be 1 or more "
          "[-Wloose-integer]",
      faulty + ":4:61: note: the rule takes it, but nothing of that size can be shown",
      rootless + ":2:1: error: no root element \"nuvarinepackage\".",
      rootless + ":2:1: note: the first element is 'themes', at 2:1",
      JoinPath("deep", "main.xml") +
          ":2:766: error: main.xml nests elements more than 256 levels deep.",
  };
  std::string gnu;
  for (const std::string& line : lines) gnu += line + "\n";
  EXPECT_EQ(gnu, out.str());
  EXPECT_EQ("", err.str());
}

// The parser stops at the second 'uwidth' and never reads 'uhspace' nor
// 'uvspace': the fault is told, once, with the log's errors it causes as its
// notes, and the strict parser's warning about it is not told again.
TEST_F(NvthemeTest, GnuFormatTellsWhyTheParserStoppedInATag) {
  AddFolder("twice",
            "<nuvarinepackage>\n"
            "<theme name=\"Day\" screenshot=\"shot.png\">\n"
            "<templates><detail mode=\"grid\" file=\"grid.xml\"/></templates>\n"
            "<virtualshelf background=\"sand.png\" uwidth=\"1\" uheight=\"1\" uwidth=\"2\" "
            "uhspace=\"1\" uvspace=\"1\"/>\n"
            "</theme>\n"
            "</nuvarinepackage>\n");
  EXPECT_EQ(1, Run({"check", "--format=gnu", "twice"}));
  const std::string at = JoinPath("twice", "main.xml") + ":";
  EXPECT_EQ(at + "4:60: error: attribute 'uwidth' is given twice\n" + at +
                "4:60: note: keep one of them\n" + at +
                "4:60: note: the builder's parser stops here, and reads nothing more of the "
                "'virtualshelf' nor of main.xml after it\n" +
                at + "4:37: note: 'uwidth' is first given here\n" + at +
                "4:1: note: hence the log's error: Attributes 'uhspace' invalid.\n" + at +
                "4:1: note: hence the log's error: Attributes 'uvspace' invalid.\n" + at +
                "2:1: error: Theme is invalid.\n" + at +
                "2:1: note: the 'virtualshelf' at 4:1 is cut short at 4:60, where attribute "
                "'uwidth' is given twice: a fault of a 'virtualshelf' or 'catalog' fails the "
                "theme, whatever else it holds\n",
            out.str());
}

// The example theme set on the disk, as scripts/run builds it.
const std::string kOcean = JoinPath(NV_EXAMPLES_DIR, "ocean");

TEST(NvthemeExampleTest, ExampleThemesAreValid) {
  std::ostringstream out, err;
  EXPECT_EQ(0, RunNvtheme({"check", kOcean}, RealFileSystem(), out, err));
  EXPECT_EQ(Head(kOcean) +
                "Checking themes ... 2 variations.\r\n"
                "Validating #1... \r\nTheme is valid.\r\n"
                "Validating #2... \r\nTheme is valid.\r\n",
            out.str());
  EXPECT_EQ("nvtheme: " + kOcean + ": 0 errors, 0 warnings\n", err.str());
}

// The example copied into memory, to be broken there.
void CopyExample(MemoryFileSystem* fs, const std::string& folder) {
  fs->AddFolder(folder);
  for (const auto& entry : std::filesystem::directory_iterator(kOcean)) {
    std::ifstream in(entry.path(), std::ios::binary);
    fs->AddFile(JoinPath(folder, entry.path().filename().string()),
                std::string(std::istreambuf_iterator<char>(in), {}));
  }
}

TEST_F(NvthemeTest, BrokenExampleShowsEveryFaultInOneRun) {
  CopyExample(&fs, "ocean");
  const std::string manifest = JoinPath("ocean", "main.xml");
  std::string text = fs.Contents(manifest);
  Replace(&text, "file=\"layout-list.xml\"", "file=\"layout-lists.xml\"");
  Replace(&text, "name=\"Novels\" ", "");
  Replace(&text, "olx=\"10\" oly=\"40\"", "olx=\"px\" oly=\"40\"");
  Replace(&text, "\"shelf-deep.png\" uwidth=\"120\"", "\"shelf-deep.png\" uwidth=\"\"");
  Replace(&text, "cat-music.png", "cat-musics.png");
  Replace(&text, "</nuvarinepackage>",
          "  <theme name=\"Ocean Dusk\" screenshot=\"shot-dusk.png\"/>\n</nuvarinepackage>");
  fs.AddFile(manifest, text);
  std::string removeError;
  ASSERT_TRUE(fs.RemoveFile(JoinPath("ocean", "shelf-sand.png"), &removeError));

  auto missing = [](const std::string& file, const std::string& attribute) {
    return "The file: '" + file + "' in attribute '" + attribute +
           "' doesn't exist or can't be read.";
  };
  const std::string shelfFault =
      ": a fault of a 'virtualshelf' or 'catalog' fails the theme, whatever else it holds";
  const std::string noNearFile =
      "the folder holds no file of that name, nor of a near one: add it, or name one that is there";
  // Each theme's findings, with the line and column of the element concerned,
  // and their notes.
  struct Finding {
    const char* at;
    std::string message;
    std::vector<std::string> notes;
    std::vector<std::string> located;  // "LINE:COLUMN: note: TEXT", after the notes
  };
  const std::vector<std::vector<Finding>> themes = {
      {{"7:33",
        missing("layout-lists.xml", "file"),
        {"did you mean 'layout-list.xml'? it is in the folder"}},
       {"9:31", missing("shelf-sand.png", "background"), {noNearFile}},
       {"10:7",
        "Attributes 'name' not found in 'catalog' node.",
        {"add 'name': the rules take any value"}},
       {"11:7",
        "Attributes 'olx' invalid.",
        {"'olx' is 'px', which does not begin with a number: write a whole number"}},
       {"4:3",
        "Theme is invalid.",
        {"it needs a 'virtualshelf' whose 'background' exists; the 'virtualshelf' at 9:5 names "
         "'shelf-sand.png' in 'background', which doesn't exist or can't be read",
         "the 'catalog' at 10:7 has no 'name'" + shelfFault, "1 more such fault fails it too"},
        {"7:33: note: the theme fails by this fault: " + missing("layout-lists.xml", "file"),
         "9:31: note: the theme fails by this fault: " + missing("shelf-sand.png", "background"),
         "10:7: note: the theme fails by this fault: Attributes 'name' not found in 'catalog' "
         "node."}}},
      {{"18:5", "Attributes 'uwidth' invalid.", {"'uwidth' is empty: write a whole number"}},
       {"19:36",
        missing("cat-musics.png", "image"),
        {"did you mean 'cat-music.png'? it is in the folder"}},
       {"14:3",
        "Theme is invalid.",
        {"the 'virtualshelf' at 18:5 has an empty 'uwidth'" + shelfFault,
         "1 more such fault fails it too"},
        {"18:5: note: the theme fails by this fault: Attributes 'uwidth' invalid."}}},
      {{"22:40",
        missing("shot-dusk.png", "screenshot"),
        {noNearFile},
        {"22:3: note: once this is fixed: No child nodes found in 'theme' node.",
         "22:3: note: once this is fixed: Theme is invalid."}}},
  };
  std::string log = Head("ocean") + "Checking themes ... 3 variations.\r\n";
  std::string gnu;
  for (size_t n = 0; n < themes.size(); ++n) {
    log += "Validating #" + std::to_string(n + 1) + "... \r\n";
    for (const Finding& f : themes[n]) {
      log += "Error: " + f.message + "\r\n";
      gnu += manifest + ":" + f.at + ": error: " + f.message + "\n";
      for (const std::string& note : f.notes)
        gnu += manifest + ":" + f.at + ": note: " + note + "\n";
      for (const std::string& note : f.located) gnu += manifest + ":" + note + "\n";
    }
  }

  EXPECT_EQ(1, Run({"check", "ocean"}));
  EXPECT_EQ(log, out.str());
  EXPECT_EQ(1, Run({"check", "--format=gnu", "ocean"}));
  EXPECT_EQ(gnu, out.str());
}

// A warning is an error where -Werror=NAME says so, or by default where it
// breaks the package (a file the package will not hold), until
// -Wno-error=NAME: then it counts as one in the exit status, the gnu line
// and JSON.
TEST_F(NvthemeTest, WarningsMadeErrorsCountAsErrors) {
  const std::string sub = std::string("img") + kPathSeparator + "sand.png";
  std::string theme = kSoundTheme;
  Replace(&theme, "background=\"sand.png\"", "background=\"" + sub + "\"");
  Replace(&theme, "file=\"grid.xml\"", "file=\"grid.xml\" author=\"me\"");
  AddFolder("ocean", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  fs.AddFolder(JoinPath("ocean", "img"));
  fs.AddFile(JoinPath("ocean", sub), SamplePng(4, 4));
  struct Case {
    std::vector<std::string> switches;
    int status;
    const char* unpacked;  // the severity of each, as the gnu lines say
    const char* unknown;
  };
  const Case cases[] = {
      {{}, 1, "error", "warning"},
      {{"-Wno-error=unpacked-reference"}, 0, "warning", "warning"},
      {{"-Wno-error=unpacked-reference", "-Werror=unknown-attribute"}, 1, "warning", "error"},
      {{"-Wno-unknown-attribute", "-Werror=unknown-attribute"}, 1, "error", "error"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"check", "--format=gnu"};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    args.push_back("ocean");
    EXPECT_EQ(c.status, Run(args)) << args[2];
    EXPECT_NE(std::string::npos, out.str().find(std::string(": ") + c.unpacked + ": 'img" +
                                                kPathSeparator + "sand.png' is not"))
        << out.str();
    EXPECT_NE(std::string::npos,
              out.str().find(std::string(": ") + c.unknown + ": unknown attribute 'author'"))
        << out.str();
  }
}

// -Wall and its exceptions, the switch that made a warning an error named
// beside it, the names nearest to a command or option mistyped, and each
// fault told once, in an order that does not hang on the folder's listing.
TEST_F(NvthemeTest, WarningFamilyNearNamesAndOneDiagnosticPerFault) {
  AddFolder("spare", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  fs.AddFile(JoinPath("spare", "extra.png"), SamplePng(4, 4));
  const std::string inImg = std::string("img") + kPathSeparator + "sand.png";
  std::string theme = kSoundTheme;
  Replace(&theme, "background=\"sand.png\"", "background=\"" + inImg + "\"");
  AddFolder("sub", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  fs.AddFolder(JoinPath("sub", "img"));
  fs.AddFile(JoinPath("sub", inImg), SamplePng(4, 4));
  theme = kSoundTheme;
  Replace(&theme, "screenshot=\"shot.png\"", "screenshot=\"Shot.png\"");
  AddFolder("cased", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  AddFolder("debris", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  for (const char* name : {"a.bak", "b~", "c.tmp"}) fs.AddFile(JoinPath("debris", name), "x");
  fs.listReversed = true;

  const std::string extra = JoinPath("spare", "extra.png") + ":1:1: ";
  const std::string unused = "'extra.png' is packed, but no theme uses it";
  const std::string unusedNote =
      extra + "note: it only makes the package larger; remove it if nothing needs it\n";
  const std::string sub = JoinPath("sub", "main.xml") + ":3:29: ";
  const std::string cased = JoinPath("cased", "main.xml") + ":1:48: ";
  const auto stray = [](const std::string& name, const std::string& what) {
    const std::string at = JoinPath("debris", name) + ":1:1: ";
    return at + "warning: '" + name + "' would be packed, and looks like " + what +
           " [-Wstray-file]\n" + at + "note: delete it, or move it out of the folder\n";
  };
  const std::string tryHelp = "Try 'nvtheme --help' for more information.\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err = {};
  };
  const Case cases[] = {
      {{"check", "--format=gnu", "-Wall", "spare"},
       0,
       extra + "warning: " + unused + " [-Wunused-file]\n" + unusedNote},
      {{"check", "--format=gnu", "-Wall", "-Wno-unused-file", "spare"}, 0, ""},
      {{"check", "--format=gnu", "-Werror", "-Wall", "spare"},
       1,
       extra + "error: " + unused + " [-Werror,-Wunused-file]\n" + unusedNote},
      {{"check", "--format=gnu", "-Werror=unused-file", "spare"},
       1,
       extra + "error: " + unused + " [-Werror,-Wunused-file]\n" + unusedNote},
      {{"check", "--format=gnu", "sub"},
       1,
       sub + "error: '" + inImg + "' is not directly in the folder, and the package holds only " +
           "the files that are [-Wunpacked-reference]\n" + sub +
           "note: the theme would be packed without it; move the file into the folder and " +
           "name it 'sand.png'\n"},
      {{"chek", "spare"},
       2,
       "",
       "nvtheme: unknown command 'chek'; did you mean 'check'?\n" + tryHelp},
      {{"check", "--frmat=gnu", "spare"},
       2,
       "",
       "nvtheme: unknown option '--frmat=gnu'; did you mean '--format'?\n" + tryHelp},
      {{"check", "--format=gnu", "cased"},
       1,
       cased + "error: The file: 'Shot.png' in attribute 'screenshot' doesn't exist or can't " +
           "be read.\n" + cased +
           "note: the folder holds 'shot.png': letter case counts, so write the name as it is\n"},
      {{"check", "--format=gnu", "debris"},
       0,
       stray("a.bak", "a backup") + stray("b~", "an editor's backup") +
           stray("c.tmp", "a temporary file")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, Run(c.args)) << c.args.back();
    EXPECT_EQ(c.out, out.str()) << c.args.back();
    EXPECT_EQ(c.err, err.str()) << c.args.back();
  }
}

// After each folder's log, standard error tells of it in one order: the
// notes of the run, the errors with their notes, the warnings with theirs,
// and one summary line.
TEST_F(NvthemeTest, EachFolderLogIsFollowedByNotesDiagnosticsAndSummary) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\" mdoe=\"x\"/>");
  AddFolder("sea", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  fs.AddFile(JoinPath("sea", "held.png"), "x");
  fs.Hold(JoinPath("sea", "held.png"));
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");

  EXPECT_EQ(1, Run({"check", "sea"}));  // an error printed, though the theme is valid
  const std::string seaLog = out.str(), seaErr = err.str();
  const std::string m = JoinPath("sea", "main.xml");
  const std::string line =
      "    2 | ...\" file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\" mdoe=\"x\"/>"
      "</templates>\n";
  EXPECT_EQ("nvtheme: " + JoinPath("sea", "held.png") + ": left out: held by another program\n" +
                m +
                ":2:77: error: The file: 'Grid.xml' in attribute 'file' doesn't exist or can't "
                "be read.\n" +
                line + "      |                                                 ^~~~~~~~\n" + m +
                ":2:77: note: the folder holds 'grid.xml': letter case counts, so write the "
                "name as it is\n" +
                m +
                ":2:87: warning: unknown attribute 'mdoe' of 'detail': it is passed over "
                "[-Wunknown-attribute]\n" +
                line + "      |                                                           ^\n" + m +
                ":2:87: note: did you mean 'mode'?\n"
                "nvtheme: sea: 1 error, 2 warnings\n",
            seaErr);
  EXPECT_EQ(0, Run({"check", "ocean"}));
  EXPECT_EQ("nvtheme: ocean: 0 errors, 0 warnings\n", err.str());

  // Where both streams meet, as on a terminal.
  std::ostringstream both;
  EXPECT_EQ(1, RunNvtheme({"check", "sea", "ocean"}, fs, both, both));
  EXPECT_EQ(seaLog + seaErr + out.str() + err.str(), both.str());
}

// The default text form, byte for byte: under each diagnostic in the
// manifest its line, cut around the column and escaped where it must be,
// with a caret under the column in display columns; a diagnostic about a
// whole file has neither line nor column.
TEST_F(NvthemeTest, DiagnosticsShowTheLineTheyPointInto) {
  std::string author = kSoundTheme;
  Replace(&author, "<theme ", "<theme author=\"Ana\" ");
  const std::string warning =
      ": warning: unknown attribute 'author' of 'theme': it is passed over "
      "[-Wunknown-attribute]\n";
  const struct {
    std::string manifest;
    std::string diagnostics;  // with FOLDER/main.xml as "@"
    size_t warnings;
  } cases[] = {
      {"<nuvarinepackage>\n" + author + "</nuvarinepackage>",
       "@:2:8" + warning +
           "    2 | <theme author=\"Ana\" name=\"Day\" screenshot=\"shot.png\">\n"
           "      |        ^\n",
       1},
      // A tab to the next stop, \x01 and a lone 0xE9 escaped, an e-acute
      // one column; the caret under the escape of the byte at fault.
      {"<nuvarinepackage>\t<!--\x01 caf\xC3\xA9 \xE9-->" + author + "</nuvarinepackage>",
       "@:1:23: warning: main.xml is not well-formed XML: not well-formed (invalid token) "
       "[-Wmalformed-xml]\n"
       "    1 | ...arinepackage>       <!--\\x01 caf\xC3\xA9 \\xE9--><theme author=\"Ana\" "
       "name=\"Day\" sc...\n"
       "      |                            ^\n"
       "@:1:23: note: the builder reads it, but a strict reader (the media application may be "
       "one) refuses this file\n"
       "@:1:42" +
           warning +
           "    1 | ...<!--\\x01 caf\xC3\xA9 \\xE9--><theme author=\"Ana\" name=\"Day\" "
           "screenshot=\"shot.png\">\n"
           "      |                                ^\n",
       2},
      {"<nuvarinepackage>" + std::string(100, ' ') + author + "</nuvarinepackage>",
       "@:1:125" + warning +
           "    1 | ...                        <theme author=\"Ana\" name=\"Day\" "
           "screenshot=\"shot.png\">\n"
           "      |                                   ^\n",
       1},
  };
  for (const auto& c : cases) {
    const std::string folder = "sea" + std::to_string(&c - cases);
    AddFolder(folder, c.manifest);
    std::string diagnostics = c.diagnostics;
    for (size_t at; (at = diagnostics.find('@')) != std::string::npos;)
      diagnostics.replace(at, 1, JoinPath(folder, "main.xml"));
    EXPECT_EQ(0, Run({"check", "--color=never", folder}));
    EXPECT_EQ(diagnostics + "nvtheme: " + folder + ": 0 errors, " + std::to_string(c.warnings) +
                  (c.warnings == 1 ? " warning\n" : " warnings\n"),
              err.str());
  }
  const std::string stray = JoinPath("sea2", "Thumbs.db");
  fs.AddFile(stray, "");
  EXPECT_EQ(0, Run({"check", "--color=never", "sea2"}));
  EXPECT_EQ(JoinPath("sea2", "main.xml") + ":1:125" + warning +
                "    1 | ...                        <theme author=\"Ana\" name=\"Day\" "
                "screenshot=\"shot.png\">\n"
                "      |                                   ^\n" +
                stray +
                ": warning: 'Thumbs.db' would be packed, and looks like Windows' "
                "thumbnail cache [-Wstray-file]\n" +
                stray + ": note: delete it, or move it out of the folder\n" +
                "nvtheme: sea2: 0 errors, 2 warnings\n",
            err.str());
}

// --color=always, as clang colours: the place bold, the severity in its
// colour, an error's or warning's message bold, the caret green; a note's
// text plain.
TEST_F(NvthemeTest, ColourAlwaysColoursTheDiagnostics) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"", "file=\"Grid.xml\" mdoe=\"x\"");
  AddFolder("sea", "<nuvarinepackage>\n" + theme + "</nuvarinepackage>");
  EXPECT_EQ(1, Run({"check", "--color=always", "sea"}));
  const std::string m = JoinPath("sea", "main.xml");
  const std::string templates =
      "    3 |   <templates><detail mode=\"grid\" file=\"Grid.xml\" mdoe=\"x\"/></templates>\n";
  EXPECT_EQ("\x1b[1m" + m +
                ":3:40: \x1b[0m\x1b[1;31merror:\x1b[0m \x1b[1mThe file: 'Grid.xml' in attribute "
                "'file' doesn't exist or can't be read.\x1b[0m\n" +
                templates +
                "      | \x1b[1;32m                                       ^~~~~~~~\x1b[0m\n" +
                "\x1b[1m" + m +
                ":3:40: \x1b[0m\x1b[1;36mnote:\x1b[0m the folder holds 'grid.xml': letter case "
                "counts, so write the name as it is\n"
                "\x1b[1m" +
                m + ":2:1: \x1b[0m\x1b[1;31merror:\x1b[0m \x1b[1mTheme is invalid.\x1b[0m\n" +
                "    2 | <theme name=\"Day\" screenshot=\"shot.png\">\n"
                "      | \x1b[1;32m^\x1b[0m\n"
                "\x1b[1m" +
                m +
                ":2:1: \x1b[0m\x1b[1;36mnote:\x1b[0m it needs a 'detail' with a 'mode' and a "
                "'file' that exists; the 'detail' at 3:14 names 'Grid.xml' in 'file', which "
                "doesn't exist or can't be read\n"
                "\x1b[1m" +
                m +
                ":3:40: \x1b[0m\x1b[1;36mnote:\x1b[0m the theme fails by this fault: The file: "
                "'Grid.xml' in attribute 'file' doesn't exist or can't be read.\n"
                "\x1b[1m" +
                m +
                ":3:50: \x1b[0m\x1b[1;35mwarning:\x1b[0m \x1b[1munknown attribute 'mdoe' of "
                "'detail': it is passed over [-Wunknown-attribute]\x1b[0m\n" +
                templates +
                "      | \x1b[1;32m                                                 ^\x1b[0m\n" +
                "\x1b[1m" + m +
                ":3:50: \x1b[0m\x1b[1;36mnote:\x1b[0m did you mean 'mode'?\n"
                "nvtheme: sea: 2 errors, 1 warning\n",
            err.str());
}

// check --format=json: one document on standard output, read back by
// field: each folder with its themes and verdicts, every diagnostic whole,
// and the notes; names whose bytes are no UTF-8 still give valid JSON.
TEST_F(NvthemeTest, JsonFormatGivesEveryFolderByField) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\" mdoe=\"x\"/>");
  AddFolder("sea", "<nuvarinepackage>" + theme + "<theme name=\"Night\"/></nuvarinepackage>");
  const std::string held = JoinPath("sea", "a\nb\xE9.png");
  fs.AddFile(held, "x");
  fs.Hold(held);
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");

  EXPECT_EQ(1, Run({"check", "--format=json", "sea", "ocean", "nowhere"}));
  EXPECT_EQ("nvtheme: " + JoinPath("sea", "a\\nb\xE9.png") +
                ": left out: held by another program\n" +
                "nvtheme: nowhere: no such file or folder\n",
            err.str());
  JsonValue doc;
  std::string error;
  ASSERT_TRUE(JsonReader::Parse(out.str(), &doc, &error)) << error << "\n" << out.str();
  EXPECT_EQ("nvtheme", doc["tool"]["name"].string);
  EXPECT_EQ(NV_VERSION, doc["tool"]["version"].string);
  EXPECT_FALSE(doc["warningsAsErrors"].boolean);
  EXPECT_FALSE(doc["passed"].boolean);
  const JsonValue& folders = doc["folders"];
  ASSERT_EQ(3u, folders.size());

  const JsonValue& sea = folders[0];
  const std::string m = JoinPath("sea", "main.xml");
  EXPECT_EQ("sea", sea["path"].string);
  EXPECT_TRUE(sea["exists"].boolean);
  EXPECT_EQ(m, sea["manifest"].string);
  EXPECT_TRUE(sea["loaded"].boolean);
  EXPECT_FALSE(sea["passed"].boolean);
  EXPECT_EQ(2, sea["errors"].number);
  EXPECT_EQ(2, sea["warnings"].number);
  ASSERT_EQ(2u, sea["themes"].size());
  const JsonValue& day = sea["themes"][0];
  EXPECT_EQ(1, day["number"].number);
  EXPECT_EQ("Day", day["name"].string);
  EXPECT_EQ(1, day["line"].number);
  EXPECT_EQ(18, day["column"].number);
  EXPECT_TRUE(day["valid"].boolean);
  EXPECT_EQ(2, sea["themes"][1]["number"].number);
  EXPECT_EQ("Night", sea["themes"][1]["name"].string);
  EXPECT_FALSE(sea["themes"][1]["valid"].boolean);

  const JsonValue& diagnostics = sea["diagnostics"];
  ASSERT_EQ(3u, diagnostics.size());
  const JsonValue& missing = diagnostics[0];
  EXPECT_EQ("error", missing["severity"].string);
  EXPECT_TRUE(missing.Has("name"));
  EXPECT_TRUE(missing["name"].IsNull());
  EXPECT_EQ(m, missing["file"].string);
  EXPECT_EQ(2, missing["line"].number);
  EXPECT_EQ(77, missing["column"].number);
  EXPECT_EQ("The file: 'Grid.xml' in attribute 'file' doesn't exist or can't be read.",
            missing["message"].string);
  ASSERT_EQ(JsonValue::Type::kArray, missing["notes"].type);
  ASSERT_EQ(1u, missing["notes"].size());
  EXPECT_EQ(0u, missing["notes"][0].string.find("the folder holds 'grid.xml'"));
  EXPECT_EQ("error", diagnostics[1]["severity"].string);
  const JsonValue& unknown = diagnostics[2];
  EXPECT_EQ("warning", unknown["severity"].string);
  EXPECT_EQ("unknown-attribute", unknown["name"].string);
  EXPECT_EQ(m, unknown["file"].string);
  EXPECT_EQ(2, unknown["line"].number);
  EXPECT_EQ(87, unknown["column"].number);
  EXPECT_EQ("unknown attribute 'mdoe' of 'detail': it is passed over", unknown["message"].string);
  ASSERT_EQ(1u, unknown["notes"].size());
  EXPECT_EQ("did you mean 'mode'?", unknown["notes"][0].string);

  ASSERT_EQ(1u, sea["runNotes"].size());
  const JsonValue& note = sea["runNotes"][0];
  EXPECT_EQ("unreadable-file", note["name"].string);
  EXPECT_EQ(JoinPath("sea", "a\nb\xC3\xA9.png"), note["path"].string);  // the byte as Latin-1
  EXPECT_EQ("left out: held by another program", note["text"].string);

  const JsonValue& ocean = folders[1];
  EXPECT_TRUE(ocean["passed"].boolean);
  EXPECT_EQ(0, ocean["errors"].number);
  EXPECT_EQ(0, ocean["warnings"].number);
  EXPECT_EQ(1u, ocean["themes"].size());
  EXPECT_EQ(0u, ocean["diagnostics"].size());
  EXPECT_EQ(0u, ocean["runNotes"].size());

  const JsonValue& nowhere = folders[2];
  EXPECT_EQ("nowhere", nowhere["path"].string);
  EXPECT_FALSE(nowhere["exists"].boolean);
  EXPECT_FALSE(nowhere["loaded"].boolean);
  EXPECT_FALSE(nowhere["passed"].boolean);
  EXPECT_EQ(0u, nowhere["themes"].size());
}

// check decodes each image, and its report lists each beside its reference;
// build reads only each block, which a scan corrupt inside passes.
TEST_F(NvthemeTest, CheckDecodesImagesAndBuildWalksTheirBlocks) {
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  std::string jpeg = SampleJpeg(40, 24);
  jpeg.replace(jpeg.size() - 20, 2, "\xFF\xD3");  // a restart marker in a scan of none
  fs.AddFile(JoinPath("ocean", "shot.png"), jpeg);

  EXPECT_EQ(1, Run({"check", "--format=json", "ocean"}));
  JsonValue doc;
  std::string error;
  ASSERT_TRUE(JsonReader::Parse(out.str(), &doc, &error)) << error;
  const JsonValue& folder = doc["folders"][0];
  ASSERT_EQ(1u, folder["diagnostics"].size());
  EXPECT_EQ("broken-image", folder["diagnostics"][0]["name"].string);
  EXPECT_EQ("error", folder["diagnostics"][0]["severity"].string);
  EXPECT_EQ(0u, folder["diagnostics"][0]["message"].string.find(
                    "'shot.png' is a broken JPEG image: Corrupt JPEG data"));
  const JsonValue& images = folder["images"];
  ASSERT_EQ(2u, images.size());
  const struct {
    const char* name;
    const char* format;
    int width, height;
  } kImages[] = {{"shot.png", "JPEG", 40, 24}, {"sand.png", "PNG", 4, 4}};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(kImages[i].name, images[i]["name"].string);
    EXPECT_EQ(kImages[i].format, images[i]["format"].string);
    EXPECT_EQ(kImages[i].width, images[i]["width"].number);
    EXPECT_EQ(kImages[i].height, images[i]["height"].number);
  }

  EXPECT_EQ(0, Run({"build", "ocean"}));
  EXPECT_EQ(std::string::npos, err.str().find("broken-image")) << err.str();
}

// A folder checked with the cache, then changed, and checked again beside
// a check without it; check --format=json each time.
class CachedChecks {
 public:
  CachedChecks() {
    fs.AddFolder("ocean");
    fs.AddFile(JoinPath("ocean", "main.xml"),
               "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
    fs.AddFile(JoinPath("ocean", "grid.xml"), "<layout/>");
    fs.AddFile(shot, SampleJpeg(40, 24));
    fs.AddFile(sand, SamplePng(4, 4));
    fs.PassTime(kMinute);  // the files were saved a while before the check
    fs.before = [this](MemoryFileSystem::Op op, const std::string& path) {
      if (op == MemoryFileSystem::Op::Read && (path == shot || path == sand)) {
        read.insert(path);
        ++reads[path];
      }
      return true;
    };
  }

  // The images whose files a check read, with the cache or without it.
  std::set<std::string> Check(bool cached, const char* option = "--format=json") {
    return Run({"check", "--format=json", option}, cached);
  }

  // The images whose files a run of the command `args` read.
  std::set<std::string> Run(std::vector<std::string> args, bool cached) {
    read.clear();
    reads.clear();
    out.str("");
    err.str("");
    args.push_back("ocean");
    RunNvtheme(args, fs, out, err, nullptr, CacheSettings{"/cache/nvtheme", "", cached});
    return read;
  }

  // The report but its notes, which tell of the cache.
  std::string Report() const { return out.str().substr(0, out.str().find("\"runNotes\"")); }

  std::string CacheFile() {
    std::vector<std::string> names;
    std::string err;
    fs.ListFolder("/cache/nvtheme", &names, &err);
    for (const std::string& name : names)
      if (name.size() > 7 && name.compare(name.size() - 7, 7, ".images") == 0)
        return JoinPath("/cache/nvtheme", name);
    ADD_FAILURE() << "no cache file " << err;
    return "";
  }

  static constexpr int64_t kMinute = int64_t{60} * 1000 * 1000 * 1000;
  const std::string shot = JoinPath("ocean", "shot.png"), sand = JoinPath("ocean", "sand.png");
  MemoryFileSystem fs;
  std::set<std::string> read;
  std::map<std::string, int> reads;  // how many reads of each
  std::ostringstream out, err;
};

// A check keeps the verdicts of the images it decoded whole, and the next
// takes them for the files it can vouch for by their stamps: it decodes
// the others, and says exactly what a check without the cache says.
TEST(CachedCheckTest, ASecondCheckDecodesOnlyWhatItCannotTrust) {
  using Change = std::function<void(CachedChecks&)>;
  const struct {
    const char* what;
    Change beforeFirst, between;
    bool shot, sand;  // whether the second check decodes it
    bool noted;       // whether the cache is noted as not used
  } cases[] = {
      {"nothing changed", nullptr, nullptr, false, false, false},
      {"an image changed", nullptr,
       [](CachedChecks& c) { c.fs.RewriteFile(c.sand, SamplePng(6, 3)); }, false, true, false},
      // Its stamp cannot tell a change within the same tick of the clock.
      {"an image saved just before the first check",
       [](CachedChecks& c) { c.fs.RewriteFile(c.sand, c.fs.Contents(c.sand)); }, nullptr, false,
       true, false},
      {"a broken image, told each time",
       [](CachedChecks& c) {
         c.fs.RewriteFile(c.sand, SamplePng(4, 4).substr(0, 60));
         c.fs.PassTime(CachedChecks::kMinute);
       },
       nullptr, false, true, false},
      {"the cache damaged", nullptr,
       [](CachedChecks& c) {
         std::string bytes = c.fs.Contents(c.CacheFile());
         bytes[bytes.size() / 2] ^= 0x20;
         c.fs.RewriteFile(c.CacheFile(), bytes);
       },
       true, true, true},
      {"the cache another user's", nullptr,
       [](CachedChecks& c) { c.fs.MakeForeign(c.CacheFile()); }, true, true, true},
      // The cache then says it was made after this check began.
      {"the clock set back", nullptr,
       [](CachedChecks& c) { c.fs.PassTime(-10 * CachedChecks::kMinute); }, true, true, true},
  };
  for (const auto& c : cases) {
    CachedChecks checks;
    if (c.beforeFirst) c.beforeFirst(checks);
    const std::set<std::string> both = {checks.shot, checks.sand};
    EXPECT_EQ(both, checks.Check(true)) << c.what;
    checks.fs.PassTime(CachedChecks::kMinute);
    if (c.between) c.between(checks);
    std::set<std::string> decoded;
    if (c.shot) decoded.insert(checks.shot);
    if (c.sand) decoded.insert(checks.sand);
    EXPECT_EQ(decoded, checks.Check(true)) << c.what;
    const std::string report = checks.Report(), notes = checks.err.str();
    EXPECT_EQ(c.noted, notes.find(": image cache ") != std::string::npos) << c.what << notes;
    EXPECT_EQ(both, checks.Check(false)) << c.what;
    EXPECT_EQ(checks.Report(), report) << c.what;
    EXPECT_EQ("", checks.err.str()) << c.what;
  }
}

// --no-cache decodes every image, the cache there or not, as
// NVTHEME_CACHE=off does.
TEST(CachedCheckTest, NoCacheDecodesEveryImage) {
  CachedChecks checks;
  const std::set<std::string> both = {checks.shot, checks.sand};
  EXPECT_EQ(both, checks.Check(true));
  checks.fs.PassTime(CachedChecks::kMinute);
  EXPECT_EQ(both, checks.Check(true, "--no-cache"));
}

// A build keeps the verdicts of the images whose structure it walked, and
// takes those it or a check kept: a rebuild reads only what changed. A
// verdict answers a look as deep as its own or shallower, so a check
// decodes what a build only walked, and a build keeps a check's decodes as
// decodes. The last run says what it says without the cache.
TEST(CachedCheckTest, ARebuildReadsOnlyTheImagesThatChanged) {
  using Args = std::vector<std::string>;
  using Step = std::function<void(CachedChecks&)>;
  const Args build = {"build"}, check = {"check", "--format=json"};
  const Step built = [&](CachedChecks& c) { c.Run(build, true); };
  const Step checked = [&](CachedChecks& c) { c.Run(check, true); };
  const Step changeSand = [](CachedChecks& c) { c.fs.RewriteFile(c.sand, SamplePng(6, 3)); };
  const struct {
    const char* what;
    std::vector<Step> before;
    Args last;        // the run whose reads are counted, with the cache
    bool shot, sand;  // whether it reads the image
  } cases[] = {
      {"nothing changed", {built}, build, false, false},
      {"an image changed", {built, changeSand}, build, false, true},
      {"after a check", {built, checked}, build, false, false},
      {"a check after a build", {built}, check, true, true},
      {"a check after a check and a build", {checked, built}, check, false, false},
      {"--no-cache", {built}, {"build", "--no-cache"}, true, true},
  };
  for (const auto& c : cases) {
    CachedChecks runs;
    for (const Step& step : c.before) {
      step(runs);
      runs.fs.PassTime(CachedChecks::kMinute);
    }
    std::set<std::string> expected;
    if (c.shot) expected.insert(runs.shot);
    if (c.sand) expected.insert(runs.sand);
    EXPECT_EQ(expected, runs.Run(c.last, true)) << c.what;
    const std::string out = runs.out.str(), err = runs.err.str();
    const std::map<std::string, int> reads = runs.reads;
    runs.Run(c.last, false);
    EXPECT_EQ(out, runs.out.str()) << c.what;
    EXPECT_EQ(err, runs.err.str()) << c.what;
    // Reading both, it reads them as often as a run without the cache: a
    // build's writer reads them too, and the warnings must not skip theirs.
    if (c.shot && c.sand) EXPECT_EQ(runs.reads, reads) << c.what;
  }
}

// check --format=sarif: a SARIF 2.1.0 log, read back with what the format
// requires of each object checked present: a rule for the manifest's errors
// and one for every warning, a result for each finding in its file and
// place, and a notification for a folder that is not there.
TEST_F(NvthemeTest, SarifFormatGivesALogOfResults) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\" mdoe=\"x\"/>");
  // Before the faults on their line, three characters in five bytes.
  Replace(&theme, "mode=\"grid\"", "mode=\"\xC3\xA9t\xC3\xA9\"");
  AddFolder("sea", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  const std::string held = JoinPath("sea", "a\nb\xE9.png");
  fs.AddFile(held, "x");
  fs.Hold(held);

  EXPECT_EQ(1, Run({"check", "--format=sarif", "sea", "nowhere"}));
  JsonValue log;
  std::string error;
  ASSERT_TRUE(JsonReader::Parse(out.str(), &log, &error)) << error << "\n" << out.str();
  EXPECT_EQ("2.1.0", log["version"].string);
  EXPECT_NE(std::string::npos, log["$schema"].string.find("sarif-schema-2.1.0.json"));
  ASSERT_EQ(1u, log["runs"].size());
  const JsonValue& run = log["runs"][0];
  const JsonValue& driver = run["tool"]["driver"];
  EXPECT_EQ("nvtheme", driver["name"].string);
  EXPECT_EQ(NV_VERSION, driver["version"].string);

  // Rules: an id each, once, with a description and help.
  std::vector<std::string> ids;
  for (const JsonValue& rule : driver["rules"].items) {
    ids.push_back(rule["id"].string);
    EXPECT_FALSE(rule["shortDescription"]["text"].string.empty()) << ids.back();
    EXPECT_FALSE(rule["help"]["text"].string.empty()) << ids.back();
    const std::string level = rule["defaultConfiguration"]["level"].string;
    const WarningName* warning = FindWarningName(ids.back());
    const bool error =
        ids.back() == kManifestRuleId || (warning && warning->severity == Severity::kError);
    EXPECT_EQ(error ? "error" : "warning", level) << ids.back();
    EXPECT_EQ(ids.back() != "unused-file", rule["defaultConfiguration"]["enabled"].boolean);
  }
  std::vector<std::string> expected = {kManifestRuleId};
  for (const WarningName& warning : WarningNames()) expected.push_back(warning.name);
  EXPECT_EQ(expected, ids);
  // A warning's help is its row of the reference, as Markdown and as text.
  const JsonValue& rule = driver["rules"][10];
  ASSERT_EQ("case-mismatch", rule["id"].string);
  const std::string cause =
      "the folder holds the file under another letter case: Windows builds, Linux does not "
      "(where letter case counts, the error of the missing file says it instead)";
  EXPECT_EQ("T" + cause.substr(1) + ".", rule["fullDescription"]["text"].string);
  EXPECT_EQ("T" + cause.substr(1) + ".", rule["fullDescription"]["markdown"].string);
  const std::string turns =
      "On by default; -Wno-case-mismatch turns it off. It never changes the "
      "log or the package; -Werror makes it fail the run.";
  EXPECT_EQ("Cause: " + cause + ".\nFix: spell the name as the file is spelt.\n" + turns,
            rule["help"]["text"].string);
  EXPECT_EQ("**Cause:** " + cause +
                ".\n\n**Fix:** spell the name as the file is spelt.\n\nOn by default; "
                "`-Wno-case-mismatch` turns it off. It never changes the log or the package; "
                "`-Werror` makes it fail the run.",
            rule["help"]["markdown"].string);
  EXPECT_FALSE(driver.Has("semanticVersion"));
  EXPECT_EQ("unicodeCodePoints", run["columnKind"].string);

  const JsonValue& invocation = run["invocations"][0];
  EXPECT_EQ(JsonValue::Type::kBool, invocation["executionSuccessful"].type);
  EXPECT_FALSE(invocation["executionSuccessful"].boolean);
  EXPECT_EQ(1, invocation["exitCode"].number);
  ASSERT_EQ(1u, invocation["toolExecutionNotifications"].size());
  const JsonValue& nowhere = invocation["toolExecutionNotifications"][0];
  EXPECT_EQ("error", nowhere["level"].string);
  EXPECT_EQ("nowhere: no such file or folder", nowhere["message"]["text"].string);

  // Results: each with a message, a rule of the driver's, a level and a file.
  const JsonValue& results = run["results"];
  ASSERT_EQ(3u, results.size());
  for (const JsonValue& result : results.items) {
    EXPECT_FALSE(result["message"]["text"].string.empty());
    const size_t index = static_cast<size_t>(result["ruleIndex"].number);
    ASSERT_LT(index, ids.size());
    EXPECT_EQ(ids[index], result["ruleId"].string);
    EXPECT_FALSE(
        result["locations"][0]["physicalLocation"]["artifactLocation"]["uri"].string.empty());
  }
  const JsonValue& missing = results[0];
  EXPECT_EQ(kManifestRuleId, missing["ruleId"].string);
  EXPECT_EQ("error", missing["level"].string);
  EXPECT_EQ("The file: 'Grid.xml' in attribute 'file' doesn't exist or can't be read.",
            missing["message"]["text"].string);
  const JsonValue& place = missing["locations"][0]["physicalLocation"];
  EXPECT_EQ("sea/main.xml", place["artifactLocation"]["uri"].string);
  EXPECT_EQ(2, place["region"]["startLine"].number);
  EXPECT_EQ(76, place["region"]["startColumn"].number);  // byte 78
  const JsonValue& unknown = results[1];
  EXPECT_EQ("unknown-attribute", unknown["ruleId"].string);
  EXPECT_EQ("warning", unknown["level"].string);
  ASSERT_EQ(1u, unknown["relatedLocations"].size());
  EXPECT_EQ("did you mean 'mode'?", unknown["relatedLocations"][0]["message"]["text"].string);
  const JsonValue& unreadable = results[2];
  EXPECT_EQ("unreadable-file", unreadable["ruleId"].string);
  EXPECT_EQ("warning", unreadable["level"].string);
  EXPECT_EQ("left out: held by another program", unreadable["message"]["text"].string);
  const JsonValue& file = unreadable["locations"][0]["physicalLocation"];
  EXPECT_EQ("sea/a%0Ab%E9.png", file["artifactLocation"]["uri"].string);
  EXPECT_FALSE(file.Has("region"));
}

// One error is one gnu line, whatever bytes the manifest's values hold:
// control bytes are written as escapes, a backslash stays one (Windows'
// paths are made of them) and bytes from 0x80 up pass as they are. The log
// shows the value as it is.
TEST_F(NvthemeTest, GnuLinesEscapeControlBytes) {
  struct Value {
    std::string xml;    // as the manifest writes it
    std::string value;  // as it is read
    std::string shown;  // in a gnu line
  };
  const Value values[] = {
      {"nope&#10;t/main.xml:1:1: error: forged line&#10;",
       "nope\nt/main.xml:1:1: error: forged line\n",
       "nope\\nt/main.xml:1:1: error: forged line\\n"},
      {"a&#13;b", "a\rb", "a\\rb"},
      {"a&#9;b", "a\tb", "a\\tb"},
      {"a&#x01;b",
       "a\x01"
       "b",
       "a\\x01b"},
      {"a\x7F.png", "a\x7F.png", "a\\x7F.png"},
      {"a\\b.png", "a\\b.png", "a\\b.png"},
      {"caf\xC3\xA9.png", "caf\xC3\xA9.png", "caf\xC3\xA9.png"},
  };
  const std::string manifest = JoinPath("t", "main.xml");
  for (const Value& v : values) {
    std::string theme = kSoundTheme;
    Replace(&theme, "shot.png", v.xml);
    AddFolder("t", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
    const std::string message =
        "The file: '" + v.value + "' in attribute 'screenshot' doesn't exist or can't be read.";
    EXPECT_EQ(1, Run({"check", "--format=gnu", "t"}));
    const std::string error = manifest + ":1:48: error: The file: '" + v.shown +
                              "' in attribute 'screenshot' doesn't exist or can't be read.\n";
    EXPECT_EQ(error, out.str().substr(0, error.size()));
    // Its notes, which may quote the value too, and the warnings about it
    // stand each on one line of their own.
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
      EXPECT_EQ(0u, line.rfind(manifest + ":1:", 0)) << line;
    EXPECT_EQ(1, Run({"check", "t"}));
    EXPECT_NE(std::string::npos, out.str().find("\r\nError: " + message + "\r\n")) << v.shown;
  }
}

// The reference's complete example, as an author copies it from the page,
// passes the check with nothing to say.
TEST_F(RoundTripTest, TheReferencesExamplePassesTheCheck) {
  std::ifstream page(JoinPath(NV_DOCS_DIR, "MANIFEST.md"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(page), {}};
  const size_t start = text.find("```xml\n");
  ASSERT_NE(std::string::npos, start);
  const size_t end = text.find("```", start + 7);
  std::ofstream(JoinPath(folder, "main.xml"), std::ios::binary)
      << text.substr(start + 7, end - start - 7);
  EXPECT_EQ(0, Run({"check", "--format=gnu", folder}));
  EXPECT_EQ("", out.str());
  EXPECT_EQ("", err.str());
}

}  // namespace
}  // namespace nv
