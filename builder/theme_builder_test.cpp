#include "builder/theme_builder.h"

#include <gtest/gtest.h>

#include <new>

#include "manifest/manifest.h"
#include "testing/memory_file_system.h"
#include "testing/recording_publisher.h"
#include "testing/sound_theme.h"

namespace nv {
namespace {

// Each report as a line: manifest, line, column and message.
class RecordingDiagnostics : public ManifestDiagnostics {
 public:
  void Report(const Diagnostic& d) override {
    reports.push_back(d.file + ":" + std::to_string(d.at.line) + ":" + std::to_string(d.at.column) +
                      ": " + d.message);
  }
  std::vector<std::string> reports;
};

class ThemeBuilderTest : public testing::Test {
 protected:
  ThemeBuilderTest() : builder(fs, publisher, nullptr) {
    fs.AddFolder("themes");
    fs.AddFolder(folder);
  }

  std::string Manifest() const { return JoinPath(folder, "main.xml"); }
  void AddThemeFiles() {
    for (const char* name : {"shot.png", "grid.xml", "sand.png"})
      fs.AddFile(JoinPath(folder, name), "x");
  }
  std::string Head(const std::string& f) const {
    return "\r\nProcessing " + f + " ...\r\nProcessing " + JoinPath(f, "main.xml") + " ... ";
  }
  // What the writer adds for a folder holding main.xml alone, when there is
  // no compression service.
  static std::string PackingWithoutService() {
    return "\r\nPacking files ...\r\n1, main.xml\r\nError: Compression service unavailable.\r\n";
  }

