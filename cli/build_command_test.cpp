// nvtheme build: the log, notes and summary, -o, -Werror, the build cache
// and progress.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "builder/theme_builder.h"
#include "cli/cache_settings.h"
#include "cli/folder_report.h"
#include "package/package_writer.h"
#include "services/component.h"
#include "testing/build_runs_on_disk.h"
#include "testing/command_fixture.h"
#include "testing/memory_file_system.h"
#include "testing/sound_theme.h"
#include "testing/sample_images.h"

namespace nv {
namespace {

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

// What the log leaves unsaid reaches standard error: files left out of the
// package and why, files packed from outside the folder through a link.
TEST_F(NvthemeTest, NotesNameFilesLeftOutAndLinksThatLeadOutside) {
  AddFolder("ocean", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string held = JoinPath("ocean", "held.png"), link = JoinPath("ocean", "secret.png");
  AddHeldFileAndOutsideLink(held, link, "/etc/secret");
  const std::string heldNote = "nvtheme: " + held + ": left out: held by another program\n";

  EXPECT_EQ(0, Run({"build", "ocean"}));
  EXPECT_EQ(heldNote + "nvtheme: " + link + ": packed from /etc/secret, outside the folder\n" +
                "nvtheme: ocean.nvp: 5 files, 2.1 kB\n",
            err.str());
  EXPECT_NE(std::string::npos, out.str().find(", secret.png\r\n"));

  EXPECT_EQ(0, Run({"build", "--no-outside-links", "ocean"}));
  EXPECT_EQ(heldNote + "nvtheme: " + link +
                ": left out: a link to /etc/secret, outside the folder\n" +
                "nvtheme: ocean.nvp: 4 files, 2.0 kB\n",
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
             ".nvp: 4 files, 2.0 kB\n";
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

// -Werror fails a run that gives any warning: a build stops after the checks
// as a check does, packs nothing and keeps the last good package, and its
// summary says why. Without it, the same folder builds.
TEST_F(NvthemeTest, WarningsAsErrorsStopTheBuildBeforePacking) {
  const std::string sub = std::string("img") + kPathSeparator + "sand.png";
  std::string theme = kSoundTheme;
  Replace(&theme, "name=\"Day\"", "name=\"Day & Night\"");  // a strict parser's fault
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"Grid.xml\" mdoe=\"x\"/>");
  Replace(&theme, "background=\"sand.png\"", "background=\"" + sub + "\"");
  AddFolder("ocean", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  fs.AddFolder(JoinPath("ocean", "img"));
  fs.AddFile(JoinPath("ocean", sub), SamplePng(4, 4));
  fs.AddFile("ocean.nvp", "last good");

  EXPECT_EQ(1, Run({"check", "ocean"}));  // its one error
  const std::string checkLog = out.str();
  // Each says which switch made it an error; unpacked-reference is one by default.
  const std::string names[] = {"error: main.xml is not well-formed XML",
                               "[-Werror,-Wmalformed-xml]", "[-Werror,-Wunknown-attribute]",
                               "are [-Wunpacked-reference]"};
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"build", "-Werror", "ocean"},
        std::vector<std::string>{"build", "--warnings-as-errors", "ocean"}}) {
    EXPECT_EQ(1, Run(args));
    EXPECT_EQ(checkLog, out.str());
    EXPECT_EQ("last good", fs.Contents("ocean.nvp"));
    for (const std::string& name : names)
      EXPECT_NE(std::string::npos, err.str().find(name)) << name;
    const std::string summary =
        "nvtheme: ocean: 2 errors, 2 warnings; not packed, as -Werror makes them errors\n";
    ASSERT_GE(err.str().size(), summary.size());
    EXPECT_EQ(summary, err.str().substr(err.str().size() - summary.size()));
  }
  std::vector<std::string> beside;
  std::string listError;
  fs.ListFolder(".", &beside, &listError);
  for (const std::string& name : beside) EXPECT_FALSE(IsTemporaryPackagePath("ocean.nvp", name));

  EXPECT_EQ(1, Run({"check", "-Werror", "ocean"}));
  EXPECT_EQ(checkLog, out.str());
  EXPECT_NE(std::string::npos, err.str().find("2 warnings; -Werror makes them errors\n"));
  // Turned off, a warning fails nothing; the error still fails the check.
  EXPECT_EQ(1, Run({"check", "-Werror", "-Wno-malformed-xml", "-Wno-unknown-attribute",
                    "-Wno-unpacked-reference", "ocean"}));
  EXPECT_EQ("nvtheme: ocean: 1 error, 0 warnings\n",
            err.str().substr(err.str().rfind("nvtheme: ")));
  EXPECT_EQ(1, Run({"build", "ocean"}));
  const std::string made = "nvtheme: ocean.nvp: 4 files, " +
                           FormatSize(fs.Contents("ocean.nvp").size()) + ", made with 2 errors\n";
  EXPECT_EQ(made, err.str().substr(err.str().size() - made.size()));
  EXPECT_NE("last good", fs.Contents("ocean.nvp"));
}

// An error printed fails the command, though the rules keep the theme valid
// (a second layout missing): a check exits 1, and a build makes the package
// the log names, then exits 1 and says so; -Werror packs nothing.
TEST_F(NvthemeTest, AnErrorPrintedFailsTheCommandThoughThePackageIsMade) {
  std::string theme = kSoundTheme;
  Replace(&theme, "file=\"grid.xml\"/>",
          "file=\"grid.xml\"/><detail mode=\"list\" file=\"gone.xml\"/>");
  AddFolder("ocean", "<nuvarinepackage>" + theme + "</nuvarinepackage>");
  EXPECT_EQ(1, Run({"check", "ocean"}));
  EXPECT_NE(std::string::npos, out.str().find("Theme is valid."));
  const std::string checked = "nvtheme: ocean: 1 error, 0 warnings\n";
  EXPECT_EQ(checked, err.str().substr(err.str().size() - checked.size()));
  EXPECT_EQ(1, Run({"check", "--format=json", "ocean"}));
  EXPECT_NE(std::string::npos, out.str().find("\"passed\": false"));

  EXPECT_EQ(1, Run({"build", "ocean"}));
  EXPECT_NE(std::string::npos, out.str().find("ocean.nvp successfully created.\r\n"));
  const std::string made = "nvtheme: ocean.nvp: 4 files, " +
                           FormatSize(fs.Contents("ocean.nvp").size()) + ", made with 1 error\n";
  EXPECT_EQ(made, err.str().substr(err.str().size() - made.size()));

  fs.AddFile("ocean.nvp", "last good");
  EXPECT_EQ(1, Run({"build", "-Werror", "ocean"}));
  EXPECT_EQ("last good", fs.Contents("ocean.nvp"));
  const std::string stopped =
      "nvtheme: ocean: 1 error, 0 warnings; not packed, as -Werror stops on any error\n";
  EXPECT_EQ(stopped, err.str().substr(err.str().size() - stopped.size()));
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
  AddHeldFileAndOutsideLink(held, link, "/etc/l.png");
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

// Builds keep what the next one needs in the build cache, and builds and
// checks their images' verdicts, unless --no-cache or the environment
// (NVTHEME_CACHE=off) says not to; cache clear empties it, and says how
// many files it removed.
TEST_F(RoundTripTest, BuildsKeepTheCacheAsToldAndClearEmptiesIt) {
  const std::string kept = (work / "cache" / "nvtheme").string();
  auto files = [&] { return fsys::exists(kept) ? Files(kept).size() : 0; };
  const struct {
    std::vector<std::string> args;
    bool on;
    size_t files;
  } builds[] = {
      {{"build", folder}, true, 2},
      {{"build", "--no-cache", folder}, true, 0},
      {{"build", folder}, false, 0},
      // A check keeps the verdicts of its images alone.
      {{"check", folder}, true, 1},
      {{"check", folder}, false, 0},
      {{"build", folder}, true, 2},
  };
  for (const auto& b : builds) {
    if (fsys::exists(kept)) fsys::remove_all(kept);
    cache = CacheSettings{kept, "", b.on};
    EXPECT_EQ(0, Run(b.args));
    EXPECT_EQ(b.files, files()) << b.args[1] << (b.on ? "" : ", NVTHEME_CACHE=off");
  }
  EXPECT_EQ(0, Run({"check", folder}));
  cache.on = false;  // whether builds use it or not
  EXPECT_EQ(0, Run({"cache", "clear"}));
  EXPECT_EQ("nvtheme: " + kept + ": 2 files removed\n", err.str());
  EXPECT_EQ(0u, files());
  cache = CacheSettings{"", "HOME names no folder", false};
  EXPECT_EQ(1, Run({"cache", "clear"}));
  EXPECT_EQ("nvtheme: no build cache: HOME names no folder\n", err.str());
}

// A rebuild copies the unchanged files' blocks from the last package, and
// a rebuild with nothing changed keeps it: either way the package is the
// one a build without the cache makes.
TEST_F(RoundTripTest, RebuildsMakeThePackageABuildWithoutTheCacheMakes) {
  cache = CacheSettings{(work / "cache").string(), "", true};
  const std::string package = folder + ".nvp", plain = (work / "plain.nvp").string();
  ASSERT_EQ(0, Run({"build", folder})) << err.str();
  for (const char* change : {"<!-- changed -->\n", "<!-- again -->\n", ""}) {
    std::ofstream(JoinPath(folder, "main.xml"), std::ios::app) << change;
    ASSERT_EQ(0, Run({"build", folder})) << err.str();
    const std::string log = out.str();
    ASSERT_EQ(0, Run({"build", "--no-cache", "-o", plain, folder})) << err.str();
    EXPECT_TRUE(on_disk::ReadFile(plain) == on_disk::ReadFile(package)) << change;
    std::string expected = out.str();
    Replace(&expected, plain, package);
    EXPECT_EQ(expected, log) << change;
  }
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
