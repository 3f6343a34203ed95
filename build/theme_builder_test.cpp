#include "build/theme_builder.h"

#include <gtest/gtest.h>

#include <new>

#include "build/recording_publisher.h"
#include "platform/memory_file_system.h"

namespace nv {
namespace {

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
  ASSERT_EQ("RPPP", publisher.Kinds());
  EXPECT_EQ("\r\nProcessing " + folder + " ...\r\n", publisher.events[0].second);
  EXPECT_EQ(head, publisher.events[1].second);
  EXPECT_EQ(head + "succeeded.\r\n", publisher.events[2].second);
  EXPECT_EQ(head + "succeeded.\r\n\r\n", builder.Log());
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
  const std::string run = Head(folder) + "succeeded.\r\n\r\n";
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
  EXPECT_EQ(failed + Head(folder) + "succeeded.\r\n\r\n", builder.Log());
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
  EXPECT_EQ(failed + "\r\n" + Head(other) + "succeeded.\r\n\r\n", builder.Log());
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

}  // namespace
}  // namespace nv
