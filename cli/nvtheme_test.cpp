#include "cli/nvtheme.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "builder/theme_builder.h"
#include "cli/cache_settings.h"
#include "cli/folder_report.h"
#include "cli/sarif_report.h"
#include "cli/warning_switches.h"
#include "package/entry_name.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "services/component.h"
#include "services/task_memory.h"
#include "testing/json_reader.h"
#include "testing/memory_file_system.h"
#include "testing/sound_theme.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

std::string Head(const std::string& folder) {
  return "\r\nProcessing " + folder + " ...\r\nProcessing " + JoinPath(folder, "main.xml") +
         " ... succeeded.\r\n\r\n";
}
namespace fsys = std::filesystem;

class NvthemeTest : public testing::Test {
 protected:
  // A theme folder with this manifest and the files a sound theme names,
  // each what its name says, so that a sound theme gives no warning.
  void AddFolder(const std::string& folder, const std::string& manifest) {
    fs.AddFolder(folder);
    fs.AddFile(JoinPath(folder, "main.xml"), manifest);
    for (const char* name : {"shot.png", "sand.png"})
      fs.AddFile(JoinPath(folder, name), "\x89PNG\r\n\x1A\n");
    fs.AddFile(JoinPath(folder, "grid.xml"), "<layout/>");
  }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunNvtheme(args, fs, out, err);
  }

  MemoryFileSystem fs;
  std::ostringstream out;
  std::ostringstream err;
};

// What --help prints, byte for byte.
const char kHelp[] =
    "Usage: nvtheme COMMAND [OPTION]... ARGUMENT...\n"
    "Checks theme folders and packs them into .nvp packages, and looks inside\n"
    "packages.\n"
    "\n"
    "Commands:\n"
    "  build FOLDER...      check each folder and pack it into FOLDER.nvp;\n"
    "                       the operation log goes to standard output\n"
    "  check FOLDER...      check each folder's manifest and stop: nothing is\n"
    "                       packed or written; the log goes to standard output\n"
    "  list PACKAGE         show each packed file: id, size, stored size and\n"
    "                       name, separated by tabs\n"
    "  extract PACKAGE DIR  unpack every file into DIR, created if missing;\n"
    "                       when a name is already there, nothing is written\n"
    "                       (see --force), and a failure part-way leaves DIR\n"
    "                       as it was\n"
    "  verify PACKAGE       check all of the package, every file unpacked, and\n"
    "                       name each faulty file\n"
    "  init DIR             make DIR a new theme folder that passes the check\n"
    "                       and packs, to start from (DIR new or empty)\n"
    "  cache clear          empty the build cache\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    with build of one folder: write the package to FILE\n"
    "                       instead of beside the folder\n"
    "  -q, --quiet          with build and check: leave the log off standard\n"
    "                       output; errors, notes and the summary still go to\n"
    "                       standard error\n"
    "  --no-cache           with build: make every block anew and keep nothing\n"
    "                       for the next build (as NVTHEME_CACHE=off does);\n"
    "                       the package is the same\n"
    "  -j, --jobs N         with build: read and compress files on N threads\n"
    "                       (one per core when not given); the package and\n"
    "                       the log are the same on any number\n"
    "  --format=gnu         with check: instead of the log, one line per error\n"
    "                       or warning, FILE:LINE:COLUMN: error: MESSAGE, as\n"
    "                       compilers write them for editors to jump to, each\n"
    "                       followed by its notes\n"
    "  --format=json        with check: instead of the log, one JSON document:\n"
    "                       each folder, its themes and its findings\n"
    "  --format=sarif       with check: instead of the log, a SARIF 2.1.0 log\n"
    "                       for code-scanning services\n"
    "  -W NAME, -WNAME      with build and check: report the warning NAME\n"
    "  -W no-NAME, -Wno-NAME\n"
    "                       with build and check: do not report it\n"
    "  -Werror, --warnings-as-errors\n"
    "                       with build and check: fail when a warning is\n"
    "                       reported; a build then stops after the checks,\n"
    "                       packs nothing and keeps the last good package\n"
    "  --list-warnings      show each warning's name, whether it is on by\n"
    "                       default, and what it finds\n"
    "  --no-outside-links   with build and check: pass over a file that leads\n"
    "                       outside its folder through a link, as if it could\n"
    "                       not be read (without it, such a file is packed and\n"
    "                       named on standard error)\n"
    "  --watch              with build and check: after the first run, wait for\n"
    "                       changes to the folders' files and run again when\n"
    "                       they have been quiet for a moment; Ctrl-C stops\n"
    "  --force              with extract: replace the files already in DIR;\n"
    "                       each new file is written beside them under a\n"
    "                       temporary name, and moved into place once all\n"
    "                       are whole\n"
    "  --name NAME          with init: the theme's name (\"My Theme\")\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version, copyright and license and exit\n"
    "  --                   treat every later argument as an operand\n"
    "\n"
    "A build takes the blocks of files unchanged since the last build of its\n"
    "package from that package, and keeps what it needs for that in the\n"
    "build cache, in $XDG_CACHE_HOME/nvtheme (~/.cache/nvtheme by default;\n"
    "%LOCALAPPDATA%\\nvtheme on Windows).\n"
    "\n"
    "Exit status: 0 on success (with check: every manifest loaded and all its\n"
    "themes are valid), 1 when a folder was not built or checked clean, a\n"
    "package is faulty or output could not be written, 2 for a usage error.\n";

TEST_F(NvthemeTest, VersionAndHelp) {
  for (const char* version : {"--version", "-V"}) {
    EXPECT_EQ(0, Run({version}));
    EXPECT_EQ(0u, out.str().find("nvtheme " NV_VERSION "\nCopyright (C) 2026 "));
    EXPECT_NE(std::string::npos, out.str().find("\nLicense MIT: "));
  }
  for (const char* help : {"--help", "-h"}) {
    EXPECT_EQ(0, Run({help}));
    EXPECT_EQ(kHelp, out.str());
  }
  EXPECT_EQ("", err.str());
}

TEST_F(NvthemeTest, UsageErrorExitsTwo) {
  EXPECT_EQ(2, Run({"build"}));
  EXPECT_EQ("nvtheme: 'build' needs a folder\nTry 'nvtheme --help' for more information.\n",
            err.str());
  EXPECT_EQ("", out.str());
  EXPECT_EQ(2, Run({"frobnicate"}));
}

TEST_F(NvthemeTest, MissingFolderIsReportedAndSkipped) {
  fs.AddFolder("ocean");
  fs.AddFile(JoinPath("ocean", "main.xml"), "<nuvarinepackage/>");
  EXPECT_EQ(1, Run({"build", "nowhere", "ocean"}));
  EXPECT_EQ("nvtheme: nowhere: no such file or folder\nnvtheme: ocean.nvp: 1 file, 1.3 kB\n",
            err.str());
  EXPECT_EQ("\r\nProcessing ocean ...\r\nProcessing " + JoinPath("ocean", "main.xml") +
                " ... succeeded.\r\n\r\nChecking themes ... 0 variations.\r\n"
                "\r\nPacking files ...\r\n1, main.xml\r\n"
                "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><files>"
                "<file filename=\"main.xml\" id=\"1\" /></files>\r\n\r\n"
                "ocean.nvp successfully created.\r\n"
                "\r\nProcess completed successfully\r\n"
                "\r\nPlease record down this operation log for future reference (Optional).\r\n",
            out.str());
  EXPECT_TRUE(fs.HasFile("ocean.nvp"));
}

TEST_F(NvthemeTest, FailedRunExitsOne) {
  fs.AddFolder("ocean");
  EXPECT_EQ(1, Run({"build", "ocean"}));
  EXPECT_NE(std::string::npos, out.str().find("... failed\r\n"));
}