  const std::string folder = JoinPath("themes", "ocean");
  const std::string kNoThemes = "Checking themes ... 0 variations.\r\n";
  MemoryFileSystem fs;
  RecordingPublisher publisher;
  ThemeBuilder builder;
};

TEST_F(ThemeBuilderTest, LoadedManifestWritesHeadLines) {
  fs.AddFile(Manifest(), "<?xml version=\"1.0\"?>\r\n<nuvarinepackage>\r\n</nuvarinepackage>\r\n");
  RunFlags flags = builder.BuildFolder(folder);
  EXPECT_TRUE(flags.manifestLoaded);
  const std::string head = Head(folder);
  ASSERT_EQ("RPPPPPPP", publisher.Kinds());
  EXPECT_EQ("\r\nProcessing " + folder + " ...\r\n", publisher.events[0].second);
  EXPECT_EQ(head, publisher.events[1].second);
  EXPECT_EQ(head + "succeeded.\r\n", publisher.events[2].second);
  EXPECT_EQ(head + "succeeded.\r\n\r\n" + kNoThemes + PackingWithoutService(), builder.Log());
  EXPECT_FALSE(flags.Succeeded());
}

TEST_F(ThemeBuilderTest, FailedRootCheckEndsTheRun) {
  fs.AddFile(Manifest(), "<NuvarinePackage/>");
  RunFlags flags = builder.BuildFolder(folder);
  EXPECT_FALSE(flags.manifestLoaded);
  EXPECT_FALSE(flags.Succeeded());
  ASSERT_EQ("RPPP", publisher.Kinds());
  EXPECT_EQ(Head(folder) + "failed\r\n", publisher.events[2].second);
  EXPECT_EQ(Head(folder) + "failed\r\n\r\n", builder.Log());
}

TEST_F(ThemeBuilderTest, MissingManifestFailsRootCheck) {
  builder.BuildFolder(folder);
  EXPECT_EQ(Head(folder) + "failed\r\n\r\n", builder.Log());
}

TEST_F(ThemeBuilderTest, FileInsteadOfFolderFailsRootCheck) {
  const std::string file = JoinPath("themes", "notes.txt");
  fs.AddFile(file, "<nuvarinepackage/>");
  builder.BuildFolder(file);
  EXPECT_EQ(Head(file) + "failed\r\n\r\n", builder.Log());
}

TEST_F(ThemeBuilderTest, RunsAppendToOneLog) {
  fs.AddFile(Manifest(), "<nuvarinepackage/>");
  builder.BuildFolder(folder);
  builder.BuildFolder(folder);
  const std::string run = Head(folder) + "succeeded.\r\n\r\n" + kNoThemes + PackingWithoutService();
  EXPECT_EQ(run + run, builder.Log());
}

TEST_F(ThemeBuilderTest, CatchAllEndsRunWithoutLineEnd) {
  fs.AddFile(Manifest(), "<nuvarinepackage/>");
  fs.before = [](MemoryFileSystem::Op op, const std::string&) -> bool {
    if (op == MemoryFileSystem::Op::OpenForReading) throw std::bad_alloc();
    return true;
  };
  RunFlags flags = builder.BuildFolder(folder);
  EXPECT_FALSE(flags.Succeeded());
  const std::string failed = Head(folder) + kFatalErrorText;
  EXPECT_EQ(failed, builder.Log());
  EXPECT_EQ('P', publisher.events.back().first);
  EXPECT_EQ(failed, publisher.events.back().second);

  fs.before = nullptr;
  builder.BuildFolder(folder);
  EXPECT_EQ(failed + Head(folder) + "succeeded.\r\n\r\n" + kNoThemes + PackingWithoutService(),
            builder.Log());
}

TEST_F(ThemeBuilderTest, TooDeepManifestIsNotParsed) {
  std::string deep = "<nuvarinepackage>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  fs.AddFile(Manifest(), deep);
  const std::string other = JoinPath("themes", "other");
  fs.AddFolder(other);
  fs.AddFile(JoinPath(other, "main.xml"), "<nuvarinepackage/>");

  builder.BuildFolder(folder);
  builder.BuildFolder(other);
  const std::string failed =
      Head(folder) + "failed\r\n" + "Error: main.xml nests elements more than 256 levels deep.\r\n";
  EXPECT_EQ(
      failed + "\r\n" + Head(other) + "succeeded.\r\n\r\n" + kNoThemes + PackingWithoutService(),
      builder.Log());
  // The depth line is shown with "failed", not a publication later.
  EXPECT_EQ(failed, publisher.events[2].second);
}

TEST_F(ThemeBuilderTest, ManifestWithTooManyAttributesIsNotParsed) {
  // The parser would check each attribute against all before it: a manifest
  // of a few megabytes would take hours.
  std::string wide = "<nuvarinepackage>\n  <theme";
  for (int i = 0; i < 100000; ++i) wide += " a" + std::to_string(i) + "=\"\"";
  fs.AddFile(Manifest(), wide + "/>\n</nuvarinepackage>\n");
  RecordingDiagnostics diagnostics;
  ThemeBuilder checker(fs, publisher, nullptr, BuildOptions{true, &diagnostics});
  EXPECT_FALSE(checker.BuildFolder(folder).manifestLoaded);
  EXPECT_EQ(Head(folder) + "failed\r\n" +
                "Error: main.xml gives an element more than 256 attributes.\r\n\r\n",
            checker.Log());
  EXPECT_EQ(std::vector<std::string>{Manifest() +
                                     ":2:3: main.xml gives an element more than 256 attributes."},
            diagnostics.reports);
}

TEST_F(ThemeBuilderTest, ManifestLargerThanTheLimitIsRefusedUnread) {
  fs.AddFile(Manifest(), "<nuvarinepackage/>");
  fs.SetApparentSize(Manifest(), kMaxManifestBytes + 1);
  RecordingDiagnostics diagnostics;
  ThemeBuilder checker(fs, publisher, nullptr, BuildOptions{true, &diagnostics});
  EXPECT_FALSE(checker.BuildFolder(folder).manifestLoaded);
  EXPECT_EQ(Head(folder) + "failed\r\nError: main.xml is larger than 256 MiB.\r\n\r\n",
            checker.Log());
  EXPECT_EQ(std::vector<std::string>{Manifest() + ":1:1: main.xml is larger than 256 MiB."},
            diagnostics.reports);

  // At the limit itself, the manifest is read.
  fs.SetApparentSize(Manifest(), kMaxManifestBytes);
  EXPECT_TRUE(checker.BuildFolder(folder).manifestLoaded);
}

TEST_F(ThemeBuilderTest, DepthLimitBoundary) {
  auto nested = [](int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += i == 0 ? "<nuvarinepackage>" : "<a>";
    return text;
  };
  fs.AddFile(Manifest(), nested(256));
  EXPECT_TRUE(builder.BuildFolder(folder).manifestLoaded);
  fs.AddFile(Manifest(), nested(257));
  EXPECT_FALSE(builder.BuildFolder(folder).manifestLoaded);
}

TEST_F(ThemeBuilderTest, ValidationFollowsALoadedManifest) {
  AddThemeFiles();
  fs.AddFile(Manifest(), "<nuvarinepackage>\n" + kSoundTheme + "</nuvarinepackage>\n");
  RunFlags flags = builder.BuildFolder(folder);
  EXPECT_TRUE(flags.Valid());
  const std::string validated = Head(folder) +
                                "succeeded.\r\n\r\nChecking themes ... 1 variations.\r\n" +
                                "Validating #1... \r\nTheme is valid.\r\n\r\nPacking files ...\r\n";
  EXPECT_EQ(validated, builder.Log().substr(0, validated.size()));
  EXPECT_EQ(builder.Log(), publisher.events.back().second);
}

TEST_F(ThemeBuilderTest, InvalidThemeEndsTheRunWithItsLines) {
  AddThemeFiles();
  fs.AddFile(Manifest(), "<nuvarinepackage>" + kSoundTheme +
                             "<theme name=\"N\" screenshot=\"shot.png\"/>"
                             "</nuvarinepackage>");
  RunFlags flags = builder.BuildFolder(folder);
  EXPECT_TRUE(flags.manifestLoaded);
  EXPECT_FALSE(flags.themesValid);
  EXPECT_FALSE(flags.filesFound);
  EXPECT_FALSE(flags.packageOk);
  const std::string tail = "Validating #2... \r\nError: Attributes 'name, screenshot' invalid.\r\n";
  ASSERT_GE(builder.Log().size(), tail.size());
  EXPECT_EQ(tail, builder.Log().substr(builder.Log().size() - tail.size()));
}

class DiagnosticsTest : public ThemeBuilderTest {
 protected:
  DiagnosticsTest() : checker(fs, publisher, nullptr, BuildOptions{true, &diagnostics}) {}

