#include "package/package_writer.h"

#include <gtest/gtest.h>
#include <tinyxml.h>
#include <zlib.h>

#include <functional>
#include <optional>

#include "package/build_cache.h"
#include "package/little_endian.h"
#include "package/package_format.h"
#include "testing/memory_file_system.h"
#include "testing/recording_notes.h"
#include "testing/test_bytes.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>";

// A package taken apart byte by byte, each block inflated by zlib itself.
struct Unpacked {
  std::string header;
  std::vector<EntryRecord> records;
  std::vector<std::string> reserved;  // bytes 12 to 75 of each record
  std::vector<std::string> contents;
};

Unpacked Unpack(const std::string& bytes) {
  Unpacked out;
  out.header = bytes.substr(0, 1044);
  for (size_t at = 1044; at < bytes.size();) {
    EXPECT_LE(at + 76, bytes.size()) << "record cut off";
    if (at + 76 > bytes.size()) break;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    EntryRecord r{static_cast<int32_t>(GetLe32(p)), GetLe32(p + 4), GetLe32(p + 8)};
    out.records.push_back(r);
    out.reserved.push_back(bytes.substr(at + 12, 64));
    std::string content(r.originalSize, '\0');
    uLongf length = r.originalSize;
    EXPECT_EQ(Z_OK,
              uncompress(reinterpret_cast<Bytef*>(&content[0]), &length, p + 76, r.storedSize));
    out.contents.push_back(content.substr(0, length));
    at += 76 + r.storedSize;
  }
  return out;
}

// Compresses through the real service, or fails as told.
class FakeZlib : public IZlib {
 public:
  explicit FakeZlib(IZlib* real) : m_real(real) {}
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  int32_t Compress(const uint8_t* input, uint32_t length, uint8_t** output,
                   uint32_t* outputLength) override {
    if (std::string(reinterpret_cast<const char*>(input), length) == failOn) {
      *outputLength = claimedLength;
      return result;
    }
    return m_real->Compress(input, length, output, outputLength);
  }
  int32_t CompressPiece(const uint8_t* input, uint32_t length, bool last, uint8_t** output,
                        uint32_t* outputLength) override {
    return m_real->CompressPiece(input, length, last, output, outputLength);
  }

  std::string failOn;
  int32_t result = kKestFailed;
  uint32_t claimedLength = 0;

 private:
  IZlib* m_real;
};

// The last `n` bytes of the text, to compare with how it should end.
std::string Ending(const std::string& text, size_t n) {
  return text.substr(text.size() - std::min(n, text.size()));
}

class CountingPublisher : public LogPublisher {
 public:
  void ReplaceText(const std::string&) override { ++replaced; }
  void PublishLog(const std::string& log) override { published.push_back(log); }
  int replaced = 0;
  std::vector<std::string> published;
};

class PackageWriterTest : public testing::Test {
 protected:
  PackageWriterTest() {
    KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
    fs.AddFolder("themes");
    fs.AddFolder(folder);
  }

  void Add(const std::string& name, const std::string& contents) {
    fs.AddFile(JoinPath(folder, name), contents);
  }

  RunFlags Write(const std::string& f, IZlib* z) {
    RunFlags flags;
    TiXmlDocument index;
    if (!seed.empty()) index.Parse(seed.c_str());
    WritePackage(RunContext{fs, log, publisher, &notes}, f, z, options, &index, &files, &flags);
    EXPECT_EQ(0, fs.OpenFiles());
    EXPECT_TRUE(files.packageTemporary.empty());
    EXPECT_EQ(kept, Temporaries(PackagePath(f))) << "temporary file left behind";
    return flags;
  }
  RunFlags Write() { return Write(folder, zlib.get()); }

  // Makes the calls for which `fault` answers true fail, and keeps what the
  // temporary package held when it was removed.
  void FailWhen(std::function<bool(Op, const std::string&)> fault) {
    fs.before = [this, fault](Op op, const std::string& path) {
      if (op == Op::RemoveFile && IsTemporary(path)) removed = fs.Contents(path);
      return !fault(op, path);
    };
  }

  bool IsTemporary(const std::string& path) const { return IsTemporaryPackagePath(package, path); }

