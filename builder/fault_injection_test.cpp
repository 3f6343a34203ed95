// Every call that a full build makes through the file system and the
// compression service, made to fail or to throw in turn, one build per call:
// nothing crashes, leaks, stays open or stays behind, and no fault that could
// lose data passes unseen or costs the last good package.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <set>

#include "builder/theme_builder.h"
#include "package/package_writer.h"
#include "testing/memory_file_system.h"
#include "testing/recording_notes.h"
#include "testing/recording_publisher.h"
#include "testing/unpack_package.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;
using Clock = std::chrono::steady_clock;

// Where in a build a call is made.
enum class Stage { kManifest, kValidation, kListing, kPacking };

// One call through a seam, known again in any build by its kind, its path
// and how many calls of that kind on that path came before it: the calls on
// one path come in the same order on any number of threads.
struct Call {
  std::string kind;  // the file system's call ("OpenForReading", "Read", ...), or "compress"
  std::string path;  // for "compress", the file whose bytes are compressed
  int nth = 0;
  Stage stage = Stage::kManifest;
};

enum class Fault { kFail, kThrow };

// Counts the calls of a build, or makes chosen ones fail or throw.
class FaultPlan {
 public:
  void Count() { Reset(true, {}); }
  void Inject(std::vector<std::pair<Call, Fault>> targets) { Reset(false, std::move(targets)); }

  // Asked before each call; false makes the call fail.
  bool Pass(const std::string& kind, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int nth = ++m_seen[{kind, path}];
    if (m_counting) {
      Record(kind, path, nth);
      return true;
    }
    for (auto& target : m_targets) {
      const Call& t = target.first;
      if (t.kind != kind || t.path != path || t.nth != nth) continue;
      ++m_hits;
      if (target.second == Fault::kThrow) throw std::bad_alloc();
      return false;
    }
    return true;
  }

  const std::vector<Call>& Calls() const { return m_calls; }
  std::set<std::string> named;  // the paths of the files the manifest names
  // How many of the targets were met.
  size_t Hits() const { return m_hits; }

 private:
  void Reset(bool counting, std::vector<std::pair<Call, Fault>> targets) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counting = counting;
    m_targets = std::move(targets);
    m_seen.clear();
    m_hits = 0;
    m_stage = Stage::kManifest;
    m_listed = false;
    if (counting) m_calls.clear();
  }

  // The stages as the calls show them: the folder is listed once for the
  // run, the manifest is read and closed, the files it names are tested,
  // the writer goes through the listing (its first file, named by the
  // manifest and tested already, is told from the package first), the
  // package is created.
  void Record(const std::string& kind, const std::string& path, int nth) {
    const bool listing = kind == "ListFolder" || kind == "ListEntry";
    if (m_calls.empty() || (m_stage == Stage::kListing && !listing && !m_listed)) {
      m_stage = listing ? Stage::kListing : Stage::kManifest;
      m_listed = !listing;
    }
    if (m_stage == Stage::kValidation &&
        (kind == "Identify" || (kind == "IsReadableFile" && !named.count(path))))
      m_stage = Stage::kListing;
    if (kind == "CreateNew") m_stage = Stage::kPacking;
    m_calls.push_back({kind, path, nth, m_stage});
    if (kind == "Close" && m_stage == Stage::kManifest) m_stage = Stage::kValidation;
  }

  std::mutex m_mutex;  // the compression service is called on several threads
  bool m_counting = false;
  std::vector<std::pair<Call, Fault>> m_targets;
  std::map<std::pair<std::string, std::string>, int> m_seen;
  std::vector<Call> m_calls;
  size_t m_hits = 0;
  Stage m_stage = Stage::kManifest;
  bool m_listed = false;  // whether the run's listing is done
};

// The real compression service behind the plan; each call is named by the
// file whose bytes it compresses, or by the package for its index.
class PlannedZlib : public IZlib {
 public:
  explicit PlannedZlib(FaultPlan* plan) : m_plan(plan) {
    KestCreateInstance(u"KestRTU.dll", u"IZlib", m_real.Put());
  }
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  int32_t Compress(const uint8_t* input, uint32_t length, uint8_t** output,
                   uint32_t* outputLength) override {
    auto source = sources.find(std::string(reinterpret_cast<const char*>(input), length));
    if (!m_plan->Pass("compress", source != sources.end() ? source->second : package))
      return kKestFailed;
    return m_real->Compress(input, length, output, outputLength);
  }
  int32_t CompressPiece(const uint8_t* input, uint32_t length, bool last, uint8_t** output,
                        uint32_t* outputLength) override {
    return m_real->CompressPiece(input, length, last, output, outputLength);
  }