  RecordingDiagnostics diagnostics;
  ThemeBuilder checker;
};

TEST_F(DiagnosticsTest, EachErrorLineIsReportedWhereItsElementStands) {
  AddThemeFiles();
  fs.AddFile(Manifest(),
             "<?xml version=\"1.0\"?>\r\n"
             "<nuvarinepackage>\r\n"
             "  <theme name=\"Day\" screenshot=\"shot.png\">\r\n"
             "    <templates><detail file=\"grid.xml\"/></templates>\r\n"
             "    <virtualshelf uwidth=\"1\" uheight=\"1\" uhspace=\"1\" uvspace=\"1\"/>\r\n"
             "  </theme>\r\n"
             "\t<theme name=\"N\" screenshot=\"shot.png\"/>\r\n"
             "</nuvarinepackage>\r\n");
  EXPECT_FALSE(checker.BuildFolder(folder).Valid());
  const std::string m = Manifest();
  EXPECT_EQ((std::vector<std::string>{
                m + ":4:16: Attributes 'mode' not found in 'detail' node.",
                m + ":5:5: Attributes 'background' not found in 'virtualshelf' node.",
                m + ":3:3: Theme is invalid.",
                m + ":7:2: Attributes 'name, screenshot' invalid.",
            }),
            diagnostics.reports);
}

TEST_F(DiagnosticsTest, CheckingWritesNothing) {
  AddThemeFiles();
  fs.AddFile(Manifest(), "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  std::vector<MemoryFileSystem::Op> writes;
  fs.before = [&](MemoryFileSystem::Op op, const std::string&) {
    using Op = MemoryFileSystem::Op;
    if (op == Op::CreateNew || op == Op::CreateForWriting || op == Op::Write ||
        op == Op::CreateFolder || op == Op::MoveOver || op == Op::RemoveFile)
      writes.push_back(op);
    return true;
  };
  RunFlags flags = checker.BuildFolder(folder);
  EXPECT_TRUE(flags.Valid());
  EXPECT_FALSE(flags.filesFound);
  EXPECT_TRUE(writes.empty());
  EXPECT_TRUE(diagnostics.reports.empty());
  const std::string end = "Theme is valid.\r\n";
  EXPECT_EQ(end, checker.Log().substr(checker.Log().size() - end.size()));
}

class PackingRunTest : public ThemeBuilderTest {
 protected:
  PackingRunTest() : packing(fs, publisher, Created(&zlib)) {
    fs.AddFile(Manifest(), "<nuvarinepackage/>");
    fs.AddFile(package, "last good");
  }

  static IZlib* Created(ServiceRef<IZlib>* zlib) {
    KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib->Put());
    return zlib->get();
  }

  // What lies beside the folder: its package alone, when no temporary file is left.
  std::vector<std::string> Beside() {
    std::vector<std::string> names;
    std::string err;
    fs.ListFolder("themes", &names, &err);
    return names;
  }

  const std::string package = folder + ".nvp";
  const std::vector<std::string> packageAlone = {".", "..", "ocean", "ocean.nvp"};
  ServiceRef<IZlib> zlib;
  ThemeBuilder packing;
};

TEST_F(PackingRunTest, WrittenPackageEndsWithTheClosingLines) {
  RunFlags flags = packing.BuildFolder(folder);
  EXPECT_TRUE(flags.Succeeded());
  const std::string closing = package + " successfully created.\r\n" +
                              "\r\nProcess completed successfully\r\n"
                              "\r\nPlease record down this operation log for future reference "
                              "(Optional).\r\n";
  const std::string& log = packing.Log();
  ASSERT_LE(closing.size(), log.size());
  EXPECT_EQ(closing, log.substr(log.size() - closing.size()));
  // The closing lines are published, and published once more as the run ends.
  EXPECT_EQ("RPPPPPPPP", publisher.Kinds());
  EXPECT_EQ(log, publisher.events[7].second);
  EXPECT_NE("last good", fs.Contents(package));
}

TEST_F(PackingRunTest, CatchAllClosesAndRemovesTheTemporaryPackage) {
  int writes = 0;
  fs.before = [&](MemoryFileSystem::Op op, const std::string&) -> bool {
    if (op == MemoryFileSystem::Op::Write && ++writes == 2) throw std::bad_alloc();
    return true;
  };
  RunFlags flags = packing.BuildFolder(folder);
  EXPECT_FALSE(flags.packageOk);
  const std::string& log = packing.Log();
  EXPECT_EQ(kFatalErrorText, log.substr(log.size() - std::string(kFatalErrorText).size()));
  EXPECT_EQ(0, fs.OpenFiles());
  EXPECT_EQ(packageAlone, Beside());
  EXPECT_EQ("last good", fs.Contents(package));
}

TEST_F(PackingRunTest, WhatAWorkerThrowsReachesTheCatchAll) {
  for (int i = 0; i < 8; ++i) fs.AddFile(JoinPath(folder, "f" + std::to_string(i)), "data");
  const std::string thrower = JoinPath(folder, "f5");
  fs.before = [&](MemoryFileSystem::Op op, const std::string& path) -> bool {
    if (op == MemoryFileSystem::Op::Read && path == thrower) throw std::bad_alloc();
    return true;
  };
  RunFlags flags = packing.BuildFolder(folder);
  EXPECT_FALSE(flags.packageOk);
  const std::string& log = packing.Log();
  // The files before it were packed and listed as on one thread; nothing follows.
  EXPECT_EQ(kFatalErrorText, log.substr(log.size() - std::string(kFatalErrorText).size()));
  EXPECT_EQ(std::string::npos, log.find("successfully created"));
  EXPECT_EQ(0, fs.OpenFiles());
  EXPECT_EQ(packageAlone, Beside());
  EXPECT_EQ("last good", fs.Contents(package));
}

// Each warning by its name and place.
class NamedDiagnostics : public ManifestDiagnostics {
 public:
  void Report(const Diagnostic& d) override {
    reports.push_back(d.name + " " + std::to_string(d.at.line) + ":" + std::to_string(d.at.column));
  }
  std::vector<std::string> reports;
};

// Warnings are an output of their own: a build that reports them writes the
// log and the package it writes without them; one whose caller stops it
// after the checks writes a check's log and keeps the last good package.
TEST_F(PackingRunTest, WarningsChangeNeitherLogNorPackage) {
  AddThemeFiles();  // one byte each: no image, no layout
  fs.AddFile(Manifest(), "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  ASSERT_TRUE(packing.BuildFolder(folder).Succeeded());
  const std::string plainPackage = fs.Contents(package);

  NamedDiagnostics diagnostics;
  std::vector<ThemeVerdict> verdicts;
  BuildOptions options;
  options.diagnostics = &diagnostics;
  options.warnings = {"not-an-image", "not-a-layout"};  // and not "unused-file"
  options.checked = [&](const std::vector<ThemeVerdict>& themes, FileSystem&) {
    verdicts = themes;
    return true;
  };
  RecordingPublisher warnedPublisher;
  ThemeBuilder warned(fs, warnedPublisher, zlib.get(), options);
  EXPECT_TRUE(warned.BuildFolder(folder).Succeeded());
  EXPECT_EQ(packing.Log(), warned.Log());
  EXPECT_EQ(plainPackage, fs.Contents(package));
  EXPECT_EQ(
      (std::vector<std::string>{"not-an-image 1:48", "not-a-layout 2:40", "not-an-image 3:29"}),
      diagnostics.reports);
  ASSERT_EQ(1u, verdicts.size());
  EXPECT_EQ("Day", verdicts[0].name);
  EXPECT_EQ((TextPosition{1, 18}), verdicts[0].at);
  EXPECT_TRUE(verdicts[0].valid);

  fs.AddFile(package, "last good");
  options.checked = [](const std::vector<ThemeVerdict>&, FileSystem&) { return false; };
  RecordingPublisher stoppedPublisher, checkPublisher;
  ThemeBuilder stopped(fs, stoppedPublisher, zlib.get(), options);
  const RunFlags flags = stopped.BuildFolder(folder);
  EXPECT_TRUE(flags.Valid());
  EXPECT_FALSE(flags.Succeeded());
  ThemeBuilder checker(fs, checkPublisher, nullptr, BuildOptions{true});
  checker.BuildFolder(folder);
  EXPECT_EQ(checker.Log(), stopped.Log());
  EXPECT_EQ("last good", fs.Contents(package));
  EXPECT_EQ(packageAlone, Beside());
}

}  // namespace
}  // namespace nv