// A build that cannot have its compression service packs nothing and says
// which service and why; a check needs none.
TEST_F(NvthemeTest, BuildWithoutItsServiceEndsAtOnce) {
  AddFolder("sound", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const KestFactory noModule = [](const char16_t*, const char16_t*, void** object) -> int32_t {
    *object = nullptr;
    return kKestNoModule;
  };
  EXPECT_EQ(1, RunNvtheme({"build", "sound"}, fs, out, err, nullptr, {}, noModule));
  EXPECT_EQ("nvtheme: cannot create the IZlib service of KestRTU.dll: no such module\n", err.str());
  EXPECT_EQ("", out.str());
  EXPECT_FALSE(fs.HasFile("sound.nvp"));
  EXPECT_EQ(0, RunNvtheme({"check", "sound"}, fs, out, err, nullptr, {}, noModule));
}

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

// What the log leaves unsaid reaches standard error: files left out of the
// package and why, files packed from outside the folder through a link.
TEST_F(NvthemeTest, NotesNameFilesLeftOutAndLinksThatLeadOutside) {
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string held = JoinPath("ocean", "held.png"), link = JoinPath("ocean", "secret.png");
  fs.AddFile(held, "x");
  fs.Hold(held);
  fs.AddFile(link, "x");
  fs.SetLinkTarget(link, "/etc/secret");
  const std::string heldNote = "nvtheme: " + held + ": left out: held by another program\n";

  EXPECT_EQ(0, Run({"build", "ocean"}));
  EXPECT_EQ(heldNote + "nvtheme: " + link + ": packed from /etc/secret, outside the folder\n" +
                "nvtheme: ocean.nvp: 5 files, 1.9 kB\n",
            err.str());
  EXPECT_NE(std::string::npos, out.str().find(", secret.png\r\n"));

  EXPECT_EQ(0, Run({"build", "--no-outside-links", "ocean"}));
  EXPECT_EQ(heldNote + "nvtheme: " + link +
                ": left out: a link to /etc/secret, outside the folder\n" +
                "nvtheme: ocean.nvp: 4 files, 1.8 kB\n",
            err.str());
  EXPECT_EQ(std::string::npos, out.str().find("secret.png"));

  // A file the manifest names is missing when it leads outside.
  fs.SetLinkTarget(JoinPath("ocean", "shot.png"), "/etc/shot.png");
  EXPECT_EQ(0, Run({"check", "ocean"}));
  EXPECT_EQ(1, Run({"check", "--no-outside-links", "ocean"}));
  EXPECT_NE(std::string::npos,
            out.str().find("Error: The file: 'shot.png' in attribute 'screenshot' doesn't exist"));
  EXPECT_EQ(2, Run({"list", "--no-outside-links", "ocean.nvp"}));
}

// A build on a full disk fails with the log's line as ever; standard error
// then says which file the disk refused, and why, in the system's words.
TEST_F(NvthemeTest, FullDiskGivesTheSystemsReasonBesideAnUnchangedLog) {
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  fs.faultText = "write: No space left on device";
  std::string created;
  fs.before = [&](MemoryFileSystem::Op op, const std::string& path) {
    if (op == MemoryFileSystem::Op::CreateNew) created = path;
    return op != MemoryFileSystem::Op::Write;
  };
  EXPECT_EQ(1, Run({"build", "ocean"}));
  EXPECT_TRUE(IsTemporaryPackagePath("ocean.nvp", created)) << created;
  EXPECT_EQ("nvtheme: " + created +
                ": write: No space left on device\nnvtheme: ocean: 1 error, 0 warnings\n",
            err.str());
  EXPECT_NE(std::string::npos, out.str().find("\r\nError: Unable to write file: ocean.nvp.\r\n"));

  // The same failure, built with nobody to take notes: the same log.
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  SilentPublisher silent;
  ThemeBuilder unnoted(fs, silent, zlib.get());
  unnoted.BuildFolder("ocean");
  EXPECT_EQ(unnoted.Log(), out.str());
}

// Where standard output and standard error meet, as on a terminal, each
// folder's log stands whole, and its notes follow it.
TEST_F(NvthemeTest, EachFolderLogIsFollowedByItsNotes) {
  std::string alone;  // each folder's log, built alone
  for (const char* folder : {"sea", "ocean"}) {
    AddFolder(folder, "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
    fs.AddFile(JoinPath(folder, "held.png"), "x");
    fs.Hold(JoinPath(folder, "held.png"));
    EXPECT_EQ(0, Run({"build", folder}));
    alone += out.str() + "nvtheme: " + JoinPath(folder, "held.png") +
             ": left out: held by another program\n" + "nvtheme: " + folder +
             ".nvp: 4 files, 1.8 kB\n";
  }
  std::ostringstream both;
  EXPECT_EQ(0, RunNvtheme({"build", "sea", "ocean"}, fs, both, both));
  EXPECT_EQ(alone, both.str());
}

TEST_F(NvthemeTest, FolderThatCannotBeListedIsNamed) {
  AddFolder("ocean", "<nuvarinepackage/>");
  fs.before = [](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::ListFolder;
  };
  EXPECT_EQ(1, Run({"build", "ocean"}));
  EXPECT_EQ(0u, err.str().find("nvtheme: ocean: cannot list the folder: ")) << err.str();
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
          ":3:13: error: The file: 'none.xml' in attribute 'file' doesn't exist or can't be "
          "read.",
      faulty +
          ":3:13: note: the folder holds no file of that name, nor of a near one: add it, or "
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
      faulty + ":4:2: warning: 'uwidth' is '12px', which the rule reads as 12 [-Wloose-integer]",
      faulty +
          ":4:2: note: the rule reads the leading number and passes over the rest, where a "
          "strict reader refuses the value; write a whole number alone",
      faulty +
          ":4:2: warning: 'uheight' is '-3': a width or height must be 1 or more "
          "[-Wloose-integer]",
      faulty + ":4:2: note: the rule takes it, but nothing of that size can be shown",
      rootless + ":1:1: error: no root element \"nuvarinepackage\".",
      rootless + ":1:1: note: the first element is 'themes', at 2:1",
      JoinPath("deep", "main.xml") +
          ":2:766: error: main.xml nests elements more than 256 levels deep.",
  };
  std::string gnu;
  for (const std::string& line : lines) gnu += line + "\n";
  EXPECT_EQ(gnu, out.str());
  EXPECT_EQ("", err.str());
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

void Replace(std::string* text, const std::string& from, const std::string& to) {
  const size_t at = text->find(from);
  ASSERT_NE(std::string::npos, at) << from;
  text->replace(at, from.size(), to);
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
  };
  const std::vector<std::vector<Finding>> themes = {
      {{"7:7",
        missing("layout-lists.xml", "file"),
        {"did you mean 'layout-list.xml'? it is in the folder"}},
       {"9:5", missing("shelf-sand.png", "background"), {noNearFile}},
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
         "the 'catalog' at 10:7 has no 'name'" + shelfFault, "1 more such fault fails it too"}}},
      {{"18:5", "Attributes 'uwidth' invalid.", {"'uwidth' is empty: write a whole number"}},
       {"19:7",
        missing("cat-musics.png", "image"),
        {"did you mean 'cat-music.png'? it is in the folder"}},
       {"14:3",
        "Theme is invalid.",
        {"the 'virtualshelf' at 18:5 has an empty 'uwidth'" + shelfFault,
         "1 more such fault fails it too"}}},
      {{"22:3",
        missing("shot-dusk.png", "screenshot"),
        {noNearFile, "once this is fixed: 22:3: No child nodes found in 'theme' node.",
         "once this is fixed: 22:3: Theme is invalid."}}},
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
    }
  }

  EXPECT_EQ(1, Run({"check", "ocean"}));
  EXPECT_EQ(log, out.str());
  EXPECT_EQ(1, Run({"check", "--format=gnu", "ocean"}));
  EXPECT_EQ(gnu, out.str());
}