  std::map<std::string, std::string> sources;  // contents to path
  std::string package;

 private:
  ServiceRef<IZlib> m_real;
  FaultPlan* m_plan;
};

// Bytes that look like a PNG image, different for each seed.
std::string Image(uint32_t seed, size_t size) {
  std::string s = "\x89PNG\r\n\x1a\n";
  uint32_t x = seed * 2654435761u + 7;
  while (s.size() < size) {
    x = x * 1664525u + 1013904223u;
    s += static_cast<char>(x >> 24);
  }
  return s;
}

std::string Catalog(const char* name, const char* image) {
  return std::string("      <catalog name=\"") + name + "\" image=\"" + image +
         "\" olx=\"10\" oly=\"8\" olwidth=\"100\" olheight=\"24\"/>\n";
}

std::string Shelf(const char* background, const std::string& catalogs) {
  return std::string("    <virtualshelf background=\"") + background +
         "\" uwidth=\"120\" uheight=\"160\" uhspace=\"12\" uvspace=\"16\">\n" + catalogs +
         "    </virtualshelf>\n";
}

// Three themes sharing a layout; the first has two layouts, so that either
// one makes its templates sound.
const std::string kManifest =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<nuvarinepackage>\n"
    "  <theme name=\"Ocean Day\" screenshot=\"shot-day.png\">\n"
    "    <templates>\n"
    "      <detail mode=\"grid\" file=\"layout-grid.xml\"/>\n"
    "      <detail mode=\"list\" file=\"layout-list.xml\"/>\n"
    "    </templates>\n" +
    Shelf("shelf-sand.png",
          Catalog("Novels", "cat-novels.png") + Catalog("Comics", "cat-comics.png")) +
    "  </theme>\n"
    "  <theme name=\"Ocean Night\" screenshot=\"shot-night.png\">\n"
    "    <templates><detail mode=\"grid\" file=\"layout-grid.xml\"/></templates>\n" +
    Shelf("shelf-deep.png", Catalog("Music", "cat-music.png")) +
    "  </theme>\n"
    "  <theme name=\"Coral\" screenshot=\"shot-coral.png\">\n"
    "    <templates><detail mode=\"cover\" file=\"layout-cover.xml\"/></templates>\n" +
    Shelf("shelf-coral.png", "") + "  </theme>\n</nuvarinepackage>\n";

// What a build must come to when one call fails.
struct Expected {
  enum Verdict { kFails, kSucceeds, kEither } verdict;
  std::string ending;      // how the run's log ends; empty: not fixed
  std::string holds;       // a line the run's log holds; empty: none
  bool leavesOut = false;  // the package lacks the file the call was on
  std::string noted{};     // the path of the note that gives the call's reason; empty: none
};

class FaultInjectionTest : public testing::Test {
 protected:
  FaultInjectionTest() {
    fs.AddFolder("themes");
    fs.AddFolder(folder);
    fs.AddFolder(JoinPath(folder, "drafts"));
    fs.AddFile(JoinPath(JoinPath(folder, "drafts"), "old.png"), Image(99, 300));
    fs.AddFile(JoinPath("themes", "forest.nvp"), "another theme's package");
    Add("main.xml", kManifest);
    const char* images[] = {"shot-day.png",    "shot-night.png", "shot-coral.png", "shelf-deep.png",
                            "shelf-coral.png", "cat-novels.png", "cat-comics.png", "cat-music.png"};
    for (uint32_t i = 0; i < 8; ++i) Add(images[i], Image(i, 400 + 700 * i));
    for (const char* name : images) plan.named.insert(JoinPath(folder, name));
    for (const char* name :
         {"shelf-sand.png", "layout-grid.xml", "layout-list.xml", "layout-cover.xml"})
      plan.named.insert(JoinPath(folder, name));
    // Larger than one read: the writer reads sources in pieces of 1 MiB.
    Add("shelf-sand.png", Image(8, (1 << 20) + 1000));
    Add("layout-grid.xml", "<layout kind=\"grid\" columns=\"4\"/>\n");
    Add("layout-list.xml", "<layout kind=\"list\"/>\n");
    Add("layout-cover.xml", "<layout kind=\"cover\" size=\"large\"/>\n");
    Add("empty.txt", "");
    Add("notes.txt", "First draft.\n");

    // The last good package, of the folder as it was, and the clean build
    // of the folder as it is.
    EXPECT_TRUE(Build(1).flags.Succeeded());
    previous = fs.Contents(package);
    Add("notes.txt", "Colours checked against the dark shelf.\n");
    EXPECT_TRUE(Build(1).flags.Succeeded());
    clean = fs.Contents(package);
    EXPECT_TRUE(previous != clean);
    EXPECT_EQ(Sources(), Unpack());

    zlib.package = package;
    for (const auto& source : Sources())
      zlib.sources[source.second] = JoinPath(folder, source.first);
    themesBefore = Names("themes");
    folderBefore = Names(folder);
    plan.Count();
    EXPECT_TRUE(Build(1).flags.Succeeded());
    EXPECT_TRUE(clean == fs.Contents(package));
  }