  // The temporary files of the package that lie beside it.
  std::vector<std::string> Temporaries(const std::string& of) {
    const size_t cut = of.rfind(kPathSeparator);
    const std::string parent = of.substr(0, cut == 0 ? 1 : cut);
    std::vector<std::string> names, temporaries;
    std::string err;
    fs.ListFolder(parent, &names, &err);
    for (const std::string& name : names)
      if (IsTemporaryPackagePath(of, JoinPath(parent, name))) temporaries.push_back(name);
    return temporaries;
  }

  std::string Packing(const std::string& lines) const {
    return "\r\nPacking files ...\r\n" + lines;
  }
  std::string Source(const std::string& name) const { return JoinPath(folder, name); }

  const std::string folder = JoinPath("themes", "ocean");
  const std::string package = folder + ".nvp";
  std::vector<std::string> kept;  // temporary files that others left, which a build leaves alone
  std::string seed;               // what the index document holds before the writer runs
  PackOptions options{1, nullptr, "", nullptr};  // one worker: faults meet the files in one order
  MemoryFileSystem fs;
  OperationLog log;
  CountingPublisher publisher;
  RecordingNotes notes;
  ServiceRef<IZlib> zlib;
  OpenFiles files;
  std::string removed;
};

TEST_F(PackageWriterTest, FolderWithOnlyTheManifest) {
  Add("main.xml", "<nuvarinepackage/>");
  RunFlags flags = Write();
  EXPECT_TRUE(flags.filesFound);
  EXPECT_TRUE(flags.packageOk);

  const std::string index =
      std::string(kDeclaration) + "<files><file filename=\"main.xml\" id=\"1\" /></files>";
  EXPECT_EQ(
      Packing("1, main.xml\r\n") + index + "\r\n\r\n" + package + " successfully created.\r\n",
      log.Text());
  ASSERT_EQ(1u, publisher.published.size());
  EXPECT_EQ(Packing("1, main.xml\r\n"), publisher.published[0]);

  const std::string bytes = fs.Contents(package);
  Unpacked p = Unpack(bytes);
  EXPECT_EQ(std::string("NP\x02\0", 4) + std::string(1040, '\0'), p.header);
  ASSERT_EQ(2u, p.records.size());
  EXPECT_EQ(1044u + 76 + p.records[0].storedSize + 76 + p.records[1].storedSize, bytes.size());
  EXPECT_EQ(0, p.records[0].entryId);
  EXPECT_EQ(index.size(), p.records[0].originalSize);
  EXPECT_EQ(index, p.contents[0]);
  EXPECT_EQ(1, p.records[1].entryId);
  EXPECT_EQ(18u, p.records[1].originalSize);
  EXPECT_EQ("<nuvarinepackage/>", p.contents[1]);
  for (const std::string& r : p.reserved) EXPECT_EQ(std::string(64, '\0'), r);
}

TEST_F(PackageWriterTest, EntriesFollowTheIndexInIdOrder) {
  Add("main.xml", "manifest");
  Add("back.png", std::string(300000, 'b'));  // more than one piece is read
  Add("empty.png", "");
  Write();
  Unpacked p = Unpack(fs.Contents(package));
  ASSERT_EQ(4u, p.records.size());
  EXPECT_EQ(std::string(kDeclaration) +
                "<files><file filename=\"back.png\" id=\"1\" /><file filename=\"empty.png\" "
                "id=\"2\" /><file filename=\"main.xml\" id=\"3\" /></files>",
            p.contents[0]);
  EXPECT_EQ(std::string(300000, 'b'), p.contents[1]);
  EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 3}),
            (std::vector<int32_t>{p.records[0].entryId, p.records[1].entryId, p.records[2].entryId,
                                  p.records[3].entryId}));
  // An empty file: originalSize 0, and a stream of one empty stored block.
  EXPECT_EQ(0u, p.records[2].originalSize);
  EXPECT_EQ(11u, p.records[2].storedSize);
  EXPECT_EQ("", p.contents[2]);
  EXPECT_EQ("manifest", p.contents[3]);
}

