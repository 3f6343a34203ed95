#include "build/theme_builder.h"

#include <gtest/gtest.h>

#include <new>

#include "platform/memory_file_system.h"

namespace nv {
namespace {

// Remembers each publication: 'R' for a replacement without scrolling, 'P'
// for PublishLog, with the log as it stood.
class RecordingPublisher : public LogPublisher {
 public:
  void ReplaceText(const std::string& log) override { events.push_back({'R', log}); }
  void PublishLog(const std::string& log) override { events.push_back({'P', log}); }

  std::string Kinds() const {
    std::string kinds;
    for (const auto& e : events) kinds += e.first;
    return kinds;
  }

  std::vector<std::pair<char, std::string>> events;
};

class ThemeBuilderTest : public testing::Test {
 protected:
  ThemeBuilderTest() : builder(fs, publisher, nullptr, nullptr) {
    fs.AddFolder("themes");
    fs.AddFolder(folder);
  }

  std::string Manifest() const { return JoinPath(folder, "main.xml"); }
  std::string Head(const std::string& f) const {
    return "\r\nProcessing " + f + " ...\r\nProcessing " + JoinPath(f, "main.xml") + " ... ";
  }
  // What the writer adds for a folder holding main.xml alone, when there is
  // no compression service.
  static std::string PackingWithoutService() {
    return "\r\nPacking files ...\r\n1, main.xml\r\nError: Compression service unavailable.\r\n";
  }

  const std::string folder = JoinPath("themes", "ocean");
  MemoryFileSystem fs;
  RecordingPublisher publisher;
  ThemeBuilder builder;
};

TEST_F(ThemeBuilderTest, LoadedManifestWritesHeadLines) {
  fs.AddFile(Manifest(), "<?xml version=\"1.0\"?>\r\n<nuvarinepackage>\r\n</nuvarinepackage>\r\n");
  RunFlags flags = builder.BuildFolder(folder);
  EXPECT_TRUE(flags.manifestLoaded);
  const std::string head = Head(folder);
  ASSERT_EQ("RPPPP", publisher.Kinds());
  EXPECT_EQ("\r\nProcessing " + folder + " ...\r\n", publisher.events[0].second);
  EXPECT_EQ(head, publisher.events[1].second);
  EXPECT_EQ(head + "succeeded.\r\n", publisher.events[2].second);
  EXPECT_EQ(head + "succeeded.\r\n\r\n" + PackingWithoutService(), builder.Log());
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
  const std::string run = Head(folder) + "succeeded.\r\n\r\n" + PackingWithoutService();
  EXPECT_EQ(run + run, builder.Log());
}

TEST_F(ThemeBuilderTest, CatchAllEndsRunWithoutLineEnd) {
  fs.AddFile(Manifest(), "<nuvarinepackage/>");
  fs.before = [](MemoryFileSystem::Op op, const std::string&) -> bool {
    if (op == MemoryFileSystem::Op::Open) throw std::bad_alloc();
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
  EXPECT_EQ(failed + Head(folder) + "succeeded.\r\n\r\n" + PackingWithoutService(),
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
  const std::string failed = Head(folder) + "failed\r\n" +
                             "Error: main.xml nests elements more than 256 levels deep.\r\n";
  EXPECT_EQ(failed + "\r\n" + Head(other) + "succeeded.\r\n\r\n" + PackingWithoutService(),
            builder.Log());
  // The depth line is shown with "failed", not a publication later.
  EXPECT_EQ(failed, publisher.events[2].second);
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

class PackingRunTest : public ThemeBuilderTest {
 protected:
  PackingRunTest() : packing(fs, publisher, Created(&zlib), nullptr) {
    fs.AddFile(Manifest(), "<nuvarinepackage/>");
    fs.AddFile(package, "last good");
  }

  static IZlib* Created(ServiceRef<IZlib>* zlib) {
    KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib->Put());
    return zlib->get();
  }

  const std::string package = folder + ".nvp";
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
  EXPECT_EQ("RPPPPP", publisher.Kinds());
  EXPECT_EQ(log, publisher.events[4].second);
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
  EXPECT_FALSE(fs.HasFile(package + ".tmp"));
  EXPECT_EQ("last good", fs.Contents(package));
}

}  // namespace
}  // namespace nv
