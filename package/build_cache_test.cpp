#include "package/build_cache.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>

#include "package/package_writer.h"
#include "testing/memory_file_system.h"
#include "testing/recording_notes.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

constexpr int64_t kMinute = int64_t{60} * 1000 * 1000 * 1000;

// The real compressor, keeping what it was given to compress.
class KeepingZlib : public IZlib {
 public:
  KeepingZlib() { KestCreateInstance(u"KestRTU.dll", u"IZlib", m_real.Put()); }
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  int32_t Compress(const uint8_t* input, uint32_t length, uint8_t** output,
                   uint32_t* outputLength) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      given.insert(std::string(reinterpret_cast<const char*>(input), length));
    }
    return m_real->Compress(input, length, output, outputLength);
  }
  int32_t CompressPiece(const uint8_t* input, uint32_t length, bool last, uint8_t** output,
                        uint32_t* outputLength) override {
    return m_real->CompressPiece(input, length, last, output, outputLength);
  }

  std::set<std::string> given;

 private:
  ServiceRef<IZlib> m_real;
  std::mutex m_mutex;
};

// What a build did with the folder's files: those it read, and those whose
// blocks it made.
struct Done {
  std::set<std::string> read;
  std::set<std::string> made;
  bool operator==(const Done& o) const { return read == o.read && made == o.made; }
};

std::ostream& operator<<(std::ostream& out, const Done& done) {
  out << "read";
  for (const std::string& name : done.read) out << " " << name;
  out << "; made";
  for (const std::string& name : done.made) out << " " << name;
  return out;
}

// A folder built once with the cache, then changed and built again, and
// that build set beside one made without the cache.
class CachedBuilds {
 public:
  CachedBuilds() {
    m_cache = std::make_unique<BuildCache>(fs, cacheFolder, "nvtheme test", m_keeping);
    fs.AddFolder("themes");
    fs.AddFolder(folder);
    fs.AddFolder("/cache");
    std::string noise;
    for (uint32_t i = 0, x = 7; i < 70000; ++i)
      noise += static_cast<char>((x = x * 69069 + 1) >> 24);
    fs.AddFile(Source("main.xml"), "<nuvarinepackage/>");
    fs.AddFile(Source("back.png"), noise);
    fs.AddFile(Source("grid.xml"), std::string(90000, 'g'));
    fs.AddFile(Source("empty.png"), "");
    fs.PassTime(kMinute);  // the files were saved a while before the build
    fs.before = [this](Op op, const std::string& path) {
      const std::string inside = folder + kPathSeparator;
      if (op == Op::OpenForReading && path.compare(0, inside.size(), inside) == 0)
        m_read.insert(path.substr(inside.size()));
      return true;
    };
  }

  // A build with the cache, and what it did.
  Done Build() {
    m_read.clear();
    log = Write(package, m_cache.get());
    Done done{m_read, {}};
    std::vector<std::string> names;
    std::string err;
    fs.ListFolder(folder, &names, &err);
    for (const std::string& name : names)
      if (fs.HasFile(Source(name)) && m_keeping.given.count(fs.Contents(Source(name))))
        done.made.insert(name);
    return done;
  }

  // The log and package of a build without the cache, as if of the package.
  std::pair<std::string, std::string> Uncached() {
    std::string text = Write(plain, nullptr);
    text.replace(text.rfind(plain), plain.size(), package);
    return {text, fs.Contents(plain)};
  }

  std::string CacheFile() {
    std::string file, err;
    EXPECT_TRUE(m_cache->FileFor(package, &file, &err)) << err;
    return file;
  }

  std::string Source(const std::string& name) const { return JoinPath(folder, name); }

  // Calls `act` before the n-th read of the package from now on, which
  // fails when it answers false.
  void OnPackageRead(int n, std::function<bool(CachedBuilds&)> act) {
    auto reads = std::make_shared<int>(0);
    auto tracking = fs.before;
    fs.before = [=](Op op, const std::string& path) {
      if (op == Op::Read && path == package && ++*reads == n && !act(*this)) return false;
      return tracking(op, path);
    };
  }

  const std::string folder = JoinPath("themes", "ocean");
  const std::string package = folder + ".nvp";
  const std::string plain = JoinPath("themes", "plain.nvp");
  const std::string cacheFolder = "/cache/nvtheme";
  MemoryFileSystem fs;
  RecordingNotes notes;
  std::string log;