  void Add(const std::string& name, const std::string& contents) {
    fs.AddFile(JoinPath(folder, name), contents);
  }

  struct Run {
    RunFlags flags;
    std::string log;
    std::vector<std::pair<std::string, std::string>> notes;  // path, text
  };

  // The path, with the temporary package's drawn name made the same in every build.
  std::string Known(const std::string& path) const {
    return IsTemporaryPackagePath(package, path) ? temporary : path;
  }

  // One full build, over the last good package, with the plan in place.
  Run Build(unsigned jobs) {
    if (!previous.empty()) fs.AddFile(package, previous);
    fs.before = [this](Op op, const std::string& path) {
      return plan.Pass(MemoryFileSystem::NameOf(op), Known(path));
    };
    RecordingPublisher publisher;
    RecordingNotes notes;
    ThemeBuilder builder(fs, publisher, &zlib, BuildOptions{false, nullptr, jobs, nullptr, &notes});
    Run run{builder.BuildFolder(folder), builder.Log(), {}};
    for (const auto& note : notes.notes) run.notes.push_back({Known(note.first), note.second});
    fs.before = nullptr;
    return run;
  }

  // The paths of the notes that give an injected fault as their reason.
  std::vector<std::string> NotedFaults(const Run& run) const {
    std::vector<std::string> paths;
    for (const auto& note : run.notes)
      if (EndsWith(note.second, fs.faultText)) paths.push_back(note.first);
    return paths;
  }

  // The files directly in the folder, by name.
  std::map<std::string, std::string> Sources() const {
    std::map<std::string, std::string> sources;
    for (const char* name :
         {"main.xml", "shot-day.png", "shot-night.png", "shot-coral.png", "shelf-sand.png",
          "shelf-deep.png", "shelf-coral.png", "cat-novels.png", "cat-comics.png", "cat-music.png",
          "layout-grid.xml", "layout-list.xml", "layout-cover.xml", "empty.txt", "notes.txt"})
      sources[name] = fs.Contents(JoinPath(folder, name));
    return sources;
  }

  // The files of the package, by name; a fault the reader finds fails the
  // test.
  std::map<std::string, std::string> Unpack() {
    std::map<std::string, std::string> files = UnpackPackage(fs, package);
    if (files.count("")) ADD_FAILURE() << files[""];
    return files;
  }

  // The temporary packages in the package's folder.
  std::vector<std::string> Temporaries() {
    std::vector<std::string> temporaries;
    for (const std::string& name : Names("themes"))
      if (IsTemporaryPackagePath(package, JoinPath("themes", name))) temporaries.push_back(name);
    return temporaries;
  }

  std::vector<std::string> Names(const std::string& path) {
    std::vector<std::string> names;
    std::string err;
    EXPECT_EQ(ListResult::kComplete, fs.ListFolder(path, &names, &err));
    return names;
  }

  std::string NameOf(const std::string& path) const { return path.substr(folder.size() + 1); }
  bool IsSource(const std::string& path) const {
    return path.size() > folder.size() && Sources().count(NameOf(path)) != 0;
  }