// After each folder's log, standard error tells of it in one order: the
// notes of the run, the errors with their notes, the warnings with theirs,
// and one summary line.
TEST_F(NvthemeTest, EachFolderLogIsFollowedByNotesDiagnosticsAndSummary) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\"/>");
  AddFolder("sea", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  fs.AddFile(JoinPath("sea", "held.png"), "x");
  fs.Hold(JoinPath("sea", "held.png"));
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");

  EXPECT_EQ(0, Run({"check", "sea"}));
  const std::string seaLog = out.str(), seaErr = err.str();
  const std::string m = JoinPath("sea", "main.xml");
  EXPECT_EQ("nvtheme: " + JoinPath("sea", "held.png") + ": left out: held by another program\n" +
                m +
                ":2:51: error: The file: 'Grid.xml' in attribute 'file' doesn't exist or can't "
                "be read.\n" +
                m +
                ":2:51: note: the folder holds 'grid.xml': letter case counts, so write the "
                "name as it is\n" +
                m +
                ":2:51: warning: 'Grid.xml' is not in the folder in that letter case "
                "[-Wcase-mismatch]\n" +
                m +
                ":2:51: note: the folder holds 'grid.xml': Windows builds the theme, Linux does "
                "not, and the media application may not find the file; write its name as it is\n"
                "nvtheme: sea: 1 error, 2 warnings\n",
            seaErr);
  EXPECT_EQ(0, Run({"check", "ocean"}));
  EXPECT_EQ("nvtheme: ocean: 0 errors, 0 warnings\n", err.str());

  // Where both streams meet, as on a terminal.
  std::ostringstream both;
  EXPECT_EQ(0, RunNvtheme({"check", "sea", "ocean"}, fs, both, both));
  EXPECT_EQ(seaLog + seaErr + out.str() + err.str(), both.str());
}

// -Werror fails a run that gives any warning: a build stops after the checks
// as a check does, packs nothing and keeps the last good package, and its
// summary says why. Without it, the same folder builds.
TEST_F(NvthemeTest, WarningsAsErrorsStopTheBuildBeforePacking) {
  const std::string sub = std::string("img") + kPathSeparator + "sand.png";
  std::string theme = kSoundTheme;
  Replace(&theme, "name=\"Day\"", "name=\"Day & Night\"");  // a strict parser's fault
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\"/>");
  Replace(&theme, "background=\"sand.png\"", "background=\"" + sub + "\"");
  AddFolder("ocean", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  fs.AddFolder(JoinPath("ocean", "img"));
  fs.AddFile(JoinPath("ocean", sub), "\x89PNG\r\n\x1A\n");
  fs.AddFile("ocean.nvp", "last good");

  EXPECT_EQ(0, Run({"check", "ocean"}));
  const std::string checkLog = out.str();
  const std::string names[] = {"[-Wmalformed-xml]", "[-Wcase-mismatch]", "[-Wunpacked-reference]"};
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"build", "-Werror", "ocean"},
        std::vector<std::string>{"build", "--warnings-as-errors", "ocean"}}) {
    EXPECT_EQ(1, Run(args));
    EXPECT_EQ(checkLog, out.str());
    EXPECT_EQ("last good", fs.Contents("ocean.nvp"));
    for (const std::string& name : names)
      EXPECT_NE(std::string::npos, err.str().find(name)) << name;
    const std::string summary =
        "nvtheme: ocean: 1 error, 3 warnings; not packed, as -Werror makes them errors\n";
    ASSERT_GE(err.str().size(), summary.size());
    EXPECT_EQ(summary, err.str().substr(err.str().size() - summary.size()));
  }
  std::vector<std::string> beside;
  std::string listError;
  fs.ListFolder(".", &beside, &listError);
  for (const std::string& name : beside) EXPECT_FALSE(IsTemporaryPackagePath("ocean.nvp", name));

  EXPECT_EQ(1, Run({"check", "-Werror", "ocean"}));
  EXPECT_EQ(checkLog, out.str());
  EXPECT_NE(std::string::npos, err.str().find("3 warnings; -Werror makes them errors\n"));
  // Turned off, a warning fails nothing.
  EXPECT_EQ(0, Run({"check", "-Werror", "-Wno-malformed-xml", "-Wno-case-mismatch",
                    "-Wno-unpacked-reference", "ocean"}));
  EXPECT_EQ(0, Run({"build", "ocean"}));
  const std::string made =
      "nvtheme: ocean.nvp: 4 files, " + FormatSize(fs.Contents("ocean.nvp").size()) + "\n";
  EXPECT_EQ(made, err.str().substr(err.str().size() - made.size()));
  EXPECT_NE("last good", fs.Contents("ocean.nvp"));
}

// A build never writes its package over a file it reads, however the path
// is spelt, nor over a device or the build cache's files: it refuses before
// the run, as for a usage error, and leaves everything as it was.
TEST_F(NvthemeTest, PackageThatWouldDestroyWhatTheBuildReadsIsRefused) {
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string extra = JoinPath("ocean", "extra.txt");
  fs.AddFile(extra, "extra");
  fs.AddHardLink("linked.nvp", extra);
  fs.AddDevice("dev.nvp");
  const std::string cache = JoinPath("home", "nvtheme");
  const std::string cached = JoinPath(cache, "0123456789abcdef0123456789abcdef.cache");
  fs.AddFolder("home");
  fs.AddFolder(cache);
  const std::string manifest = JoinPath("ocean", "main.xml"), shot = JoinPath("ocean", "shot.png");
  const std::string because = ": not written: it is ";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", manifest}, manifest + because + manifest + ", the manifest, which the build reads"},
      {{"-o", JoinPath(JoinPath("ocean", "."), "shot.png")},
       JoinPath(JoinPath("ocean", "."), "shot.png") + because + shot +
           ", which the manifest names"},
      {{"-o", extra}, extra + because + extra + ", which the package would hold"},
      {{"-o", "linked.nvp"}, "linked.nvp" + because + extra + ", which the package would hold"},
      {{"-o", "dev.nvp"}, "dev.nvp: not written: " + std::string(kNoteDevice)},
      {{"-o", cached},
       cached + ": not written: it is in the build cache's folder, whose files the cache removes"},
  };
  CacheSettings settings;
  settings.folder = cache;
  for (const auto& [options, message] : cases) {
    std::vector<std::string> args = {"build"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("ocean");
    out.str("");
    err.str("");
    EXPECT_EQ(2, RunNvtheme(args, fs, out, err, nullptr, settings)) << message;
    EXPECT_EQ("nvtheme: " + message + "\n", err.str());
    EXPECT_EQ("", out.str());
  }
  EXPECT_EQ("<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>", fs.Contents(manifest));
  EXPECT_EQ("extra", fs.Contents("linked.nvp"));
  EXPECT_TRUE(fs.IsDevice("dev.nvp"));
  EXPECT_FALSE(fs.HasFile(cached));
  // The package beside the folder as well; elsewhere, any file is the author's to replace.
  fs.AddDevice("ocean.nvp");
  EXPECT_EQ(2, Run({"build", "ocean"}));
  fs.AddFile("elsewhere.nvp", "old");
  EXPECT_EQ(0, Run({"build", "-o", "elsewhere.nvp", "ocean"})) << err.str();
}