TEST_F(PackageWriterTest, NamesAreListedRawAndEscapedInTheIndex) {
  Add("a&b.png", "1");
  Add("caf\xE9.png", "2");
  Add("x&#x41;.png", "3");
  Write();
  EXPECT_EQ(Packing("1, a&b.png\r\n2, caf\xE9.png\r\n3, x&#x41;.png\r\n") + kDeclaration +
                "<files><file filename=\"a&amp;b.png\" id=\"1\" /><file filename=\"caf\xE9.png\" "
                "id=\"2\" /><file filename=\"x&amp;#x41;.png\" id=\"3\" /></files>\r\n\r\n" +
                package + " successfully created.\r\n",
            log.Text());
  Unpacked p = Unpack(fs.Contents(package));
  EXPECT_EQ((std::vector<std::string>{p.contents[0], "1", "2", "3"}), p.contents);
}

TEST_F(PackageWriterTest, OnlyReadableFilesGetIds) {
  Add("main.xml", "m");
  Add("held.png", "h");
  fs.Hold(Source("held.png"));
  fs.AddFolder(Source("sub"));
  fs.AddFile(JoinPath(Source("sub"), "deep.png"), "d");
  Add("z.png", "z");
  Write();
  EXPECT_EQ(0u, log.Text().find(Packing("1, main.xml\r\n2, z.png\r\n<?xml")));
  EXPECT_EQ(3u, Unpack(fs.Contents(package)).records.size());
}

// The notes about the folder's files carry the warning each is, which -W
// turns off by that name; the system's reason for a failure carries none.
TEST_F(PackageWriterTest, NotesAboutFilesNameTheirWarnings) {
  Add("held.png", "h");
  fs.Hold(Source("held.png"));
  Add("link.png", "l");
  fs.SetLinkTarget(Source("link.png"), "/etc/l.png");
  Add("main.xml", "m");
  fs.faultText = "Input/output error";
  FailWhen([this](Op op, const std::string& path) {
    return op == Op::ListEntry && path == Source("main.xml");
  });
  Write();
  using Notes = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ((Notes{{Source("held.png"), "left out: held by another program"},
                   {Source("link.png"), "packed from /etc/l.png, outside the folder"},
                   {folder, "cannot list the folder: Input/output error"}}),
            notes.notes);
  EXPECT_EQ((std::vector<std::string>{"unreadable-file", "outside-link", "unlistable-folder"}),
            notes.warnings);

  FailWhen(
      [this](Op op, const std::string& path) { return op == Op::CreateNew && IsTemporary(path); });
  notes = RecordingNotes();
  Write();
  ASSERT_EQ(3u, notes.warnings.size());
  EXPECT_EQ("Input/output error", notes.notes[2].second);
  EXPECT_EQ("", notes.warnings[2]);
}

// The rows of the writer's failure table.

TEST_F(PackageWriterTest, NothingToPackMakesNoPackage) {
  fs.AddFolder(Source("sub"));
  RunFlags flags = Write();
  EXPECT_FALSE(flags.filesFound);
  EXPECT_EQ(Packing(""), log.Text());

  FailWhen([](Op op, const std::string&) { return op == Op::ListFolder; });
  Add("main.xml", "m");
  flags = Write();
  EXPECT_FALSE(flags.filesFound);
  EXPECT_EQ(Packing("") + Packing(""), log.Text());
  EXPECT_FALSE(fs.HasFile(package));
}

TEST_F(PackageWriterTest, PackageThatCannotBeCreated) {
  Add("main.xml", "m");
  fs.AddFile(package, "last good");
  FailWhen(
      [this](Op op, const std::string& path) { return op == Op::CreateNew && IsTemporary(path); });
  RunFlags flags = Write();
  EXPECT_TRUE(flags.filesFound);
  EXPECT_FALSE(flags.packageOk);
  EXPECT_EQ(Packing("1, main.xml\r\nError: Unable to create file: " + package + ".\r\n"),
            log.Text());
  EXPECT_EQ("last good", fs.Contents(package));
}

TEST_F(PackageWriterTest, IndexWithoutFilesIsAnInternalError) {
  Add("main.xml", "m");
  seed = "<other/>";  // found first, in place of "files"
  FailWhen([](Op, const std::string&) { return false; });
  RunFlags flags = Write();
  EXPECT_FALSE(flags.packageOk);
  EXPECT_EQ(Packing("1, main.xml\r\n") + "<other />" + kDeclaration +
                "<files><file filename=\"main.xml\" id=\"1\" /></files>\r\n\r\n"
                "Error: Internal XML construction failed.\r\n",
            log.Text());
  EXPECT_EQ(1u, Unpack(removed).records.size());  // header and index entry alone
}

