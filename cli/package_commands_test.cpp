// nvtheme list, extract and verify, on packages made of the format's parts
// and on the example theme's.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "package/package_format.h"
#include "services/component.h"
#include "services/task_memory.h"
#include "testing/command_fixture.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

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

}  // namespace
}  // namespace nv