  // What failing the call must lead to, by where in the build it is made.
  Expected OnFailure(const Call& c) const {
    const std::string manifest = JoinPath(folder, "main.xml");
    const std::string created = package + " successfully created.\r\n";
    // A package's path that cannot be told a device is none, as for lstat.
    if (c.kind == "IsDevice") return {Expected::kSucceeds, "", created};
    switch (c.stage) {
      case Stage::kManifest:
        // Closing a file that was only read can lose nothing.
        if (c.kind == "Close") return {Expected::kSucceeds, "", created};
        return {Expected::kFails, manifest + " ... failed\r\n\r\n", "", false, manifest};
      case Stage::kValidation:
        // The file test of a name the manifest gives, made once a run: a
        // layout that counts fails its theme, one beside a sound one does
        // not, and is left out of the package as the test found it.
        if (c.kind == "IsReadableFile")
          return {Expected::kEither, "", "Error: The file: '" + NameOf(c.path) + "' in attribute '",
                  true, c.path};
        break;
      case Stage::kListing:
        // A folder that cannot be listed counts as empty, without a word in
        // the log.
        if (c.kind == "ListFolder")
          return {Expected::kFails, "\r\nPacking files ...\r\n", "", false, folder};
        if (c.kind == "ListEntry")
          return {Expected::kFails, "Error: Unable to list folder: " + folder + ".\r\n", "", false,
                  folder};
        // The file test of an entry: a file that fails it is left out
        // without a word in the log, as one that another program holds open
        // for writing.
        if (c.kind == "IsReadableFile")
          return {Expected::kSucceeds, "", created, IsSource(c.path), c.path};
        // Whether an entry is the package itself, or leads outside through a
        // link: one that cannot be told is packed as a file of the folder.
        if (c.kind == "Identify" || c.kind == "Stamp" || c.kind == "LeadsOutside")
          return {Expected::kSucceeds, "", created};
        break;
      case Stage::kPacking:
        return OnPackingFailure(c);
    }
    ADD_FAILURE() << "a call no expectation covers: " << c.kind << " " << c.path;
    return {Expected::kFails, "", ""};
  }

  Expected OnPackingFailure(const Call& c) const {
    const std::string unableToWrite = "Error: Unable to write file: " + package + ".\r\n";
    const std::string created = package + " successfully created.\r\n";
    if (c.path == temporary) {
      if (c.kind == "CreateNew")
        return {Expected::kFails, "\r\nError: Unable to create file: " + package + ".\r\n", "",
                false, temporary};
      if (c.kind == "Write" || c.kind == "Sync" || c.kind == "Close")
        return {Expected::kFails, unableToWrite, "", false, temporary};
    } else if (c.kind == "MoveOver" && c.path == package) {
      // After the index, which was written whole.
      return {Expected::kFails,
              "</files>\r\n\r\nError: Unable to create file: " + package + ".\r\n", "", false,
              package};
    } else if (c.kind == "SyncFolderOf" && c.path == package) {
      return {Expected::kFails, "</files>\r\n\r\n" + unableToWrite, "", false, package};
    } else if (c.kind == "compress") {
      // The service gives no reason; the log's line is all there is.
      return {Expected::kFails, "Error: Compression failed: " + c.path + ".\r\n", ""};
    } else if (IsSource(c.path)) {
      // A size that cannot be had only changes the order files are read in.
      if (c.kind == "Close" || c.kind == "Stamp") return {Expected::kSucceeds, "", created};
      if (c.kind == "OpenForReading" || c.kind == "Size" || c.kind == "Read")
        return {Expected::kFails, "Error: Source files reading failed: " + c.path + ".\r\n", "",
                false, c.path};
    }
    ADD_FAILURE() << "a call no expectation covers: " << c.kind << " " << c.path;
    return {Expected::kFails, "", ""};
  }