 private:
  std::string Write(const std::string& to, BuildCache* cache) {
    m_keeping.given.clear();
    OperationLog text;
    SilentPublisher publisher;
    OpenFiles files;
    RunFlags flags;
    TiXmlDocument index;
    WritePackage(RunContext{fs, text, publisher, &notes}, folder, &m_keeping,
                 PackOptions{2, nullptr, to, cache}, &index, &files, &flags);
    EXPECT_TRUE(flags.packageOk) << text.Text();
    return text.Text();
  }

  KeepingZlib m_keeping;
  std::unique_ptr<BuildCache> m_cache;
  std::set<std::string> m_read;
};

// The cache as a file's bytes, made over by `craft`, and written back.
void Recraft(CachedBuilds& b, const std::function<void(CachedPackage*)>& craft) {
  CachedPackage cached;
  std::string fault, bytes, err;
  ASSERT_TRUE(DecodeCache(b.fs.Contents(b.CacheFile()), &cached, &fault)) << fault;
  craft(&cached);
  ASSERT_TRUE(EncodeCache(cached, &bytes, &err)) << err;
  b.fs.RewriteFile(b.CacheFile(), bytes);
}

// grid.xml changed, and the cache made over, as anyone who may write it
// could, to give it its old block all the same: its stamp as it is now,
// and the last build's time after it. The cache file's bytes, sealed.
std::string CraftedToGiveTheOldBlock(CachedBuilds& b) {
  b.fs.AppendToFile(b.Source("grid.xml"), "<more/>");
  FileStamp now;
  CachedPackage cached;
  std::string err, bytes;
  EXPECT_TRUE(b.fs.Stamp(b.Source("grid.xml"), &now, &err)) << err;
  EXPECT_TRUE(DecodeCache(b.fs.Contents(b.CacheFile()), &cached, &err)) << err;
  for (CachedFile& file : cached.files)
    if (file.name == "grid.xml") file.stamp = now;
  cached.readFrom = std::max(now.modified, now.changed) + kRacyNanoseconds + 1;
  EXPECT_TRUE(EncodeCache(cached, &bytes, &err)) << err;
  b.fs.PassTime(kMinute);
  return bytes;
}

// A build reads the package's index in two reads, then each file's
// record and block in one each: back.png's block first, main.xml's last.
constexpr int kFirstBlockRead = 4;
constexpr int kLastBlockRead = 10;

const std::set<std::string> kAll = {"back.png", "empty.png", "grid.xml", "main.xml"};
const Done kEverything = {kAll, kAll};

struct Change {
  const char* what;
  std::function<void(CachedBuilds&)> make;
  Done done;   // what the second build does with the files
  bool noted;  // whether it is noted that the cache was not used
  std::function<void(CachedBuilds&)> beforeFirst = nullptr;  // just before the first build
  bool kept = false;  // whether the package in place stays, not written again
};

