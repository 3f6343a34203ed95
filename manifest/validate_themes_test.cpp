#include "manifest/validate_themes.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "manifest/manifest.h"
#include "testing/memory_file_system.h"
#include "testing/recording_publisher.h"

namespace nv {
namespace {

// The parts of a sound theme, varied one rule at a time below.
const std::string kSoundAttributes = "name=\"Day\" screenshot=\"shot.png\"";
const std::string kDetail = "<detail mode=\"grid\" file=\"grid.xml\"/>";
const std::string kTemplates = "<templates>" + kDetail + "</templates>";
const std::string kSizes = "uwidth=\"120\" uheight=\"160\" uhspace=\"12\" uvspace=\"16\"";
const std::string kPlace = "olx=\"10\" oly=\"8\" olwidth=\"100\" olheight=\"24\"";
const std::string kCatalog = "<catalog name=\"Novels\" image=\"novels.png\" " + kPlace + "/>";
const std::string kShelf =
    "<virtualshelf background=\"sand.png\" " + kSizes + ">" + kCatalog + "</virtualshelf>";

std::string Theme(const std::string& content, const std::string& attributes = kSoundAttributes) {
  return "<theme " + attributes + ">" + content + "</theme>";
}
std::string Shelf(const std::string& attributes, const std::string& content = "") {
  return "<virtualshelf " + attributes + ">" + content + "</virtualshelf>";
}
// A sound theme but for one shelf.
std::string ThemeWithShelf(const std::string& shelf) { return Theme(kTemplates + shelf); }
// A sound theme but for one catalog.
std::string ThemeWithCatalog(const std::string& catalog) {
  return ThemeWithShelf(Shelf("background=\"sand.png\" " + kSizes, catalog));
}

const std::string kValid = "Theme is valid.\r\n";
const std::string kInvalid = "Error: Theme is invalid.\r\n";
const std::string kNoContent = "Error: No child nodes found in 'theme' node.\r\n";

std::string Missing(const std::string& file, const std::string& attribute) {
  return "Error: The file: '" + file + "' in attribute '" + attribute +
         "' doesn't exist or can't be read.\r\n";
}
std::string NotFound(const std::string& attributes, const std::string& element) {
  return "Error: Attributes '" + attributes + "' not found in '" + element + "' node.\r\n";
}
std::string Invalid(const std::string& attributes) {
  return "Error: Attributes '" + attributes + "' invalid.\r\n";
}

// What one validation left behind.
struct Outcome {
  std::string log;
  std::vector<bool> verdicts;
  size_t themes = 0;
  // The lines told to the findings, in order.
  std::string told;
  RecordingPublisher publisher;
};

// The lines of the log that begin "Error: ", in order.
std::string ErrorLines(const std::string& log) {
  std::string lines;
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find("\r\n", start) + 2;
    if (log.compare(start, 7, "Error: ") == 0) lines += log.substr(start, end - start);
    start = end;
  }
  return lines;
}

class ValidateThemesTest : public testing::Test {
 protected:
  ValidateThemesTest() {
    fs.AddFolder(folder);
    fs.AddFolder(JoinPath(folder, "img"));
    for (const char* name : {"shot.png", "grid.xml", "sand.png", "novels.png"})
      fs.AddFile(JoinPath(folder, name), "bytes");
  }

  // Validates a manifest whose root element holds `content`.
  Outcome Validate(const std::string& content) {
    TiXmlDocument manifest;
    ParseManifest("<nuvarinepackage>" + content + "</nuvarinepackage>", &manifest);
    Outcome out;
    OperationLog log;
    std::vector<const TiXmlElement*> themes;
    ValidateThemes(RunContext{fs, log, out.publisher}, folder, manifest, &themes, &out.verdicts,
                   [&](const ThemeFinding& finding) { out.told += finding.line; });
    out.log = log.Text();
    out.themes = themes.size();
    return out;
  }

  struct RuleCase {
    const char* name;
    std::string theme;
    std::string lines;  // after "Validating #1... "
    bool valid;
  };

  // Each case validates one theme on its own; every error line it writes
  // must also be told to the findings.
  void Expect(const std::vector<RuleCase>& cases) {
    const std::string head = "Checking themes ... 1 variations.\r\nValidating #1... \r\n";
    for (const RuleCase& c : cases) {
      Outcome out = Validate(c.theme);
      EXPECT_EQ(head + c.lines, out.log) << c.name;
      EXPECT_EQ(std::vector<bool>{c.valid}, out.verdicts) << c.name;
      EXPECT_EQ(ErrorLines(out.log), out.told) << c.name;
    }
  }