  static bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
  }

  // What every build must leave, whatever failed: no file open, nothing
  // beside the package and the sources, and the sources untouched.
  void ExpectNothingLeft() {
    EXPECT_EQ(0, fs.OpenFiles());
    EXPECT_EQ(themesBefore, Names("themes"));
    EXPECT_EQ(folderBefore, Names(folder));
    EXPECT_EQ("another theme's package", fs.Contents(JoinPath("themes", "forest.nvp")));
  }

  // Whether a fault in the call comes after the new package was moved into
  // place: the package's folder is synced only then.
  static bool AfterTheMove(const Call& c) { return c.kind == "SyncFolderOf"; }

  // A build that fails keeps the last good package as it was and says so;
  // one that failed after the move leaves the new package whole in its place.
  void ExpectFailedRun(const Run& run, bool afterTheMove = false) {
    EXPECT_FALSE(run.flags.Succeeded());
    EXPECT_EQ(std::string::npos, run.log.find("successfully created"));
    EXPECT_EQ(std::string::npos, run.log.find("Process completed successfully"));
    if (afterTheMove) {
      EXPECT_TRUE(clean == fs.Contents(package)) << "the new package is not in place";
    } else {
      EXPECT_TRUE(previous == fs.Contents(package)) << "the last good package changed";
    }
  }

  void ExpectOutcome(const Call& c, const Expected& e, const Run& run) {
    // The system's reason reaches the notes, once, about the path concerned;
    // a build that may fail before it packs notes it only when it packs.
    const bool noted =
        !e.noted.empty() && (e.verdict != Expected::kEither || run.flags.Succeeded());
    EXPECT_EQ(noted ? std::vector<std::string>{e.noted} : std::vector<std::string>(),
              NotedFaults(run));
    if (!e.ending.empty()) {
      EXPECT_TRUE(EndsWith(run.log, e.ending)) << run.log;
    }
    if (!e.holds.empty()) {
      EXPECT_NE(std::string::npos, run.log.find(e.holds)) << run.log;
    }
    if (e.verdict == Expected::kFails ||
        (e.verdict == Expected::kEither && !run.flags.Succeeded())) {
      ExpectFailedRun(run, AfterTheMove(c));
      return;
    }
    EXPECT_TRUE(run.flags.Succeeded()) << run.log;
    if (!e.leavesOut) {
      EXPECT_TRUE(clean == fs.Contents(package)) << "the package differs from the clean build's";
      return;
    }
    std::map<std::string, std::string> expected = Sources();
    expected.erase(NameOf(c.path));
    EXPECT_EQ(expected, Unpack());
  }

  // One build per call of the clean build, that call failing or throwing.
  size_t InjectEach(Fault fault, unsigned jobs) {
    const std::vector<Call> calls = plan.Calls();
    for (const Call& c : calls) {
      SCOPED_TRACE(c.kind + " " + c.path + " #" + std::to_string(c.nth) + " on " +
                   std::to_string(jobs) + " threads");
      plan.Inject({{c, fault}});
      const Run run = Build(jobs);
      EXPECT_EQ(1u, plan.Hits());
      ExpectNothingLeft();
      if (fault == Fault::kThrow) {
        EXPECT_TRUE(EndsWith(run.log, kFatalErrorText)) << run.log;
        ExpectFailedRun(run, AfterTheMove(c));
      } else {
        ExpectOutcome(c, OnFailure(c), run);
      }
    }
    return calls.size();
  }

  const std::string folder = JoinPath("themes", "ocean");
  const std::string package = folder + ".nvp";
  // The calls on the temporary package are known by this name: each build
  // draws a name of its own.
  const std::string temporary = package + ".<drawn>.tmp";
  MemoryFileSystem fs;
  FaultPlan plan;
  PlannedZlib zlib{&plan};
  std::string previous;  // the last good package
  std::string clean;     // what a build without faults writes
  std::vector<std::string> themesBefore, folderBefore;
};

void Report(const char* what, size_t runs, Clock::time_point start) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  std::printf("[ faults   ] %s: %zu builds in %lld ms\n", what, runs,
              static_cast<long long>(ms.count()));
}

TEST_F(FaultInjectionTest, CleanBuildCallsEverySeam) {
  std::map<std::string, int> kinds;
  for (const Call& c : plan.Calls()) ++kinds[c.kind];
  // The manifest, its named files, the listing with each entry tested and
  // told from the package, the sources sized and read in pieces, and the
  // package written, flushed, closed, moved into place and its folder synced.
  for (const char* kind : {"OpenForReading", "Read", "Size", "Close", "IsReadableFile",
                           "ListFolder", "ListEntry", "Identify", "LeadsOutside", "Stamp",
                           "CreateNew", "Write", "Sync", "MoveOver", "SyncFolderOf", "compress"})
    EXPECT_LT(0, kinds[kind]) << kind;
  EXPECT_EQ(15, kinds["Stamp"]);                           // one a file, to order them, asked once
  EXPECT_EQ(kinds["ListEntry"], kinds["IsReadableFile"]);  // each entry tested once
  EXPECT_EQ(16, kinds["compress"]);                        // the index and 15 files
  // The header, before the log shows the index; what the buffer held before
  // the one block as large as it; that block; the rest.
  EXPECT_EQ(4, kinds["Write"]);
  EXPECT_EQ(0, kinds["RemoveFile"]);  // nothing to clean up
  std::string counts;
  for (const auto& k : kinds) counts += " " + k.first + " " + std::to_string(k.second) + ",";
  std::printf("[ faults   ] a clean build makes %zu calls:%s\n", plan.Calls().size(),
              counts.c_str());
}

