// The rule of the files a build packs: each kind of file of the folder,
// packed or left out, with the note it gets; the listing around them; and
// the test of names a manifest gives, on the real disk.
#include "run/packed_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "testing/memory_file_system.h"
#include "testing/recording_notes.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

const std::string kFolder = "ocean";

// One file of the folder, and what the rule makes of it.
struct FileCase {
  const char* what;
  const char* name;
  bool outsideLinks;
  bool packed;
  const char* note;     // its text, or null for none
  const char* warning;  // the warning the note is
};

// "own.nvp" is the build's own file; "link.png" and "own.nvp" lead to
// /etc; "held.png" is held by another program.
TEST(PackedFilesTest, EachFileIsPackedOrLeftOutWithItsNote) {
  const FileCase cases[] = {
      {"a file", "shot.png", true, true, nullptr, ""},
      {"a held file", "held.png", true, false, "left out: held by another program",
       kUnreadableFileWarning},
      {"a folder", "img", true, false, nullptr, ""},
      {"a missing name", "none.png", true, false, "left out: no such file", kUnreadableFileWarning},
      {"the build's own, through a link", "own.nvp", true, false, nullptr, ""},
      {"a link outside, packed", "link.png", true, true,
       "packed from /etc/l.png, outside the folder", kOutsideLinkWarning},
      {"a link outside, left out", "link.png", false, false,
       "left out: a link to /etc/l.png, outside the folder", kOutsideLinkWarning},
  };
  MemoryFileSystem fs;
  fs.AddFolder(kFolder);
  fs.AddFolder(JoinPath(kFolder, "img"));
  for (const char* name : {"shot.png", "held.png", "own.nvp", "link.png"})
    fs.AddFile(JoinPath(kFolder, name), "x");
  fs.Hold(JoinPath(kFolder, "held.png"));
  fs.SetLinkTarget(JoinPath(kFolder, "link.png"), "/etc/l.png");
  fs.SetLinkTarget(JoinPath(kFolder, "own.nvp"), "/etc/own.nvp");
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingNotes notes;
    PackedFileRule rule;
    rule.outsideLinks = c.outsideLinks;
    rule.notes = &notes;
    rule.ownFile = [](const std::string& name, const std::string& path) {
      EXPECT_EQ(JoinPath(kFolder, name), path);
      return name == "own.nvp";
    };
    EXPECT_EQ(c.packed, IsPackedFile(fs, kFolder, c.name, rule));
    using Notes = std::vector<std::pair<std::string, std::string>>;
    using Warnings = std::vector<std::string>;
    EXPECT_EQ((c.note ? Notes{{JoinPath(kFolder, c.name), c.note}} : Notes()), notes.notes);
    EXPECT_EQ((c.note ? Warnings{c.warning} : Warnings()), notes.warnings);
  }
}

// The files in listing order; the listing's failure noted after them, and a
// file past it never tested.
TEST(PackedFilesTest, ListingHandsOverPackedFilesThenNotesItsFailure) {
  MemoryFileSystem fs;
  fs.AddFolder(kFolder);
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
    fs.AddFile(JoinPath(kFolder, name), "x");
  fs.Hold(JoinPath(kFolder, "b.png"));
  fs.faultText = "Input/output error";
  fs.before = [](MemoryFileSystem::Op op, const std::string& path) {
    return !(op == MemoryFileSystem::Op::ListEntry && path == JoinPath(kFolder, "d.png"));
  };
  RecordingNotes notes;
  PackedFileRule rule;
  rule.notes = &notes;
  std::vector<std::string> packed;
  std::string err;
  EXPECT_EQ(ListResult::kFailedPartWay,
            ListPackedFiles(
                fs, kFolder, rule, [&](const std::string& name) { packed.push_back(name); }, &err));
  EXPECT_EQ((std::vector<std::string>{"a.png", "c.png"}), packed);
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{
                {JoinPath(kFolder, "b.png"), "left out: held by another program"},
                {kFolder, "cannot list the folder: Input/output error"}}),
            notes.notes);
  EXPECT_EQ((std::vector<std::string>{kUnreadableFileWarning, kUnlistableFolderWarning}),
            notes.warnings);
}

TEST(PackedFilesTest, ManifestNameIsAppendedToTheFolderUnchanged) {
  TempFolder theme;
  theme.Put("shot.png", "png");
  std::filesystem::create_directory(JoinPath(theme.Path(), "img"));
  theme.Put(JoinPath("img", "night.png"), "png");
  const std::string sep(1, kPathSeparator);
  FileSystem& fs = RealFileSystem();

  EXPECT_TRUE(FileExistsInFolder(fs, theme.Path(), "shot.png"));
  EXPECT_TRUE(FileExistsInFolder(fs, theme.Path() + sep, "shot.png"));
  EXPECT_TRUE(FileExistsInFolder(fs, theme.Path(), JoinPath("img", "night.png")));
  EXPECT_TRUE(FileExistsInFolder(fs, JoinPath(theme.Path(), "img"), JoinPath("..", "shot.png")));
  EXPECT_FALSE(FileExistsInFolder(fs, theme.Path(), "none.png"));
  EXPECT_FALSE(FileExistsInFolder(fs, theme.Path(), ""));
  EXPECT_FALSE(FileExistsInFolder(fs, theme.Path(), "img"));
}

}  // namespace
}  // namespace nv