// A build removes the temporary packages that killed builds left beside its
// package an hour or more ago, and leaves those of builds that may still run.
TEST_F(NvthemeTest, BuildRemovesTheTemporaryPackagesOfKilledBuilds) {
  fs.AddFolder("themes");
  const std::string ocean = JoinPath("themes", "ocean");
  AddFolder(ocean, "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string old = ocean + ".nvp.0123456789abcdef.tmp";
  const std::string recent = ocean + ".nvp.fedcba9876543210.tmp";
  const std::string other = JoinPath("themes", "forest.nvp.0123456789abcdef.tmp");
  fs.AddFile(old, "killed");
  fs.AddFile(other, "another package's");
  fs.PassTime(kStaleTemporaryNs);
  fs.AddFile(recent, "running");
  EXPECT_EQ(0, Run({"check", ocean}));
  EXPECT_TRUE(fs.HasFile(old)) << "a check writes nothing";
  EXPECT_EQ(0, Run({"build", ocean}));
  EXPECT_FALSE(fs.HasFile(old));
  EXPECT_TRUE(fs.HasFile(recent));
  EXPECT_TRUE(fs.HasFile(other));
}

// The notes that are warnings answer to -W and -Werror: a check tells of
// them too, -Wno-NAME leaves them out, and -Werror stops a build on them.
// A note that gives the system's reason for a failure is always shown.
TEST_F(NvthemeTest, NotesThatAreWarningsAnswerToSwitches) {
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string held = JoinPath("ocean", "held.png"), link = JoinPath("ocean", "l.png");
  fs.AddFile(held, "x");
  fs.Hold(held);
  fs.AddFile(link, "x");
  fs.SetLinkTarget(link, "/etc/l.png");
  const std::string heldNote = "nvtheme: " + held + ": left out: held by another program\n";
  const std::string linkNote =
      "nvtheme: " + link + ": packed from /etc/l.png, outside the folder\n";

  EXPECT_EQ(0, Run({"check", "ocean"}));
  EXPECT_EQ(heldNote + linkNote + "nvtheme: ocean: 0 errors, 2 warnings\n", err.str());
  EXPECT_EQ(0, Run({"check", "-Wno-unreadable-file", "-Wno-outside-link", "ocean"}));
  EXPECT_EQ("nvtheme: ocean: 0 errors, 0 warnings\n", err.str());
  EXPECT_EQ(0, Run({"build", "-Wno-outside-link", "ocean"}));
  EXPECT_EQ(0u, err.str().find(heldNote + "nvtheme: ocean.nvp: 5 files, ")) << err.str();

  fs.AddFile("ocean.nvp", "last good");
  EXPECT_EQ(1, Run({"build", "-Werror", "-Wno-outside-link", "ocean"}));
  EXPECT_EQ(heldNote +
                "nvtheme: ocean: 0 errors, 1 warning; not packed, as -Werror makes them "
                "errors\n",
            err.str());
  EXPECT_EQ("last good", fs.Contents("ocean.nvp"));
  EXPECT_EQ(0, Run({"build", "-Werror", "-Wno-outside-link", "-Wno-unreadable-file", "ocean"}));

  // A disk that fails a write: its reason stays, whatever -W says.
  fs.faultText = "write: No space left on device";
  fs.before = [](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::Write;
  };
  EXPECT_EQ(1, Run({"build", "-Wno-unreadable-file", "-Wno-outside-link", "ocean"}));
  EXPECT_NE(std::string::npos, err.str().find(": write: No space left on device\n"));
}

// A note is a warning by the name it carries, whatever its words: one
// without a name is always kept and counts as no warning, and one with a
// name is kept only while that warning is on.
TEST(ReportCollectorTest, ANoteIsAWarningByTheNameItCarries) {
  const struct {
    const char* text;
    const char* warning;
    bool kept;
  } cases[] = {
      {"left out: held by another program", "", true},
      {"left out: held by another program", "unreadable-file", true},
      {"cannot list the folder: Input/output error", "outside-link", false},
      {"packed from /etc/l.png, outside the folder", "unlistable-folder", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.warning);
    ReportCollector collector({"unreadable-file", "unlistable-folder"});
    FolderReport report;
    collector.CollectInto(&report);
    collector.Note("ocean", c.text, c.warning);
    ASSERT_EQ(c.kept ? 1u : 0u, report.notes.size());
    if (!c.kept) continue;
    EXPECT_EQ(c.warning, report.notes[0].name);
    EXPECT_EQ(*c.warning ? 1u : 0u, report.Warnings());
  }
}

TEST(FormatSizeTest, OneDecimalInUnitsOfAThousand) {
  const std::pair<uint64_t, const char*> sizes[] = {
      {0, "0 bytes"},        {1, "1 byte"},          {999, "999 bytes"},   {1000, "1.0 kB"},
      {6549, "6.5 kB"},      {6550, "6.6 kB"},       {999949, "999.9 kB"}, {999950, "1.0 MB"},
      {79980000, "80.0 MB"}, {4294967296, "4.3 GB"},
  };
  for (const auto& size : sizes) EXPECT_EQ(size.second, FormatSize(size.first)) << size.first;
}

// check --format=json: one document on standard output, read back by
// field: each folder with its themes and verdicts, every diagnostic whole,
// and the notes; names whose bytes are no UTF-8 still give valid JSON.
TEST_F(NvthemeTest, JsonFormatGivesEveryFolderByField) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\"/>");
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
  EXPECT_EQ(51, missing["column"].number);
  EXPECT_EQ("The file: 'Grid.xml' in attribute 'file' doesn't exist or can't be read.",
            missing["message"].string);
  ASSERT_EQ(JsonValue::Type::kArray, missing["notes"].type);
  ASSERT_EQ(1u, missing["notes"].size());
  EXPECT_EQ(0u, missing["notes"][0].string.find("the folder holds 'grid.xml'"));
  EXPECT_EQ("error", diagnostics[1]["severity"].string);
  const JsonValue& mismatch = diagnostics[2];
  EXPECT_EQ("warning", mismatch["severity"].string);
  EXPECT_EQ("case-mismatch", mismatch["name"].string);
  EXPECT_EQ(m, mismatch["file"].string);
  EXPECT_EQ(2, mismatch["line"].number);
  EXPECT_EQ(51, mismatch["column"].number);
  EXPECT_EQ("'Grid.xml' is not in the folder in that letter case", mismatch["message"].string);
  ASSERT_EQ(1u, mismatch["notes"].size());
  EXPECT_EQ(0u, mismatch["notes"][0].string.find("the folder holds 'grid.xml'"));

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

// check --format=sarif: a SARIF 2.1.0 log, read back with what the format
// requires of each object checked present: a rule for the manifest's errors
// and one for every warning, a result for each finding in its file and
// place, and a notification for a folder that is not there.
TEST_F(NvthemeTest, SarifFormatGivesALogOfResults) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\"/>");
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
    EXPECT_EQ(ids.back() == kManifestRuleId ? "error" : "warning", level) << ids.back();
    EXPECT_EQ(ids.back() != "unused-file", rule["defaultConfiguration"]["enabled"].boolean);
  }
  std::vector<std::string> expected = {kManifestRuleId};
  for (const WarningName& warning : WarningNames()) expected.push_back(warning.name);
  EXPECT_EQ(expected, ids);

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
  EXPECT_EQ(51, place["region"]["startColumn"].number);
  const JsonValue& mismatch = results[1];
  EXPECT_EQ("case-mismatch", mismatch["ruleId"].string);
  EXPECT_EQ("warning", mismatch["level"].string);
  ASSERT_EQ(1u, mismatch["relatedLocations"].size());
  EXPECT_EQ(0u, mismatch["relatedLocations"][0]["message"]["text"].string.find(
                    "the folder holds 'grid.xml'"));
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
    const std::string error = manifest + ":1:18: error: The file: '" + v.shown +
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