TEST_F(FaultInjectionTest, EachCallFailsInTurn) {
  const auto start = Clock::now();
  Report("each call failing, one thread", InjectEach(Fault::kFail, 1), start);
}

TEST_F(FaultInjectionTest, EachCallThrowsInTurn) {
  const auto start = Clock::now();
  Report("each call throwing, one thread", InjectEach(Fault::kThrow, 1), start);
}

// The calls on one path keep their order on two threads, so each is met
// again; the outcome must not depend on which thread got there first.
TEST_F(FaultInjectionTest, EachCallFailsOrThrowsInTurnOnTwoThreads) {
  const auto start = Clock::now();
  const size_t runs = InjectEach(Fault::kFail, 2) + InjectEach(Fault::kThrow, 2);
  Report("each call failing, then throwing, two threads", runs, start);
}

// A temporary package that cannot be removed after a fault is the one thing
// left behind; the last good package is still kept, and the next build
// succeeds beside the temporary file, which it leaves alone. The writer removes it after a failure,
// the run's catch-all after a throw; the writer's removal may throw as well, and then the catch-all
// removes the file. Which call failed first matters only by its kind and what it was made on, so
// the first of each such call is taken.
TEST_F(FaultInjectionTest, TemporaryPackageThatCannotBeRemoved) {
  const auto start = Clock::now();
  const Call removal{"RemoveFile", temporary, 1, Stage::kPacking};
  std::set<std::string> taken;
  size_t runs = 0;
  for (const Call& c : plan.Calls()) {
    // No temporary file yet, or none any more.
    if (c.stage != Stage::kPacking || c.kind == "CreateNew" || AfterTheMove(c)) continue;
    const std::string on = c.path == temporary || c.path == package ? c.path : "a source";
    if (!taken.insert(c.kind + " " + on).second) continue;
    const bool failureFailsTheBuild = OnFailure(c).verdict == Expected::kFails;
    for (Fault first : {Fault::kFail, Fault::kThrow}) {
      if (first == Fault::kFail && !failureFailsTheBuild) continue;  // nothing to remove
      for (Fault second : {Fault::kFail, Fault::kThrow}) {
        if (first == Fault::kThrow && second == Fault::kThrow) continue;  // see below
        SCOPED_TRACE(c.kind + " " + c.path + " #" + std::to_string(c.nth));
        plan.Inject({{c, first}, {removal, second}});
        const Run run = Build(1);
        ++runs;
        EXPECT_EQ(2u, plan.Hits());
        ExpectFailedRun(run);
        EXPECT_EQ(0, fs.OpenFiles());
        EXPECT_TRUE(EndsWith(run.log, first == Fault::kThrow || second == Fault::kThrow
                                          ? kFatalErrorText
                                          : OnFailure(c).ending))
            << run.log;
        if (second == Fault::kThrow) {
          ExpectNothingLeft();
          continue;
        }
        const std::vector<std::string> left = Temporaries();
        EXPECT_EQ(1u, left.size());
        // The log says nothing of it; a note names it.
        const std::pair<std::string, std::string> leftBehind{temporary,
                                                             "left behind: " + fs.faultText};
        EXPECT_NE(run.notes.end(), std::find(run.notes.begin(), run.notes.end(), leftBehind));
        plan.Inject({});
        EXPECT_TRUE(Build(1).flags.Succeeded());
        ++runs;
        EXPECT_EQ(left, Temporaries());
        EXPECT_TRUE(clean == fs.Contents(package));
        std::string err;
        for (const std::string& name : left) fs.RemoveFile(JoinPath("themes", name), &err);
        ExpectNothingLeft();
      }
    }
  }
  // A removal that throws inside the catch-all is not tried: the catch-all's
  // own cleanup is trusted not to throw, as its writing of the log is.
  EXPECT_EQ(11u, taken.size());
  Report("faults whose cleanup fails, each with the build after it", runs, start);
}

}  // namespace
}  // namespace nv