// Whatever happened between two builds, the second writes the log and the
// package a build without the cache writes; it reads the files the cache
// cannot vouch for by their stamps, and makes anew the blocks of those
// whose content it cannot vouch for either.
TEST(BuildCacheTest, ASecondBuildTakesOnlyWhatItCanTrust) {
  const Change changes[] = {
      {"nothing", [](CachedBuilds&) {}, {}, false, nullptr, true},
      {"one file changed",
       [](CachedBuilds& b) { b.fs.AppendToFile(b.Source("grid.xml"), "<more/>"); },
       {{"grid.xml"}, {"grid.xml"}},
       false},
      {"one file added",
       [](CachedBuilds& b) { b.fs.AddFile(b.Source("add.png"), "new"); },
       {{"add.png"}, {"add.png"}},
       false},
      {"one file removed",
       [](CachedBuilds& b) {
         std::string err;
         b.fs.RemoveFile(b.Source("back.png"), &err);
       },
       {},
       false},
      // Its stamp differs in the change time alone: its content decides.
      {"a file written over at its size, its time set back",
       [](CachedBuilds& b) {
         FileStamp was;
         std::string err;
         b.fs.Stamp(b.Source("grid.xml"), &was, &err);
         b.fs.RewriteFile(b.Source("grid.xml"), std::string(90000, 'h'), was.modified);
       },
       {{"grid.xml"}, {"grid.xml"}},
       false},
      // Its stamp cannot tell a change within the same tick: its content
      // does, and the package holding it stays.
      {"a file saved just before the last build, and not since",
       [](CachedBuilds&) {},
       {{"main.xml"}, {}},
       false,
       [](CachedBuilds& b) {
         b.fs.RewriteFile(b.Source("main.xml"), b.fs.Contents(b.Source("main.xml")));
       },
       true},
      {"a file saved just before the last build, and changed since at its size",
       [](CachedBuilds& b) {
         std::string text = b.fs.Contents(b.Source("main.xml"));
         text.back() = text.back() == ' ' ? '\n' : ' ';
         FileStamp was;
         std::string err;
         b.fs.Stamp(b.Source("main.xml"), &was, &err);
         b.fs.RewriteFile(b.Source("main.xml"), text, was.modified);
       },
       {{"main.xml"}, {"main.xml"}},
       false,
       [](CachedBuilds& b) {
         b.fs.RewriteFile(b.Source("main.xml"), b.fs.Contents(b.Source("main.xml")));
       }},
      {"a file saved again as it was",
       [](CachedBuilds& b) {
         b.fs.RewriteFile(b.Source("main.xml"), b.fs.Contents(b.Source("main.xml")));
       },
       {{"main.xml"}, {"main.xml"}},
       false},
      // The cache then says it was made after this build began.
      {"the clock set back", [](CachedBuilds& b) { b.fs.PassTime(-10 * kMinute); }, kEverything,
       true},
      {"the package edited in place by another program",
       [](CachedBuilds& b) { b.fs.RewriteFile(b.package, b.fs.Contents(b.package)); }, kEverything,
       false},
      {"the package replaced by another program",
       [](CachedBuilds& b) { b.fs.AddFile(b.package, b.fs.Contents(b.package)); }, kEverything,
       false},
      {"the cache cut short",
       [](CachedBuilds& b) {
         const std::string& bytes = b.fs.Contents(b.CacheFile());
         b.fs.RewriteFile(b.CacheFile(), bytes.substr(0, bytes.size() / 2));
       },
       kEverything, true},
      {"the cache damaged",
       [](CachedBuilds& b) {
         std::string bytes = b.fs.Contents(b.CacheFile());
         bytes[bytes.size() / 2] ^= 0x20;
         b.fs.RewriteFile(b.CacheFile(), bytes);
       },
       kEverything, true},
      {"the cache crafted to point outside the package",
       [](CachedBuilds& b) {
         Recraft(b, [](CachedPackage* c) { c->files[1].recordOffset = c->stamp.size + 76; });
       },
       kEverything, true},
      // Each stamp still tells its file unchanged: the index tells them apart.
      {"the cache crafted to give two files each other's block",
       [](CachedBuilds& b) {
         Recraft(b, [](CachedPackage* c) {
           CachedFile &first = c->files[0], &last = c->files[3];
           std::swap(first.name, last.name);
           std::swap(first.stamp, last.stamp);
           std::swap(first.digest, last.digest);
         });
       },
       kEverything, false},
      // A file added, so that the last package is copied from, not kept.
      {"a read of the last package failing as a block is copied",
       [](CachedBuilds& b) {
         b.fs.AddFile(b.Source("add.png"), "new");
         b.OnPackageRead(kFirstBlockRead, [](CachedBuilds&) { return false; });
       },
       {{"add.png", "back.png"}, {"add.png", "back.png"}},
       true},
      // Its block is copied whole before the check finds it changed: it is
      // made anew over it, shorter, and the package cut where it ends.
      {"the package edited in place as its last block is copied",
       [](CachedBuilds& b) {
         b.fs.AddFile(b.Source("add.png"), "new");
         b.OnPackageRead(kLastBlockRead, [](CachedBuilds& b) {
           std::string bytes = b.fs.Contents(b.package);
           bytes.back() ^= 1;
           b.fs.RewriteFile(b.package, bytes);
           b.fs.RewriteFile(b.Source("main.xml"), "<x/>");
           return true;
         });
       },
       {{"add.png", "main.xml"}, {"add.png", "main.xml"}},
       false},
      {"the cache crafted to have been made after this build began",
       [](CachedBuilds& b) {
         Recraft(b, [](CachedPackage* c) { c->readFrom = std::numeric_limits<int64_t>::max(); });
       },
       kEverything, true},
      // Two seconds before it lies before any time there is.
      {"the cache crafted to have been made at the earliest time there is",
       [](CachedBuilds& b) {
         Recraft(b, [](CachedPackage* c) { c->readFrom = std::numeric_limits<int64_t>::min(); });
       },
       kEverything, true},
      // Folders and files that others may write are passed over: only the
      // user could have crafted them.
      {"a cache file of another user's, crafted to give a changed file its old block",
       [](CachedBuilds& b) {
         const std::string crafted = CraftedToGiveTheOldBlock(b);
         b.fs.RewriteFile(b.CacheFile(), crafted);
         b.fs.MakeForeign(b.CacheFile());
       },
       kEverything, true},
      {"a cache folder of another user's, holding such a file",
       [](CachedBuilds& b) {
         b.fs.RewriteFile(b.CacheFile(), CraftedToGiveTheOldBlock(b));
         b.fs.MakeForeign(b.cacheFolder);
       },
       kEverything, true},
      // What is read is asked, not what its path names before it is opened.
      {"such a file of another user's moved into place as the cache file is opened",
       [](CachedBuilds& b) {
         const std::string file = b.CacheFile(), crafted = CraftedToGiveTheOldBlock(b);
         auto tracking = b.fs.before;
         b.fs.before = [=, &b](Op op, const std::string& path) {
           if (op == Op::OpenForReading && path == file && b.fs.Contents(file) != crafted) {
             b.fs.AddFile(file, crafted);
             b.fs.MakeForeign(file);
           }
           return tracking(op, path);
         };
       },
       kEverything, true},
      {"the cache written by another builder",
       [](CachedBuilds& b) { Recraft(b, [](CachedPackage* c) { c->fingerprint += " 2"; }); },
       kEverything, false},
  };
  for (const Change& change : changes) {
    CachedBuilds builds;
    if (change.beforeFirst) change.beforeFirst(builds);
    EXPECT_EQ(kEverything, builds.Build()) << change.what;
    builds.fs.PassTime(kMinute);
    change.make(builds);
    builds.notes.notes.clear();
    FileIdentity before, after;
    std::string err;
    ASSERT_TRUE(builds.fs.Identify(builds.package, &before, &err)) << err;
    EXPECT_EQ(change.done, builds.Build()) << change.what;
    ASSERT_TRUE(builds.fs.Identify(builds.package, &after, &err)) << err;
    EXPECT_EQ(change.kept, before == after) << change.what;
    const auto uncached = builds.Uncached();
    EXPECT_EQ(uncached.first, builds.log) << change.what;
    EXPECT_TRUE(uncached.second == builds.fs.Contents(builds.package)) << change.what;
    const bool noted = std::any_of(builds.notes.notes.begin(), builds.notes.notes.end(),
                                   [](const auto& n) { return n.second.find("build cache") == 0; });
    EXPECT_EQ(change.noted, noted) << change.what;
  }
}