TEST_F(PackageWriterTest, FileElementWithoutIdOrNameIsPassedOver) {
  Add("main.xml", "m");
  Add("b.png", "b");
  seed =
      "<files><file filename=\"b.png\" id=\"x\"/><file id=\"1\"/>"
      "<file filename=\"main.xml\" id=\"1\"/></files>";
  FailWhen([](Op, const std::string&) { return false; });
  RunFlags flags = Write();
  EXPECT_FALSE(flags.packageOk);
  const std::string errors =
      "</files>\r\n\r\nError: Internal XML construction failed.\r\n"
      "Error: Internal XML construction failed.\r\n";
  EXPECT_EQ(errors, Ending(log.Text(), errors.size()));
  Unpacked p = Unpack(removed);
  ASSERT_EQ(2u, p.records.size());
  EXPECT_EQ("m", p.contents[1]);
}

TEST_F(PackageWriterTest, SourceUnreadableAtPackingTimeKeepsItsId) {
  Add("a.png", "a");
  Add("b.png", "b");
  Add("c.png", "c");
  fs.AddFile(package, "last good");
  FailWhen([&](Op op, const std::string& path) {
    return op == Op::OpenForReading && path == Source("b.png");
  });
  RunFlags flags = Write();
  EXPECT_TRUE(flags.filesFound);
  EXPECT_FALSE(flags.packageOk);
  const std::string& text = log.Text();
  EXPECT_NE(std::string::npos, text.find("2, b.png\r\n"));
  EXPECT_NE(std::string::npos, text.find("<file filename=\"b.png\" id=\"2\" />"));
  const std::string tail =
      "\r\n\r\nError: Source files reading failed: " + Source("b.png") + ".\r\n";
  EXPECT_EQ(tail, Ending(text, tail.size()));
  Unpacked p = Unpack(removed);
  ASSERT_EQ(3u, p.records.size());
  EXPECT_EQ(1, p.records[1].entryId);
  EXPECT_EQ(3, p.records[2].entryId);
  EXPECT_EQ("c", p.contents[2]);
  EXPECT_EQ("last good", fs.Contents(package));
}

// Faults the writer reports beyond the table.

struct SourceFault {
  const char* name;
  std::optional<Op> failing;  // the call on b.png that fails
  std::function<void(MemoryFileSystem& fs, FakeZlib& fake, const std::string& b)> arrange;
  const char* line;
  const char* note;  // on b.png, beside the log's line; null: none
};