// nvtheme's own lines on standard error name what they are about as it is
// given, with its control bytes escaped.
TEST_F(NvthemeTest, ErrorLinesEscapeControlBytes) {
  struct ErrorLine {
    std::vector<std::string> args;
    std::string err;
  };
  const ErrorLine cases[] = {
      {{"list", "a\nb.nvp"}, "nvtheme: a\\nb.nvp: cannot read it: no such file\n"},
      {{"check", "x\ty\\z"}, "nvtheme: x\\ty\\z: no such file or folder\n"},
      {{"frob\x1B[2J"},
       "nvtheme: unknown command 'frob\\x1B[2J'\nTry 'nvtheme --help' for more information.\n"},
  };
  for (const ErrorLine& c : cases) {
    Run(c.args);
    EXPECT_EQ(c.err, err.str());
  }

  // The notes of a build run too.
  AddFolder("sea", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string held = JoinPath("sea", "a\nb.png"), link = JoinPath("sea", "l.png");
  fs.AddFile(held, "x");
  fs.Hold(held);
  fs.AddFile(link, "x");
  fs.SetLinkTarget(link, "/etc/\x1B[2J");
  EXPECT_EQ(0, Run({"build", "sea"}));
  EXPECT_EQ("nvtheme: " + JoinPath("sea", "a\\nb.png") + ": left out: held by another program\n" +
                "nvtheme: " + link + ": packed from /etc/\\x1B[2J, outside the folder\n" +
                "nvtheme: sea.nvp: 5 files, 1.9 kB\n",
            err.str());
}

// Whatever name init takes gives a manifest that checks clean; one that
// cannot stand in it is refused, shown escaped, before anything is made.
TEST_F(NvthemeTest, InitTakesOnlyNamesThatCheckClean) {
  const std::string control = "a theme's name may hold no control byte but tab, LF and CR";
  const std::string notUtf8 = "a theme's name needs to be UTF-8, of characters XML allows";
  const struct {
    std::string name;
    std::string err;  // "" when taken
  } cases[] = {
      {"Sun & <Sea> \"'", ""},
      {"Tab\tLF\nCR\r", ""},
      {"\r\n", ""},
      {"Del\x7F", ""},
      {"Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8C\x8A \xC2\x85", ""},
      {"max \xF4\x8F\xBF\xBF", ""},
      {"Ctl\x01\x02X", "'Ctl\\x01\\x02X': " + control},
      {std::string("nul\0", 4), "'nul\\x00': " + control},
      {"Esc\x1B[2J", "'Esc\\x1B[2J': " + control},
      {"bad\xFF\xFE", "'bad\\xFF\\xFE': " + notUtf8},
      {"over\xC0\xAF", "'over\\xC0\\xAF': " + notUtf8},
      {"\xE0\x80\xAF", "'\\xE0\\x80\\xAF': " + notUtf8},
      {"\xED\xA0\x80", "'\\xED\\xA0\\x80': " + notUtf8},
      {"\xF4\x90\x80\x80", "'\\xF4\\x90\\x80\\x80': " + notUtf8},
      {"cut\xE2\x82", "'cut\\xE2\\x82': " + notUtf8},
      {"\x80lone", "'\\x80lone': " + notUtf8},
      {"\xEF\xBF\xBF", "'\\xEF\\xBF\\xBF': " + notUtf8},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string folder = "t" + std::to_string(++n);
    const std::string shown = EscapeText(c.name, Backslash::kSingle);
    if (!c.err.empty()) {
      EXPECT_EQ(1, Run({"init", "--name", c.name, folder})) << shown;
      EXPECT_EQ("nvtheme: " + c.err + "\n", err.str());
      std::string why;
      EXPECT_FALSE(fs.PathExists(folder, &why)) << shown;
      continue;
    }
    ASSERT_EQ(0, Run({"init", "--name", c.name, folder})) << shown << err.str();
    EXPECT_EQ(0, Run({"check", "--format=gnu", "-W", "unused-file", folder})) << shown;
    EXPECT_EQ("", out.str()) << shown;
  }
}

// init makes the folders it needs, as mkdir -p does; one that fails
// part-way, or throws, removes what it made: the folders it created are
// gone and one it found empty is empty again, for the next init.
TEST_F(NvthemeTest, FailedInitLeavesTheFolderAsItWas) {
  using Op = MemoryFileSystem::Op;
  for (const bool throws : {false, true}) {
    for (const bool existed : {false, true}) {
      for (int failAt = 1;; ++failAt) {
        MemoryFileSystem disk;
        const std::string theme = JoinPath("themes", "mine");  // the folders init makes, if missing
        if (existed) disk.AddFolder("themes");
        if (existed) disk.AddFolder(theme);
        int calls = 0;
        disk.before = [&](Op op, const std::string&) {
          if (op != Op::CreateNew && op != Op::Write && op != Op::Close) return true;
          if (++calls != failAt) return true;
          if (throws) throw std::runtime_error("thrown");
          return false;
        };
        int status = -1;
        try {
          status = RunNvtheme({"init", theme}, disk, out, err);
        } catch (const std::runtime_error&) {
        }
        if (calls < failAt) break;  // no call was failed: each has been
        const std::string at = std::to_string(failAt) + (throws ? " thrown" : " failed");
        EXPECT_EQ(throws ? -1 : 1, status) << at;
        disk.before = nullptr;
        std::string why;
        std::vector<std::string> names;
        EXPECT_EQ(existed, disk.PathExists("themes", &why)) << at;
        if (existed) disk.ListFolder(theme, &names, &why);
        const std::vector<std::string> empty = {".", ".."};
        EXPECT_EQ(existed ? empty : std::vector<std::string>(), names) << at;
        EXPECT_EQ(0, disk.OpenFiles()) << at;
      }
    }
  }
  MemoryFileSystem disk;
  EXPECT_EQ(0, RunNvtheme({"init", JoinPath("themes", "mine")}, disk, out, err)) << err.str();
}

// A package of the given files, names taken as they are, put together from
// the format's own parts.
std::string PackageOf(const std::vector<std::pair<std::string, std::string>>& files) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  std::vector<std::string> names;
  for (const auto& file : files) names.push_back(file.first);
  PackageHeaderBytes header = ComposeHeader();
  std::string bytes(header.begin(), header.end());
  std::vector<std::string> contents = {IndexTextOf(names)};
  for (const auto& file : files) contents.push_back(file.second);
  for (size_t id = 0; id < contents.size(); ++id) {
    uint8_t* block = nullptr;
    uint32_t size = 0;
    const std::string& content = contents[id];
    zlib->Compress(reinterpret_cast<const uint8_t*>(content.data()),
                   static_cast<uint32_t>(content.size()), &block, &size);
    TaskMemPtr<uint8_t> owned(block);
    EntryRecordBytes record =
        ComposeRecord({static_cast<int32_t>(id), size, static_cast<uint32_t>(content.size())});
    bytes.append(record.begin(), record.end());
    bytes.append(reinterpret_cast<const char*>(block), size);
  }
  return bytes;
}

// Two cache clears at once, as two commands started together run them:
// the other removes a file between this one's listing and its removal.
// Both succeed, each counting only the files it removed itself.
TEST_F(NvthemeTest, CacheClearMeetingAnotherSucceeds) {
  const std::string folder = JoinPath("cache", "nvtheme");
  const std::string first = JoinPath(folder, std::string(32, 'a') + ".cache");
  const std::string second = JoinPath(folder, std::string(32, 'b') + ".cache");
  fs.AddFolder("cache");
  fs.AddFolder(folder);
  fs.AddFile(first, "cache");
  fs.AddFile(second, "cache");
  bool raced = false;
  fs.before = [&](MemoryFileSystem::Op op, const std::string& path) {
    if (op == MemoryFileSystem::Op::RemoveFile && path == first && !raced) {
      raced = true;
      std::string why;
      fs.RemoveFile(path, &why);
    }
    return true;
  };
  EXPECT_EQ(0, RunNvtheme({"cache", "clear"}, fs, out, err, nullptr, {folder, "", true}));
  EXPECT_EQ("nvtheme: " + folder + ": 1 file removed\n", err.str());
  EXPECT_TRUE(raced);
  EXPECT_FALSE(fs.HasFile(first));
  EXPECT_FALSE(fs.HasFile(second));
}

// A folder built into its package in memory, for the reading commands.
class PackageCommandTest : public NvthemeTest {
 protected:
  PackageCommandTest() {
    fs.AddFolder("ocean");
    fs.AddFile(JoinPath("ocean", "main.xml"), "<nuvarinepackage/>");
    fs.AddFile(JoinPath("ocean", "x&#x41;.png"), std::string(1000, 'x'));
    fs.AddFile(JoinPath("ocean", "empty.png"), "");
    EXPECT_EQ(0, Run({"build", "ocean"}));
  }