// A cache folder or file that another user owns or may write to is
// passed over with one note, as no build of the user's wrote it: in a
// folder of another user's nothing is read, written or removed; in the
// user's own, what the build keeps takes the file's place, the files of
// others go with the prune, and the next build takes what it can.
TEST(BuildCacheTest, ACacheOfAnotherUsersIsPassedOverWithANote) {
  for (bool folderForeign : {true, false}) {
    SCOPED_TRACE(folderForeign ? "the folder another user's" : "the file another user's");
    CachedBuilds b;
    EXPECT_EQ(kEverything, b.Build());
    const std::string file = b.CacheFile(), crafted = CraftedToGiveTheOldBlock(b);
    const std::string other = JoinPath(b.cacheFolder, std::string(32, '0') + ".cache");
    b.fs.RewriteFile(file, crafted);
    b.fs.AddFile(other, crafted);
    b.fs.MakeForeign(other);
    b.fs.MakeForeign(folderForeign ? b.cacheFolder : file);
    b.notes.notes.clear();
    EXPECT_EQ(kEverything, b.Build());
    EXPECT_TRUE(b.Uncached().second == b.fs.Contents(b.package));
    const std::pair<std::string, std::string> note = {
        folderForeign ? b.cacheFolder : file, "build cache not used: it belongs to another user"};
    EXPECT_EQ(decltype(b.notes.notes){note}, b.notes.notes);
    std::string err;
    if (folderForeign) {
      EXPECT_TRUE(crafted == b.fs.Contents(file));
      EXPECT_TRUE(b.fs.HasFile(other));
      continue;
    }
    EXPECT_TRUE(b.fs.IsPrivate(file, &err)) << err;
    EXPECT_FALSE(b.fs.HasFile(other));
    b.fs.PassTime(kMinute);
    b.notes.notes.clear();
    EXPECT_EQ(Done{}, b.Build());
    EXPECT_TRUE(b.notes.notes.empty());
  }
}