TEST_F(PackageWriterTest, SourceFaultsSkipOneFileAndPackTheRest) {
  Add("a.png", "a");
  Add("b.png", "bbbb");
  Add("c.png", "c");
  auto none = [](MemoryFileSystem&, FakeZlib&, const std::string&) {};
  const SourceFault cases[] = {
      {"short read",
       {},
       [](MemoryFileSystem& fs, FakeZlib&, const std::string& b) { fs.SetApparentSize(b, 9); },
       "Error: Source files reading failed: ",
       "read: the file ended at byte 4 of 9"},
      {"failed open", Op::OpenForReading, none,
       "Error: Source files reading failed: ", "open: Permission denied"},
      {"failed read", Op::Read, none,
       "Error: Source files reading failed: ", "read: Input/output error"},
      {"failed size", Op::Size, none,
       "Error: Source files reading failed: ", "fstat: Input/output error"},
      {"4 GiB",
       {},
       [](MemoryFileSystem& fs, FakeZlib&, const std::string& b) {
         fs.SetApparentSize(b, uint64_t{1} << 32);
       },
       "Error: File too large to pack: ",
       nullptr},
      {"compression fails",
       {},
       [](MemoryFileSystem&, FakeZlib& fake, const std::string&) { fake.failOn = "bbbb"; },
       "Error: Compression failed: ",
       nullptr},
      {"output too long",
       {},
       [](MemoryFileSystem&, FakeZlib& fake, const std::string&) {
         fake.failOn = "bbbb";
         fake.result = kKestTooLarge;
       },
       "Error: Compression failed: ",
       nullptr},
      {"length without output",
       {},
       [](MemoryFileSystem&, FakeZlib& fake, const std::string&) {
         fake.failOn = "bbbb";
         fake.result = kKestOk;
         fake.claimedLength = 10;
       },
       "Error: Compression failed: ",
       nullptr},
  };
  const std::string b = Source("b.png");
  for (const SourceFault& c : cases) {
    SCOPED_TRACE(c.name);
    fs.AddFile(package, "last good");
    fs.SetApparentSize(b, 4);
    FakeZlib fake(zlib.get());
    c.arrange(fs, fake, b);
    FailWhen([&](Op op, const std::string& path) { return op == c.failing && path == b; });
    if (c.failing) fs.faultText = c.note;
    const size_t start = log.Text().size();
    notes.notes.clear();
    RunFlags flags = Write(folder, &fake);
    EXPECT_FALSE(flags.packageOk);
    const std::string text = log.Text().substr(start);
    EXPECT_EQ(0u, text.find(Packing("1, a.png\r\n2, b.png\r\n3, c.png\r\n")));
    const std::string tail = "</files>\r\n\r\n" + std::string(c.line) + b + ".\r\n";
    EXPECT_EQ(tail, Ending(text, tail.size()));
    using Notes = std::vector<std::pair<std::string, std::string>>;
    const Notes noted = c.note ? Notes{{b, c.note}} : Notes();
    EXPECT_EQ(noted, notes.notes);
    Unpacked p = Unpack(removed);
    ASSERT_EQ(3u, p.records.size());
    EXPECT_EQ(3, p.records[2].entryId);
    EXPECT_EQ("c", p.contents[2]);
    EXPECT_EQ("last good", fs.Contents(package));
  }
}

// The writes are gathered: the header alone, since the log shows the index
// before it is written; what the buffer held before a block as large as it,
// which goes as it is; the rest once all are written. A write that fails
// ends the log as it did when each record and block was written as it
// came: a source fault met after it, while the write waited in the buffer,
// is not told, for the writer stopped before it reached that file.
TEST_F(PackageWriterTest, FailedWriteStopsThePackage) {
  const std::string large = Incompressible(size_t{1} << 20);
  Add("a.png", "a");
  Add("b.png", large);
  Add("c.png", "c");
  Add("d.png", "d");
  int writes = 0;  // of the package
  FailWhen([&](Op op, const std::string& path) {
    writes += op == Op::Write && IsTemporary(path);
    return false;
  });
  ASSERT_TRUE(Write().packageOk);
  EXPECT_EQ(4, writes);
  const std::string clean = fs.Contents(package);
  // With the build cache, which checks each block in slices as it writes
  // it, the large block goes in its slices as they are: the header, what
  // came before, nine slices, the rest.
  fs.AddFolder("/cache");
  BuildCache cache(fs, "/cache/nvtheme", "nvtheme test", *zlib.get());
  options.cache = &cache;
  writes = 0;
  ASSERT_TRUE(Write().packageOk);
  options.cache = nullptr;
  EXPECT_EQ(1 + 1 + 9 + 1, writes);
  EXPECT_TRUE(clean == fs.Contents(package));
  const Unpacked p = Unpack(clean);
  const std::vector<std::string> contents = {"a", large, "c", "d"};
  EXPECT_EQ(contents, std::vector<std::string>(p.contents.begin() + 1, p.contents.end()));
  // Where the package's writes end: the header; b.png's record; its block.
  const size_t header = 1044;
  const size_t bBlock = header + 3 * 76 + p.records[0].storedSize + p.records[1].storedSize;
  const size_t bEnd = bBlock + p.records[2].storedSize;
  ASSERT_GE(p.records[2].storedSize, size_t{1} << 20);

  const struct {
    int failingWrite;
    bool dUnreadable;
    size_t written;  // how much of the clean package the removed one holds
  } cases[] = {
      {1, false, 0}, {2, false, header}, {3, false, bBlock}, {4, false, bEnd}, {4, true, bEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.failingWrite) + (c.dUnreadable ? ", d.png unreadable" : ""));
    fs.AddFile(package, "last good");
    int writesAfter = 0;
    writes = 0;
    FailWhen([&](Op op, const std::string& path) {
      if (c.dUnreadable && op == Op::OpenForReading && path == Source("d.png")) return true;
      if (op != Op::Write) return false;
      if (++writes > c.failingWrite) ++writesAfter;
      return writes == c.failingWrite;
    });
    const size_t start = log.Text().size();
    notes.notes.clear();
    EXPECT_FALSE(Write().packageOk);
    const std::string text = log.Text().substr(start);
    const std::string tail = "\r\nError: Unable to write file: " + package + ".\r\n";
    EXPECT_EQ(tail, Ending(text, tail.size()));
    EXPECT_EQ(c.failingWrite > 1, text.find("<?xml") != std::string::npos);
    EXPECT_EQ(std::string::npos, text.find("reading failed"));
    ASSERT_EQ(1u, notes.notes.size());
    EXPECT_TRUE(IsTemporary(notes.notes[0].first)) << notes.notes[0].first;
    EXPECT_EQ(0, writesAfter);
    EXPECT_TRUE(clean.substr(0, c.written) == removed) << removed.size();
    EXPECT_EQ("last good", fs.Contents(package));
  }
}