  // What a folder holds: a "name=bytes" line for each entry, in name order,
  // or "missing".
  std::string Holding(const std::string& folder) {
    std::vector<std::string> names;
    std::string err;
    if (fs.ListFolder(folder, &names, &err) != ListResult::kComplete) return "missing";
    std::string held;
    for (const std::string& name : names)
      if (name != "." && name != "..")
        held += name + "=" + fs.Contents(JoinPath(folder, name)) + "\n";
    return held;
  }

  // broken.nvp, whose last file fails its checksum, and out/keep.txt.
  void AddBrokenPackageAndAFolderWithAFile() {
    std::string broken = fs.Contents("ocean.nvp");
    broken[broken.size() - 1] ^= 1;
    fs.AddFile("broken.nvp", broken);
    fs.AddFolder("out");
    fs.AddFile(JoinPath("out", "keep.txt"), "kept");
  }

  // Makes each call `op` on a path that begins with `prefix` fail; none
  // fails when the prefix is empty.
  void Fail(MemoryFileSystem::Op op, const std::string& prefix) {
    fs.before = [op, prefix](MemoryFileSystem::Op called, const std::string& path) {
      return prefix.empty() || called != op || path.compare(0, prefix.size(), prefix) != 0;
    };
  }
};

TEST_F(PackageCommandTest, ListShowsEachFileOnALine) {
  EXPECT_EQ(0, Run({"list", "ocean.nvp"}));
  EXPECT_EQ("1\t0\t11\tempty.png\n2\t18\t29\tmain.xml\n3\t1000\t17\tx&#x41;.png\n", out.str());
  EXPECT_EQ("", err.str());
}

// Every faulty file is named, each on its line; a package whose header or
// index is broken has nothing more to tell.
TEST_F(PackageCommandTest, VerifyNamesEveryFaultyFile) {
  EXPECT_EQ(0, Run({"verify", "ocean.nvp"}));
  EXPECT_EQ("ocean.nvp: OK, 3 files\n", out.str());
  EXPECT_EQ("", err.str());

  // Files 1 and 3 broken, 2 sound: each block ends in its checksum, and
  // file 1's is followed by file 2's record and block of 29 bytes, and file
  // 3's record and block of 17, as list shows.
  std::string broken = fs.Contents("ocean.nvp");
  const size_t third = broken.size() - 1;
  broken[third] ^= 1;
  broken[third - 17 - kEntryRecordSize - 29 - kEntryRecordSize] ^= 1;
  fs.AddFile("broken.nvp", broken);
  EXPECT_EQ(1, Run({"verify", "broken.nvp"}));
  EXPECT_EQ("", out.str());
  EXPECT_EQ(
      "nvtheme: broken.nvp: file 1 \"empty.png\": not a valid zlib stream (incorrect data "
      "check)\n"
      "nvtheme: broken.nvp: file 3 \"x&#x41;.png\": not a valid zlib stream (incorrect data "
      "check)\n",
      err.str());

  broken[0] = 'X';
  fs.AddFile("headless.nvp", broken);
  EXPECT_EQ(1, Run({"verify", "headless.nvp"}));
  EXPECT_EQ("nvtheme: headless.nvp: not a package: it does not begin with \"NP\"\n", err.str());
  EXPECT_EQ(1, Run({"list", "none.nvp"}));
  EXPECT_EQ("nvtheme: none.nvp: cannot read it: no such file\n", err.str());
}

TEST_F(PackageCommandTest, ExtractWritesEachFileIntoTheFolder) {
  EXPECT_EQ(0, Run({"extract", "ocean.nvp", "out"}));
  EXPECT_EQ("", out.str() + err.str());
  EXPECT_EQ("<nuvarinepackage/>", fs.Contents(JoinPath("out", "main.xml")));
  EXPECT_EQ(std::string(1000, 'x'), fs.Contents(JoinPath("out", "x&#x41;.png")));
  EXPECT_TRUE(fs.HasFile(JoinPath("out", "empty.png")));
  EXPECT_EQ(0, fs.OpenFiles());
}

// Each name is checked against the folder before anything is written.
TEST_F(PackageCommandTest, ExtractRefusesAConflictWritingNothing) {
  fs.AddFolder("out");
  fs.AddFile(JoinPath("out", "keep.txt"), "kept");
  fs.AddFile(JoinPath("out", "main.xml"), "mine");
  fs.AddFolder("dirs");
  fs.AddFolder(JoinPath("dirs", "main.xml"));
  fs.AddFile("cases.nvp", PackageOf({{"a.png", "a"}, {"A.png", "b"}}));
  const bool windows = kPlatformNameRules == NameRules::kWindows;
  const struct {
    std::vector<std::string> args;
    std::string err;
  } refusals[] = {
      {{"extract", "ocean.nvp", "out"},
       "nvtheme: ocean.nvp: " + JoinPath("out", "main.xml") +
           " already exists: nothing was extracted (--force replaces it)\n"},
      {{"extract", "--force", "ocean.nvp", "dirs"},
       "nvtheme: ocean.nvp: " + JoinPath("dirs", "main.xml") +
           " is a folder: nothing was extracted (--force replaces only files)\n"},
      // Two names for one file only where letter case is not told apart.
      {{"extract", "cases.nvp", "new"},
       windows ? "nvtheme: cases.nvp: file 2 \"A.png\": the name differs from file 1's only in "
                 "letter case\n"
               : ""},
  };
  const std::string outHeld = Holding("out"), dirsHeld = Holding("dirs");
  for (const auto& c : refusals) {
    EXPECT_EQ(c.err.empty() ? 0 : 1, Run(c.args)) << c.err;
    EXPECT_EQ(c.err, err.str());
    EXPECT_EQ(outHeld, Holding("out"));
    EXPECT_EQ(dirsHeld, Holding("dirs"));
  }
  EXPECT_EQ(windows ? "missing" : "A.png=b\na.png=a\n", Holding("new"));
}

// A failure part-way removes all that the extraction made, and the folder
// too when the extraction made it; what cannot be removed is named.
TEST_F(PackageCommandTest, ExtractFailingPartWayLeavesTheFolderAsFound) {
  using Op = MemoryFileSystem::Op;
  AddBrokenPackageAndAFolderWithAFile();
  const std::string corrupt =
      "file 3 \"x&#x41;.png\": not a valid zlib stream (incorrect data check)\n";
  const struct {
    std::string package, folder;
    Op op;               // the call that fails
    std::string prefix;  // on the paths that begin so; none when empty
    std::string err;
    std::string held;  // what the folder holds afterwards
  } cases[] = {
      {"broken.nvp", "new", Op::Write, "", "nvtheme: broken.nvp: " + corrupt, "missing"},
      {"broken.nvp", "out", Op::Write, "", "nvtheme: broken.nvp: " + corrupt, "keep.txt=kept\n"},
      {"ocean.nvp", "out", Op::Write, JoinPath("out", "main.xml"),
       "nvtheme: ocean.nvp: file 2 \"main.xml\": cannot write " + JoinPath("out", "main.xml") +
           ": injected fault\n",
       "keep.txt=kept\n"},
      {"ocean.nvp", "new", Op::Close, JoinPath("new", "x&#x41;.png"),
       "nvtheme: ocean.nvp: cannot write " + JoinPath("new", "x&#x41;.png") + ": injected fault\n",
       "missing"},
      {"broken.nvp", "new", Op::RemoveFile, JoinPath("new", "empty.png"),
       "nvtheme: broken.nvp: " + corrupt + "nvtheme: " + JoinPath("new", "empty.png") +
           ": left behind: injected fault\nnvtheme: new: left behind: not empty\n",
       "empty.png=\n"},
  };
  for (const auto& c : cases) {
    Fail(c.op, c.prefix);
    EXPECT_EQ(1, Run({"extract", c.package, c.folder})) << c.err;
    fs.before = nullptr;
    EXPECT_EQ(c.err, err.str());
    EXPECT_EQ(c.held, Holding(c.folder)) << c.err;
    EXPECT_EQ(0, fs.OpenFiles());
  }
}