// Two clears of one cache at once: the other removes a file between this
// one's listing and its removal. A file already gone is no failure and is
// not counted; one that stays is named with the system's words, and the
// rest, a check's file of image verdicts among them, are removed all the
// same.
TEST(ClearBuildCacheTest, AFileAnotherRemovedMeanwhileIsNoFailure) {
  const std::string kept = JoinPath("/cache", std::string(32, 'a') + ".cache");
  const std::string writing =
      JoinPath("/cache", std::string(32, 'b') + ".cache.0123456789abcdef.tmp");
  const std::string images = JoinPath("/cache", std::string(32, 'c') + ".images");
  const std::string other = JoinPath("/cache", "notes.txt");
  const struct {
    const char* what;
    const std::string& racing;   // removed by the other clear just before this one
    const std::string& failing;  // "" for none
    bool cleared;
    size_t removed;
  } cases[] = {
      {"a cache file removed meanwhile", kept, "", true, 2},
      {"a temporary file removed meanwhile", writing, "", true, 2},
      {"one removed meanwhile, the other not removable", kept, writing, false, 1},
  };
  for (const auto& c : cases) {
    MemoryFileSystem fs;
    fs.AddFolder("/cache");
    for (const std::string& path : {kept, writing, images, other}) fs.AddFile(path, "bytes");
    bool raced = false;
    fs.before = [&](Op op, const std::string& path) {
      if (op == Op::RemoveFile && path == c.racing && !raced) {
        raced = true;
        std::string err;
        EXPECT_TRUE(fs.RemoveFile(path, &err)) << err;
      }
      return !(op == Op::RemoveFile && path == c.failing);
    };
    size_t removed = 99;
    std::string err;
    EXPECT_EQ(c.cleared, ClearBuildCache(fs, "/cache", &removed, &err)) << c.what << ": " << err;
    EXPECT_EQ(c.removed, removed) << c.what;
    EXPECT_EQ(c.cleared ? "" : c.failing + ": injected fault", err) << c.what;
    EXPECT_TRUE(raced) << c.what;
    EXPECT_FALSE(fs.HasFile(kept)) << c.what;
    EXPECT_EQ(!c.cleared, fs.HasFile(writing)) << c.what;
    EXPECT_FALSE(fs.HasFile(images)) << c.what;
    EXPECT_TRUE(fs.HasFile(other)) << c.what;
  }
}

// A last build made at a time too early to have two seconds before it
// vouches for no file, whatever its stamp, and reckons without overflow.
TEST(PreviousPackageTest, ABuildTimeWithoutTheWindowBeforeItVouchesForNothing) {
  MemoryFileSystem fs;
  CachedFile file;
  file.name = "main.xml";
  for (int64_t stamped : {std::numeric_limits<int64_t>::min(), int64_t{0}}) {
    file.stamp.modified = file.stamp.changed = stamped;
    for (int64_t readFrom : {std::numeric_limits<int64_t>::min(),
                             std::numeric_limits<int64_t>::min() + kRacyNanoseconds - 1}) {
      CachedPackage cached;
      cached.readFrom = readFrom;
      cached.files = {file};
      const PreviousPackage previous(cached, fs, "ocean.nvp", nullptr);
      EXPECT_FALSE(previous.Unchanged(*previous.Find("main.xml"), file.stamp)) << stamped;
    }
  }
}

}  // namespace
}  // namespace nv