TEST_F(PackageWriterTest, FailedFlushOrCloseFailsThePackage) {
  Add("a.png", "a");
  for (Op failing : {Op::Sync, Op::Close}) {
    fs.AddFile(package, "last good");
    FailWhen([&](Op op, const std::string& path) { return op == failing && IsTemporary(path); });
    const size_t start = log.Text().size();
    EXPECT_FALSE(Write().packageOk);
    const std::string text = log.Text().substr(start);
    const std::string tail = "</files>\r\n\r\nError: Unable to write file: " + package + ".\r\n";
    EXPECT_EQ(tail, Ending(text, tail.size()));
    EXPECT_EQ("last good", fs.Contents(package));
  }
}

TEST_F(PackageWriterTest, IndexThatDoesNotCompressStopsThePackage) {
  Add("a.png", "a");
  FakeZlib fake(zlib.get());
  fake.failOn = std::string(kDeclaration) + "<files><file filename=\"a.png\" id=\"1\" /></files>";
  int writes = 0;
  FailWhen([&](Op op, const std::string&) {
    writes += op == Op::Write;
    return false;
  });
  RunFlags flags = Write(folder, &fake);
  EXPECT_FALSE(flags.packageOk);
  EXPECT_EQ(Packing("1, a.png\r\n") + fake.failOn +
                "\r\n\r\nError: Compression failed: " + package + ".\r\n",
            log.Text());
  EXPECT_EQ(1, writes);  // the header alone
  EXPECT_EQ(1044u, removed.size());
}

TEST_F(PackageWriterTest, ListingThatFailsPartWayMakesNoPackage) {
  Add("a.png", "a");
  Add("b.png", "b");
  Add("c.png", "c");
  FailWhen([this](Op op, const std::string& path) {
    return (op == Op::ListEntry && path == Source("c.png")) || op == Op::CreateNew;
  });
  RunFlags flags = Write();
  EXPECT_FALSE(flags.filesFound);
  const std::string expected =
      Packing("1, a.png\r\n2, b.png\r\nError: Unable to list folder: " + folder + ".\r\n");
  EXPECT_EQ(expected, log.Text());
  EXPECT_EQ(expected, publisher.published.back());
}

TEST_F(PackageWriterTest, NoCompressionServiceMakesNoPackage) {
  Add("a.png", "a");
  FailWhen([](Op op, const std::string&) { return op == Op::CreateNew; });
  RunFlags flags = Write(folder, nullptr);
  EXPECT_TRUE(flags.filesFound);
  EXPECT_FALSE(flags.packageOk);
  EXPECT_EQ(Packing("1, a.png\r\nError: Compression service unavailable.\r\n"), log.Text());
  EXPECT_EQ(Packing("1, a.png\r\n"), publisher.published.back());
}