// With --force, files already there are replaced only once every new file
// is whole; until then they are left as they were.
TEST_F(PackageCommandTest, ForceReplacesFilesOnlyWhenAllAreWhole) {
  using Op = MemoryFileSystem::Op;
  AddBrokenPackageAndAFolderWithAFile();
  const std::string mine = "keep.txt=kept\nmain.xml=mine\n";
  const std::string x = JoinPath("out", "x&#x41;.png");
  const struct {
    std::string package;
    Op op;               // the call that fails
    std::string prefix;  // on the paths that begin so; none when empty
    std::string err;
    std::string held;  // what the folder holds afterwards
  } cases[] = {
      {"broken.nvp", Op::Write, "",
       "nvtheme: broken.nvp: file 3 \"x&#x41;.png\": not a valid zlib stream (incorrect data "
       "check)\n",
       mine},
      {"ocean.nvp", Op::Sync, JoinPath("out", ""),
       "nvtheme: ocean.nvp: cannot write " + JoinPath("out", "empty.png") + ": injected fault\n",
       mine},
      {"ocean.nvp", Op::MoveOver, JoinPath("out", "main.xml"),
       "nvtheme: ocean.nvp: cannot replace " + JoinPath("out", "main.xml") + ": injected fault\n",
       mine},
      // Files move in index order: main.xml, moved before, stays replaced.
      {"ocean.nvp", Op::MoveOver, x,
       "nvtheme: ocean.nvp: cannot create " + x +
           ": injected fault (1 file before it was replaced already)\n",
       "keep.txt=kept\nmain.xml=<nuvarinepackage/>\n"},
      {"ocean.nvp", Op::MoveOver, "", "",
       "empty.png=\nkeep.txt=kept\nmain.xml=<nuvarinepackage/>\nx&#x41;.png=" +
           std::string(1000, 'x') + "\n"},
  };
  for (const auto& c : cases) {
    fs.AddFile(JoinPath("out", "main.xml"), "mine");
    Fail(c.op, c.prefix);
    EXPECT_EQ(c.err.empty() ? 0 : 1, Run({"extract", "--force", c.package, "out"})) << c.err;
    fs.before = nullptr;
    EXPECT_EQ(c.err, err.str());
    EXPECT_EQ(c.held, Holding("out")) << c.err;
    EXPECT_EQ(0, fs.OpenFiles());
  }
}

// Memory may run out on a package too large for the machine; the command
// says so and fails, and leaves no file cut short.
TEST_F(PackageCommandTest, RunningOutOfMemoryIsReportedAsAFault) {
  using Op = MemoryFileSystem::Op;
  struct OutOfMemory {
    std::vector<std::string> args;
    Op op;
    std::string path;
  };
  const std::string extracted = JoinPath("out", "main.xml");
  const OutOfMemory cases[] = {
      {{"list", "ocean.nvp"}, Op::Read, "ocean.nvp"},
      {{"verify", "ocean.nvp"}, Op::Read, "ocean.nvp"},
      {{"extract", "ocean.nvp", "out"}, Op::Write, extracted},
  };
  for (const OutOfMemory& c : cases) {
    fs.before = [&c](Op op, const std::string& path) {
      if (op == c.op && path == c.path) throw std::bad_alloc();
      return true;
    };
    EXPECT_EQ(1, Run(c.args)) << c.args[0];
    EXPECT_EQ("nvtheme: ocean.nvp: out of memory\n", err.str()) << c.args[0];
    EXPECT_EQ("", out.str()) << c.args[0];
    EXPECT_EQ(0, fs.OpenFiles()) << c.args[0];
  }
  EXPECT_FALSE(fs.HasFile(extracted));
}

// A stream that refuses every write, as a full disk does.
class FullDevice : public std::streambuf {
 protected:
  int_type overflow(int_type) override {
    errno = ENOSPC;
    return traits_type::eof();
  }
  std::streamsize xsputn(const char*, std::streamsize) override {
    errno = ENOSPC;
    return 0;
  }
};

// Output that is lost fails the command, which says why on standard error,
// or fails silently when that is what is lost.
TEST_F(PackageCommandTest, LostOutputFailsTheCommand) {
  struct LostOutput {
    std::vector<std::string> args;
    bool outLost;              // else standard error is
    std::string summary = "";  // what standard error says of a folder before
  };
  const LostOutput cases[] = {
      {{"list", "ocean.nvp"}, true},
      {{"verify", "ocean.nvp"}, true},
      {{"build", "ocean"}, true, "nvtheme: ocean.nvp: 3 files, 1.5 kB\n"},
      {{"check", "ocean"}, true, "nvtheme: ocean: 0 errors, 0 warnings\n"},
      {{"--version"}, true},
      {{"list", "none.nvp"}, false},
      {{"build", "nowhere"}, false},
  };
  FullDevice full;
  std::ostream lost(&full);
  for (const LostOutput& c : cases) {
    std::ostringstream kept;
    std::ostream& o = c.outLost ? lost : static_cast<std::ostream&>(kept);
    std::ostream& e = c.outLost ? static_cast<std::ostream&>(kept) : lost;
    lost.clear();
    EXPECT_EQ(1, RunNvtheme(c.args, fs, o, e)) << c.args[0];
    const std::string said =
        c.outLost ? "nvtheme: write error: " + std::string(std::strerror(ENOSPC)) + "\n" : "";
    EXPECT_EQ(c.summary + said, kept.str()) << c.args[0];
  }
  // Standard error that is never written to fails nothing.
  EXPECT_EQ(0, RunNvtheme({"list", "ocean.nvp"}, fs, out, lost));
}

TEST_F(PackageCommandTest, HostilePackageWritesNothing) {
  const std::string up = std::string("..") + kPathSeparator + "evil.png";
  const std::vector<std::vector<std::pair<std::string, std::string>>> packages = {
      {{"a.png", "a"}, {up, "evil"}},
      {{"a.png", "a"}, {"a.png", "b"}},
      {{"a.png", "a"}, {"..", "b"}},
  };
  for (const auto& files : packages) {
    fs.AddFile("hostile.nvp", PackageOf(files));
    EXPECT_EQ(1, Run({"extract", "hostile.nvp", "out"})) << files[1].first;
    EXPECT_EQ(1, Run({"verify", "hostile.nvp"}));
    EXPECT_EQ(1, Run({"list", "hostile.nvp"}));
    EXPECT_EQ(0u, err.str().find("nvtheme: hostile.nvp: file 2 "));
    std::string absent;
    EXPECT_FALSE(fs.PathExists("out", &absent));
    EXPECT_FALSE(fs.PathExists("evil.png", &absent));
  }
  fs.AddFile("sound.nvp", PackageOf({{"a.png", "a"}, {"b.png", ""}}));
  EXPECT_EQ(0, Run({"verify", "sound.nvp"}));
}

TEST_F(PackageCommandTest, ExtractNeedsAFolderItCanMake) {
  fs.before = [](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::CreateFolder;
  };
  EXPECT_EQ(1, Run({"extract", "ocean.nvp", "out"}));
  EXPECT_EQ("nvtheme: ocean.nvp: cannot create the folder out: injected fault\n", err.str());
}

// The example theme on the real disk: built, verified, unpacked and compared
// with its folder. Listing orders differ between systems; nothing here
// depends on one.
class RoundTripTest : public testing::Test {
 protected:
  RoundTripTest() { fsys::copy(fsys::path(NV_EXAMPLES_DIR) / "ocean", work / "ocean"); }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunNvtheme(args, RealFileSystem(), out, err, nullptr, cache);
  }

  // Each file of a folder by name, with its bytes.
  static std::map<std::string, std::string> Files(const fsys::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fsys::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
  }

  TempFolder temp;
  const fsys::path work = temp.Path();
  const std::string folder = (work / "ocean").string();
  CacheSettings cache;  // none
  std::ostringstream out;
  std::ostringstream err;
};