  const std::string folder = "ocean";
  MemoryFileSystem fs;
};

TEST_F(ValidateThemesTest, TwoThemesOneWithAMissingDetailFile) {
  Outcome out =
      Validate(Theme(kTemplates + kShelf) +
               Theme("<templates><detail mode=\"grid\" file=\"bad.xml\"/></templates>" + kShelf));
  EXPECT_EQ(
      "Checking themes ... 2 variations.\r\n"
      "Validating #1... \r\n"
      "Theme is valid.\r\n"
      "Validating #2... \r\n"
      "Error: The file: 'bad.xml' in attribute 'file' doesn't exist or can't be read.\r\n"
      "Error: Theme is invalid.\r\n",
      out.log);
  EXPECT_EQ((std::vector<bool>{true, false}), out.verdicts);
  // Published after the opening words, after the count and after the last theme.
  ASSERT_EQ("PPP", out.publisher.Kinds());
  EXPECT_EQ("Checking themes ... ", out.publisher.events[0].second);
  EXPECT_EQ("Checking themes ... 2 variations.\r\n", out.publisher.events[1].second);
  EXPECT_EQ(out.log, out.publisher.events[2].second);
}

TEST_F(ValidateThemesTest, OnlyThemesDirectlyUnderTheRootAreCollected) {
  Outcome out = Validate("<Theme " + kSoundAttributes + "/><group>" + Theme(kTemplates + kShelf) +
                         "</group>" + Theme(kTemplates + kShelf + "<theme/>") + "<!-- theme -->");
  EXPECT_EQ(1u, out.themes);
  EXPECT_EQ("Checking themes ... 1 variations.\r\nValidating #1... \r\nTheme is valid.\r\n",
            out.log);
}

TEST_F(ValidateThemesTest, NoThemesWritesACountOfNothing) {
  Outcome out = Validate("<Theme/>");
  EXPECT_EQ("Checking themes ... 0 variations.\r\n", out.log);
  EXPECT_TRUE(out.verdicts.empty());
  EXPECT_EQ("PPP", out.publisher.Kinds());
}

TEST_F(ValidateThemesTest, ThemesSharingANameAreBothAccepted) {
  Outcome out = Validate(Theme(kTemplates + kShelf) + Theme(kTemplates + kShelf));
  EXPECT_EQ((std::vector<bool>{true, true}), out.verdicts);
}

TEST_F(ValidateThemesTest, EntryChecksCutTheThemeShort) {
  const std::string faultyContent = "<virtualshelf/><templates><detail/></templates>";
  const std::string subpath = std::string("img") + kPathSeparator + "night.png";
  fs.AddFile(JoinPath(folder, subpath), "bytes");
  Expect({
      {"no name", Theme(faultyContent, "screenshot=\"shot.png\""),
       NotFound("name or screenshot", "theme"), false},
      {"no screenshot", Theme(faultyContent, "name=\"Day\""),
       NotFound("name or screenshot", "theme"), false},
      {"neither", Theme(faultyContent, ""), NotFound("name or screenshot", "theme"), false},
      {"one-byte name", Theme(faultyContent, "name=\"D\" screenshot=\"shot.png\""),
       Invalid("name, screenshot"), false},
      {"empty name", Theme(faultyContent, "name=\"\" screenshot=\"shot.png\""),
       Invalid("name, screenshot"), false},
      {"one-byte screenshot", Theme(faultyContent, "name=\"Day\" screenshot=\"s\""),
       Invalid("name, screenshot"), false},
      {"screenshot missing, faulty children unreported",
       Theme(faultyContent, "name=\"Day\" screenshot=\"none.png\""),
       Missing("none.png", "screenshot"), false},
      {"screenshot names a folder", Theme(kTemplates + kShelf, "name=\"Day\" screenshot=\"img\""),
       Missing("img", "screenshot"), false},
      {"screenshot in a subfolder",
       Theme(kTemplates + kShelf, "name=\"Da\" screenshot=\"" + subpath + "\""), kValid, true},
  });
}

TEST_F(ValidateThemesTest, ScreenshotHeldByAnotherProgramCountsAsMissing) {
  fs.Hold(JoinPath(folder, "shot.png"));
  Expect({{"held", Theme(kTemplates + kShelf), Missing("shot.png", "screenshot"), false}});
}

TEST_F(ValidateThemesTest, ContentNeedsTemplatesAndAShelf) {
  Expect({
      {"sound", Theme(kTemplates + kShelf), kValid, true},
      {"shelf first, strangers between", Theme(kShelf + "<logo/>" + kTemplates), kValid, true},
      {"no content", "<theme " + kSoundAttributes + "/>", kNoContent + kInvalid, false},
      {"only a comment", Theme("<!-- later -->"), kInvalid, false},
      {"only text", Theme("later"), kInvalid, false},
      {"no templates", Theme(kShelf), kInvalid, false},
      {"no shelf", Theme(kTemplates), kInvalid, false},
      {"detail directly under theme", Theme(kDetail + kShelf), kInvalid, false},
      {"both one level too deep", Theme("<group>" + kTemplates + kShelf + "</group>"), kInvalid,
       false},
      {"letter case of templates", Theme("<Templates>" + kDetail + "</Templates>" + kShelf),
       kInvalid, false},
  });
}

TEST_F(ValidateThemesTest, OneSoundDetailIsEnough) {
  Expect({
      {"first without mode, second sound",
       Theme("<templates><detail file=\"grid.xml\"/>" + kDetail + "</templates>" + kShelf),
       NotFound("mode", "detail") + kValid, true},
      {"sound detail in a second templates",
       Theme("<templates><detail mode=\"m\" file=\"bad.xml\"/></templates>" + kTemplates + kShelf),
       Missing("bad.xml", "file") + kValid, true},
      {"mode value not examined",
       Theme("<templates><detail mode=\"\" file=\"grid.xml\"/></templates>" + kShelf), kValid,
       true},
      {"strangers in templates passed over",
       Theme("<templates><layout/>" + kDetail + "<!-- x --></templates>" + kShelf), kValid, true},
      {"without file", Theme("<templates><detail mode=\"grid\"/></templates>" + kShelf),
       NotFound("file", "detail") + kInvalid, false},
      {"without mode, file not examined", Theme("<templates><detail/></templates>" + kShelf),
       NotFound("mode", "detail") + kInvalid, false},
      {"file missing",
       Theme("<templates><detail mode=\"grid\" file=\"bad.xml\"/></templates>" + kShelf),
       Missing("bad.xml", "file") + kInvalid, false},
      {"empty file name",
       Theme("<templates><detail mode=\"grid\" file=\"\"/></templates>" + kShelf),
       Missing("", "file") + kInvalid, false},
  });
}

TEST_F(ValidateThemesTest, ShelvesNeedABackgroundAttributeEach) {
  Expect({
      {"second shelf without background", ThemeWithShelf(kShelf + Shelf(kSizes)),
       NotFound("background", "virtualshelf") + kInvalid, false},
      {"only the second background exists",
       ThemeWithShelf(Shelf("background=\"deep.png\" " + kSizes) + kShelf),
       Missing("deep.png", "background") + kValid, true},
      {"background missing", ThemeWithShelf(Shelf("background=\"deep.png\" " + kSizes)),
       Missing("deep.png", "background") + kInvalid, false},
      {"no catalog needed", ThemeWithShelf(Shelf("background=\"sand.png\" " + kSizes)), kValid,
       true},
      {"every check of a faulty shelf",
       ThemeWithShelf(Shelf("uheight=\"a\" uhspace=\"1\"", "<catalog " + kPlace + " name=\"n\"/>")),
       NotFound("background", "virtualshelf") + Invalid("uwidth") + Invalid("uheight") +
           Invalid("uvspace") + NotFound("image", "catalog") + kInvalid,
       false},
  });
}

TEST_F(ValidateThemesTest, SizesAreIntegersAsPercentDReadsThem) {
  struct Width {
    const char* attribute;
    bool valid;
  };
  const Width widths[] = {
      {"uwidth=\"12px\"", true}, {"uwidth=\"-3\"", true},
      {"uwidth=\" +7\"", true},  {"uwidth=\"0\"", true},
      {"uwidth=\"px\"", false},  {"uwidth=\"\"", false},
      {"uwidth=\"- 3\"", false}, {"", false},
  };
  std::vector<RuleCase> cases;
  for (const Width& w : widths) {
    const std::string shelf =
        Shelf(std::string("background=\"sand.png\" uheight=\"1\" uhspace=\"1\" uvspace=\"1\" ") +
              w.attribute);
    cases.push_back({w.attribute, ThemeWithShelf(shelf),
                     w.valid ? kValid : Invalid("uwidth") + kInvalid, w.valid});
  }
  cases.push_back(
      {"all four missing", ThemeWithShelf(Shelf("background=\"sand.png\"")),
       Invalid("uwidth") + Invalid("uheight") + Invalid("uhspace") + Invalid("uvspace") + kInvalid,
       false});
  Expect(cases);
}

TEST_F(ValidateThemesTest, EveryCatalogFaultFailsTheTheme) {
  Expect({
      {"sound", ThemeWithCatalog(kCatalog), kValid, true},
      {"name value not examined",
       ThemeWithCatalog("<catalog name=\"\" image=\"novels.png\" " + kPlace + "/>"), kValid, true},
      {"image missing", ThemeWithCatalog("<catalog name=\"N\" image=\"none.png\" " + kPlace + "/>"),
       Missing("none.png", "image") + kInvalid, false},
      {"no image", ThemeWithCatalog("<catalog name=\"N\" " + kPlace + "/>"),
       NotFound("image", "catalog") + kInvalid, false},
      {"no name", ThemeWithCatalog("<catalog image=\"novels.png\" " + kPlace + "/>"),
       NotFound("name", "catalog") + kInvalid, false},
      {"bad place",
       ThemeWithCatalog(
           "<catalog name=\"N\" image=\"novels.png\" olx=\"x\" oly=\"1\" olwidth=\"\"/>"),
       Invalid("olx") + Invalid("olwidth") + Invalid("olheight") + kInvalid, false},
      {"everything wrong, in order", ThemeWithCatalog("<catalog/>"),
       Invalid("olx") + Invalid("oly") + Invalid("olwidth") + Invalid("olheight") +
           NotFound("name", "catalog") + NotFound("image", "catalog") + kInvalid,
       false},
      {"outside a shelf, passed over", Theme(kTemplates + kShelf + "<catalog/>"), kValid, true},
  });
}

}  // namespace
}  // namespace nv