// A device, a pipe or a socket at the package's path, there before the
// build or laid there while it writes, is the system's: never replaced.
TEST_F(PackageWriterTest, DeviceAtThePackagePathIsNeverReplaced) {
  Add("main.xml", "m");
  for (bool laidWhileWriting : {false, true}) {
    SCOPED_TRACE(laidWhileWriting);
    fs.RemoveFile(package, &removed);
    if (laidWhileWriting) {
      fs.before = [this](Op op, const std::string&) {
        if (op == Op::Write) fs.AddDevice(package);
        return true;
      };
    } else {
      fs.AddDevice(package);
    }
    const size_t start = log.Text().size();
    EXPECT_FALSE(Write().packageOk);
    const std::string line = "Error: Unable to create file: " + package + ".\r\n";
    const std::string tail = (laidWhileWriting ? "</files>\r\n\r\n" : "1, main.xml\r\n") + line;
    EXPECT_EQ(tail, Ending(log.Text().substr(start), tail.size()));
    EXPECT_TRUE(fs.IsDevice(package));
    ASSERT_FALSE(notes.notes.empty());
    EXPECT_EQ(std::make_pair(package, std::string(kNoteDevice)), notes.notes.back());
  }
}

TEST_F(PackageWriterTest, MoveThatFailsKeepsTheLastGoodPackage) {
  Add("a.png", "a");
  for (bool held : {false, true}) {  // held last: it stays held
    fs.AddFile(package, "last good");
    if (held) {
      fs.Hold(package);  // another program has it open
    } else {
      FailWhen([](Op op, const std::string&) { return op == Op::MoveOver; });
    }
    const size_t start = log.Text().size();
    EXPECT_FALSE(Write().packageOk);
    const std::string tail = "</files>\r\n\r\nError: Unable to create file: " + package + ".\r\n";
    EXPECT_EQ(tail, Ending(log.Text().substr(start), tail.size()));
    EXPECT_EQ("last good", fs.Contents(package));
  }
}

// A package whose folder cannot be synced after the move may vanish in a
// power cut: the run fails, though the new package is in place and whole.
TEST_F(PackageWriterTest, FolderThatCannotBeSyncedFailsTheRun) {
  Add("a.png", "a");
  fs.AddFile(package, "last good");
  FailWhen(
      [&](Op op, const std::string& path) { return op == Op::SyncFolderOf && path == package; });
  EXPECT_FALSE(Write().packageOk);
  const std::string tail = "</files>\r\n\r\nError: Unable to write file: " + package + ".\r\n";
  EXPECT_EQ(tail, Ending(log.Text(), tail.size()));
  EXPECT_EQ("a", Unpack(fs.Contents(package)).contents.at(1));
}

// Each build creates a file of its own, under a name drawn for it, so that
// two builds of one folder never write one file.
TEST_F(PackageWriterTest, EachBuildWritesAFileOfItsOwn) {
  Add("a.png", "a");
  std::vector<std::string> created;
  fs.before = [&](Op op, const std::string& path) {
    if (op == Op::CreateNew) created.push_back(path);
    return true;
  };
  EXPECT_TRUE(Write().packageOk);
  EXPECT_TRUE(Write().packageOk);
  ASSERT_EQ(2u, created.size());
  EXPECT_TRUE(IsTemporary(created[0])) << created[0];
  EXPECT_TRUE(IsTemporary(created[1])) << created[1];
  EXPECT_NE(created[0], created[1]);
}

// Files that a build did not make are none of its business: a file where
// an earlier version wrote its temporary package, and one that a killed
// build left, stay as they are, and no build is kept from its work.
TEST_F(PackageWriterTest, TemporaryFilesOfOthersAreLeftAlone) {
  Add("a.png", "a");
  const std::string oldName = package + ".tmp";
  const std::string left = package + ".0123456789abcdef.tmp";
  ASSERT_TRUE(IsTemporary(left));
  fs.AddFile(oldName, "stale");
  fs.AddFile(left, "left by a killed build");
  fs.AddFile(package, "last good");
  kept = {"ocean.nvp.0123456789abcdef.tmp"};
  EXPECT_TRUE(Write().packageOk);
  EXPECT_EQ("a", Unpack(fs.Contents(package)).contents.at(1));
  EXPECT_EQ("stale", fs.Contents(oldName));
  EXPECT_EQ("left by a killed build", fs.Contents(left));
}