// Builds keep what the next one needs in the build cache, unless
// --no-cache or the environment (NVTHEME_CACHE=off) says not to; cache
// clear empties it, and says how many files it removed.
TEST_F(RoundTripTest, BuildsKeepTheCacheAsToldAndClearEmptiesIt) {
  const std::string kept = (work / "cache" / "nvtheme").string();
  auto files = [&] { return fsys::exists(kept) ? Files(kept).size() : 0; };
  const struct {
    std::vector<std::string> args;
    bool on;
    size_t files;
  } builds[] = {
      {{"build", folder}, true, 1},
      {{"build", "--no-cache", folder}, true, 0},
      {{"build", folder}, false, 0},
      {{"build", folder}, true, 1},
  };
  for (const auto& b : builds) {
    if (fsys::exists(kept)) fsys::remove_all(kept);
    cache = CacheSettings{kept, "", b.on};
    EXPECT_EQ(0, Run(b.args));
    EXPECT_EQ(b.files, files()) << b.args[1] << (b.on ? "" : ", NVTHEME_CACHE=off");
  }
  cache.on = false;  // whether builds use it or not
  EXPECT_EQ(0, Run({"cache", "clear"}));
  EXPECT_EQ("nvtheme: " + kept + ": 1 file removed\n", err.str());
  EXPECT_EQ(0u, files());
  cache = CacheSettings{"", "HOME names no folder", false};
  EXPECT_EQ(1, Run({"cache", "clear"}));
  EXPECT_EQ("nvtheme: no build cache: HOME names no folder\n", err.str());
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

// A theme that init makes passes the check with nothing to say, packs, and
// is made only where nothing would be overwritten.
TEST_F(RoundTripTest, InitMakesAThemeThatChecksCleanAndPacks) {
  const std::string made = (work / "new").string();
  EXPECT_EQ(0, Run({"init", "--name", "Sun & Sea", made}));
  EXPECT_NE(std::string::npos, err.str().find("nvtheme check " + made));
  std::ifstream manifest(JoinPath(made, "main.xml"));
  const std::string text{std::istreambuf_iterator<char>(manifest), {}};
  EXPECT_NE(std::string::npos, text.find("name=\"Sun &amp; Sea\""));
  EXPECT_EQ(0, Run({"check", "--format=gnu", "-W", "unused-file", made}));
  EXPECT_EQ("", out.str());
  EXPECT_EQ(0, Run({"build", made}));

  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } refused[] = {
      {{"init", made},
       1,
       "nvtheme: " + made + ": it is not empty: init writes only into a new or empty folder\n"},
      {{"init", "--name", "X", (work / "other").string()},
       1,
       "nvtheme: 'X': a theme's name needs 2 bytes at least\n"},
      {{"build", "--name", "Day", made},
       2,
       "nvtheme: '--name' goes with 'init' only\nTry 'nvtheme --help' for more "
       "information.\n"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(c.status, Run(c.args)) << c.args[1];
    EXPECT_EQ(c.err, err.str());
  }
  EXPECT_EQ(
      text,
      std::string(std::istreambuf_iterator<char>(std::ifstream(JoinPath(made, "main.xml")).rdbuf()),
                  {}));
  EXPECT_FALSE(fsys::exists(work / "other"));
}

TEST_F(RoundTripTest, OceanComesBackByteForByte) {
  ASSERT_EQ(0, Run({"build", folder})) << out.str() << err.str();
  EXPECT_NE(std::string::npos, out.str().find(folder + ".nvp successfully created.\r\n"));
  EXPECT_EQ(0, Run({"verify", folder + ".nvp"})) << err.str();
  EXPECT_EQ(folder + ".nvp: OK, 10 files\n", out.str());
  ASSERT_EQ(0, Run({"extract", folder + ".nvp", (work / "out").string()})) << err.str();
  EXPECT_EQ(Files(work / "ocean"), Files(work / "out"));
  EXPECT_EQ(1, Run({"extract", folder + ".nvp", (work / "out").string()}));
  EXPECT_EQ(Files(work / "ocean"), Files(work / "out"));

  // --force puts back a file changed since, and leaves no temporary file.
  std::ofstream(work / "out" / "main.xml", std::ios::binary) << "changed";
  ASSERT_EQ(0, Run({"extract", "--force", folder + ".nvp", (work / "out").string()})) << err.str();
  EXPECT_EQ(Files(work / "ocean"), Files(work / "out"));

  // Where the system ignores letter case, a name there in other letters is
  // the same name.
  fsys::create_directory(work / "cased");
  std::ofstream(work / "cased" / "MAIN.XML") << "mine";
  const bool windows = kPlatformNameRules == NameRules::kWindows;
  EXPECT_EQ(windows ? 1 : 0, Run({"extract", folder + ".nvp", (work / "cased").string()}));
  EXPECT_EQ(windows ? 1u : 11u, Files(work / "cased").size());
}

// A package written into its own folder (-o) is never packed into itself,
// nor warned of as a file that would be; a folder spelt with "." gets its
// package beside it, named after it, while the log shows the folder as
// typed; -q keeps the log off standard output.
TEST_F(RoundTripTest, PackageGoesWhereTheAuthorSaysAndNeverIntoItself) {
  const std::string inside = JoinPath(folder, "own.nvp");
  for (int build = 0; build < 2; ++build) {
    ASSERT_EQ(0, Run({"build", "-Werror", "-o", inside, folder})) << err.str();
    EXPECT_NE(std::string::npos, out.str().find("\r\n10, "));
    EXPECT_EQ(std::string::npos, out.str().find("\r\n11, "));
    EXPECT_NE(std::string::npos, out.str().find(inside + " successfully created.\r\n"));
  }
  for (const auto& entry : fsys::directory_iterator(work / "ocean"))
    EXPECT_FALSE(IsTemporaryPackagePath(inside, entry.path().string())) << entry.path();
  fsys::remove(inside);

  const std::string dotted = JoinPath(folder, ".");
  ASSERT_EQ(0, Run({"build", dotted}));
  EXPECT_NE(std::string::npos, out.str().find("Processing " + dotted + " ...\r\n"));
  EXPECT_NE(std::string::npos, out.str().find(folder + ".nvp successfully created.\r\n"));
  EXPECT_EQ("nvtheme: " + folder + ".nvp: 10 files, " +
                FormatSize(fsys::file_size(folder + ".nvp")) + "\n",
            err.str());

  ASSERT_EQ(0, Run({"build", "-q", folder + kPathSeparator}));
  EXPECT_EQ("", out.str());
  EXPECT_NE(std::string::npos, err.str().find(folder + ".nvp: 10 files"));
}

class RecordingProgress : public BuildProgress {
 public:
  void PackingStarted(size_t files, uint64_t bytes) override {
    events.push_back("start " + std::to_string(files) + " " + std::to_string(bytes));
  }
  void FilePacked(uint64_t bytes) override { events.push_back("file " + std::to_string(bytes)); }
  void PackingEnded() override { events.push_back("end"); }
  std::vector<std::string> events;
};

TEST_F(NvthemeTest, BuildShowsProgressBesideAnUnchangedLog) {
  fs.AddFolder("ocean");
  fs.AddFile(JoinPath("ocean", "main.xml"), "<nuvarinepackage/>");
  fs.AddFile(JoinPath("ocean", "a.png"), std::string(300, 'a'));
  EXPECT_EQ(0, Run({"build", "-j", "2", "ocean"}));
  const std::string withoutProgress = out.str();
  RecordingProgress progress;
  out.str("");
  EXPECT_EQ(0, RunNvtheme({"build", "ocean"}, fs, out, err, &progress));
  EXPECT_EQ(withoutProgress, out.str());
  EXPECT_EQ((std::vector<std::string>{"start 2 318", "file 300", "file 18", "end"}),
            progress.events);
}

}  // namespace
}  // namespace nv