TEST_F(PackageWriterTest, TrailingSeparatorsAreStrippedForThePackageOnly) {
  Add("a.png", "a");
  const std::string typed = folder + kPathSeparator + kPathSeparator;
  const std::string source = typed + kPathSeparator + "a.png";
  FailWhen(
      [&](Op op, const std::string& path) { return op == Op::OpenForReading && path == source; });
  Write(typed, zlib.get());
  EXPECT_EQ(Packing("1, a.png\r\n"), log.Text().substr(0, Packing("1, a.png\r\n").size()));
  // The source path keeps the folder as typed; the package lies beside it.
  EXPECT_NE(std::string::npos,
            log.Text().find("Error: Source files reading failed: " + source + ".\r\n"));
  fs.before = nullptr;
  EXPECT_TRUE(Write(typed, zlib.get()).packageOk);
  EXPECT_TRUE(fs.HasFile(package));
  EXPECT_NE(std::string::npos, log.Text().find(package + " successfully created.\r\n"));
}

TEST_F(PackageWriterTest, PackageInsideTheFolderIsNeverPacked) {
  Add("a.png", "a");
  const std::string dotted = JoinPath(folder, ".");
  const std::string inside = dotted + ".nvp";  // the file "..nvp" in the folder
  // Another build's temporary file, or one a killed build left, lies there too.
  fs.AddFile(inside + ".fedcba9876543210.tmp", "another build's");
  kept = {"..nvp.fedcba9876543210.tmp"};
  for (int build = 0; build < 2; ++build) {
    log = OperationLog();
    EXPECT_TRUE(Write(dotted, zlib.get()).packageOk);
    EXPECT_EQ(0u, log.Text().find(Packing("1, a.png\r\n<?xml")));
    EXPECT_EQ(2u, Unpack(fs.Contents(inside)).records.size());
  }
  kept.clear();

  const std::string root(1, kPathSeparator);
  fs.AddFolder(root);
  fs.AddFile(JoinPath(root, "main.xml"), "m");
  fs.AddFile(root + ".nvp", "last good");
  log = OperationLog();
  EXPECT_TRUE(Write(root, zlib.get()).packageOk);
  EXPECT_EQ(Packing("1, main.xml\r\n"), log.Text().substr(0, Packing("1, main.xml\r\n").size()));
  EXPECT_NE(std::string::npos, log.Text().find(root + ".nvp successfully created.\r\n"));
}

// Bytes that deflate shrinks by a varying amount, and some that it cannot.
std::string Content(int seed, size_t size) {
  std::string s(size, '\0');
  uint32_t x = static_cast<uint32_t>(seed) * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = static_cast<char>(seed % 3 == 0 ? x >> 24 : 'a' + (x >> 28) % (seed % 5 + 1));
  }
  return s;
}

TEST_F(PackageWriterTest, SamePackageAndLogOnAnyNumberOfThreads) {
  auto size = [](int i) { return 1000 + 997 * (i % 13); };
  for (int i = 0; i < 40; ++i) Add("f" + std::to_string(100 + i), Content(i, size(i)));
  // Faults first: their lines stand where their files stand, on any number.
  fs.SetApparentSize(Source("f107"), 1 << 20);            // cut short while read
  fs.SetApparentSize(Source("f121"), uint64_t{1} << 32);  // too large to pack
  std::string firstLog;
  for (unsigned jobs : {1u, 2u, 3u, 8u}) {
    log = OperationLog();
    options.jobs = jobs;
    EXPECT_FALSE(Write().packageOk);
    if (jobs == 1u) firstLog = log.Text();
    EXPECT_EQ(firstLog, log.Text()) << jobs << " threads";
  }
  EXPECT_NE(std::string::npos,
            firstLog.find("Error: Source files reading failed: " + Source("f107") + ".\r\n"));
  EXPECT_NE(std::string::npos,
            firstLog.find("Error: File too large to pack: " + Source("f121") + ".\r\n"));

  fs.SetApparentSize(Source("f107"), size(7));
  fs.SetApparentSize(Source("f121"), size(21));
  std::string firstPackage;
  for (unsigned jobs : {1u, 2u, 8u}) {
    options.jobs = jobs;
    EXPECT_TRUE(Write().packageOk);
    if (jobs == 1u) firstPackage = fs.Contents(package);
    EXPECT_EQ(firstPackage, fs.Contents(package)) << jobs << " threads";
  }
  Unpacked p = Unpack(firstPackage);
  ASSERT_EQ(41u, p.records.size());
  EXPECT_EQ(Content(39, size(39)), p.contents[40]);
}

}  // namespace
}  // namespace nv
