// The real nvtheme program in a child process, under what only POSIX lets a
// test set up: a limit on its address space, a full device for its
// standard output, and a terminal for its standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/folder_report.h"
#include "package/build_cache_format.h"
#include "package/entry_producer.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package/previous_package.h"
#include "testing/build_runs_on_disk.h"
#include "testing/json_reader.h"
#include "testing/run_program_posix.h"
#include "testing/temp_folder.h"
#include "testing/test_bytes.h"

namespace nv {
namespace {

// AddressSanitizer reserves terabytes of address space for its shadow
// memory, so no limit on it can hold under the sanitizers.
constexpr bool kSanitized = NV_SANITIZED;
constexpr rlim_t kMiB = 1 << 20;

// Runs nvtheme with `args`, its standard output going to the file `output`
// and its address space limited to `memoryLimit` bytes.
ProgramRun RunInChild(std::vector<std::string> args, const std::string& output,
                      rlim_t memoryLimit = RLIM_INFINITY) {
  args.insert(args.begin(), NV_NVTHEME);
  const auto limit = [memoryLimit] {
    const rlimit as{memoryLimit, memoryLimit};
    if (::setrlimit(RLIMIT_AS, &as) != 0) ::_exit(125);
  };
  return RunProgram(args, limit, output);
}

// A package of this index and `files` files, each stored as `block` and
// empty once inflated.
std::string PackageOf(const std::string& index, int files, const std::string& block) {
  const PackageHeaderBytes header = ComposeHeader();
  std::string bytes(header.begin(), header.end());
  const std::string indexBlock = Deflated(index);
  auto append = [&bytes](int32_t id, const std::string& stored, size_t size) {
    const EntryRecordBytes record =
        ComposeRecord({id, static_cast<uint32_t>(stored.size()), static_cast<uint32_t>(size)});
    bytes.append(record.begin(), record.end());
    bytes += stored;
  };
  append(0, indexBlock, index.size());
  for (int id = 1; id <= files; ++id) append(id, block, 0);
  return bytes;
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>";

// A sound package of 300,000 empty files.
std::string ManyFiles() {
  constexpr int kFiles = 300000;
  std::string index = std::string(kDeclaration) + "<files>";
  for (int id = 1; id <= kFiles; ++id) {
    const std::string number = std::to_string(id);
    index += "<file filename=\"file" + std::string(6 - number.size(), '0') + number +
             ".png\" id=\"" + number + "\" />";
  }
  index += "</files>";
  return PackageOf(index, kFiles, Deflated(""));
}

class NvthemeProcessTest : public testing::Test {
 protected:
  TempFolder folder;
  const std::string package = JoinPath(folder.Path(), "theme.nvp");
  const std::string output = JoinPath(folder.Path(), "output.txt");
};

class MemoryLimitTest : public NvthemeProcessTest {
 protected:
  void SetUp() override {
    if (kSanitized) GTEST_SKIP() << "no limit on the address space holds under the sanitizers";
  }
};

// 10,500 empty records, 76 bytes each, and an index as long as they may
// claim, of four-byte elements deflated a thousandfold: 800 KB that would
// have the parser build four million nodes.
TEST_F(MemoryLimitTest, IndexBombIsRefusedWithinAFewMegabytes) {
  constexpr int kRecords = 10500;
  std::string index = std::string(kDeclaration) + "<files>";
  while (index.size() < 1500u * kRecords) index += "<f/>";
  index += "</files>";
  folder.Put("theme.nvp", PackageOf(index, kRecords, ""));
  for (const char* command : {"list", "verify", "extract"}) {
    std::vector<std::string> args = {command, package};
    if (args[0] == "extract") args.push_back(JoinPath(folder.Path(), "out"));
    const ProgramRun ended = RunInChild(args, output, 64 * kMiB);
    EXPECT_EQ(1, ended.status) << command;
    EXPECT_EQ(
        "nvtheme: " + package + ": the index holds more elements than the package has entries\n",
        ended.err)
        << command;
  }
}

TEST_F(MemoryLimitTest, LargePackageIsListedInProportionToItsSize) {
  folder.Put("theme.nvp", ManyFiles());
  const ProgramRun ended = RunInChild({"list", package}, output, 200000 * 1024);
  EXPECT_EQ(0, ended.status) << ended.err;
  std::ifstream listed(output);
  size_t lines = 0;
  for (std::string line; std::getline(listed, line);) ++lines;
  EXPECT_EQ(300000u, lines);
}

TEST_F(MemoryLimitTest, MemoryRunningOutIsAFaultNotACrash) {
  folder.Put("theme.nvp", ManyFiles());
  const ProgramRun ended = RunInChild({"list", package}, output, 64 * kMiB);
  EXPECT_EQ(1, ended.status);
  EXPECT_EQ("nvtheme: " + package + ": out of memory\n", ended.err);
}

// Writes `size` bytes that deflate cannot shrink, a piece at a time.
bool WriteRandomFile(const std::string& path, uint64_t size, std::mt19937_64& random) {
  std::ofstream file(path, std::ios::binary);
  std::vector<uint64_t> piece(kMiB / sizeof(uint64_t));
  for (uint64_t done = 0; done < size; done += kMiB) {
    for (uint64_t& word : piece) word = random();
    file.write(reinterpret_cast<const char*>(piece.data()),
               static_cast<std::streamsize>(std::min<uint64_t>(kMiB, size - done)));
  }
  return static_cast<bool>(file.flush());
}

class PeakMemoryTest : public NvthemeProcessTest {
 protected:
  void SetUp() override {
    if (kSanitized) GTEST_SKIP() << "the sanitizers keep freed memory and have a heap of their own";
  }
};

// A build holds no more than its budget of files and blocks on any number
// of threads, and the heap keeps little of what it frees besides: 500 MB
// of files from 1 MB to 100 MB, none of which deflate shrinks.
TEST_F(PeakMemoryTest, BuildStaysNearItsBudgetOnAnyNumberOfThreads) {
  const std::string theme = JoinPath(folder.Path(), "theme");
  ASSERT_EQ(0, RunProgram({NV_NVTHEME, "init", theme}).status);
  const struct {
    int megabytes;
    int files;
  } sizes[] = {{100, 1}, {50, 2}, {20, 7}, {10, 10}, {5, 8}, {2, 5}, {1, 10}};
  std::mt19937_64 random(1);
  int n = 0;
  for (const auto& size : sizes) {
    for (int k = 0; k < size.files; ++k)
      ASSERT_TRUE(WriteRandomFile(JoinPath(theme, "data" + std::to_string(++n) + ".bin"),
                                  uint64_t{1000000} * size.megabytes, random));
  }
  for (const char* jobs : {"1", "2", "64"}) {
    const ProgramRun ended =
        RunProgram({NV_NVTHEME, "build", "-q", "--no-cache", "-j", jobs, "-o", package, theme});
    EXPECT_EQ(0, ended.status) << ended.err;
    EXPECT_LE(ended.peakMemory, EntryProducer::kDefaultBudget + 64 * kMiB) << "-j " << jobs;
    std::filesystem::remove(package);
  }
}

// Output lost to a full disk fails every command that writes it, which says
// so on standard error in the system's words.
TEST_F(NvthemeProcessTest, FullStandardOutputFailsTheCommand) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  const std::string theme = JoinPath(folder.Path(), "ocean");
  std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), theme);
  ASSERT_EQ(0, RunInChild({"build", theme}, output).status);
  const std::string faulty = JoinPath(folder.Path(), "faulty");
  std::filesystem::copy(theme, faulty);
  std::filesystem::remove(JoinPath(faulty, "shelf-sand.png"));
  // A folder's summary still reaches standard error, before the fault.
  const std::string built = "nvtheme: " + theme + ".nvp: 10 files, " +
                            FormatSize(std::filesystem::file_size(theme + ".nvp")) + "\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> commands = {
      {{"list", theme + ".nvp"}, ""},
      {{"verify", theme + ".nvp"}, ""},
      {{"build", theme}, built},
      {{"check", theme}, "nvtheme: " + theme + ": 0 errors, 0 warnings\n"},
      {{"check", "--format=gnu", faulty}, ""},
  };
  for (const auto& command : commands) {
    const std::vector<std::string>& args = command.first;
    const ProgramRun ended = RunInChild(args, "/dev/full");
    EXPECT_EQ(1, ended.status) << args[0];
    EXPECT_EQ(command.second + "nvtheme: write error: No space left on device\n", ended.err)
        << args[0];
  }
}

// Colour goes to a terminal that shows it, unless NO_COLOR or TERM=dumb
// asks for none, and never into a pipe.
TEST_F(NvthemeProcessTest, DiagnosticsAreColouredOnATerminalOnly) {
  const std::string faulty = JoinPath(folder.Path(), "faulty");
  std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), faulty);
  std::filesystem::remove(JoinPath(faulty, "shelf-sand.png"));
  const struct {
    bool terminal;
    const char* term;
    const char* noColour;  // null: unset
    bool coloured;
  } cases[] = {
      {true, "xterm", nullptr, true}, {true, "xterm", "", true},        {true, "xterm", "1", false},
      {true, "dumb", nullptr, false}, {false, "xterm", nullptr, false},
  };
  for (const auto& c : cases) {
    int terminal = -1, side = -1;
    ASSERT_EQ(0, ::openpty(&terminal, &side, nullptr, nullptr, nullptr));
    const auto prepare = [&] {
      ::setenv("TERM", c.term, 1);
      c.noColour ? ::setenv("NO_COLOR", c.noColour, 1) : ::unsetenv("NO_COLOR");
      if (c.terminal && ::dup2(side, STDERR_FILENO) < 0) ::_exit(125);
    };
    const ProgramRun ended = RunProgram({NV_NVTHEME, "check", faulty}, prepare, output);
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    std::string err = ended.err;
    char bytes[4096];
    for (ssize_t n; (n = ::read(terminal, bytes, sizeof bytes)) > 0;) err.append(bytes, n);
    ::close(terminal);
    ::close(side);
    EXPECT_EQ(1, ended.status);
    EXPECT_NE(std::string::npos, err.find("error:")) << err;
    EXPECT_EQ(c.coloured, err.find("\x1b[1;31merror:\x1b[0m") != std::string::npos)
        << c.terminal << " TERM=" << c.term << " NO_COLOR=" << (c.noColour ? c.noColour : "-");
  }
}

// A device, a pipe or a socket where the package would go stays what it
// is, at the default path and at -o's: the build refuses before it starts.
// A character device is made only where the test may (as root).
TEST_F(NvthemeProcessTest, SpecialFileAtThePackagePathIsRefused) {
  const std::string theme = JoinPath(folder.Path(), "ocean");
  std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), theme);
  const std::string fifo = theme + ".nvp", device = JoinPath(folder.Path(), "null");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const bool root = ::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
  const std::string socketPath = JoinPath(folder.Path(), "socket");
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(0, ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address));
  std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {fifo, {"build", theme}}, {socketPath, {"build", "-o", socketPath, theme}}};
  if (root) cases.push_back({device, {"build", "-o", device, theme}});
  for (auto& [path, args] : cases) {
    args.insert(args.begin(), NV_NVTHEME);
    const ProgramRun ended = RunProgram(args);
    EXPECT_EQ(2, ended.status) << path;
    EXPECT_EQ("nvtheme: " + path +
                  ": not written: it is a device, a pipe or a socket, which a "
                  "package never replaces\n",
              ended.err);
    EXPECT_EQ("", ended.out);
    struct stat st;
    ASSERT_EQ(0, ::lstat(path.c_str(), &st)) << path;
    EXPECT_FALSE(S_ISREG(st.st_mode)) << path << " was replaced";
  }
  ::close(socket);
}

// Ctrl-C or a termination request while the package is being written:
// the temporary package goes, the last good package stays, and the
// command says so and exits 130 with no more of the log.
TEST_F(NvthemeProcessTest, InterruptedBuildLeavesTheLastGoodPackage) {
  const std::string theme = JoinPath(folder.Path(), "ocean");
  std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), theme);
  {
    std::ofstream rows(JoinPath(theme, "rows.raw"));
    for (int row = 0; row < 600000; ++row) rows << "row " << row % 7919 << " of " << row << "\n";
  }
  ASSERT_EQ(0, RunProgram({NV_NVTHEME, "build", theme}).status);
  const std::string good = on_disk::ReadFile(theme + ".nvp");
  for (int signal : {SIGINT, SIGTERM}) {
    RunningProgram building({NV_NVTHEME, "build", "-j", "1", theme});
    bool writing = false;
    for (int wait = 0; wait < 5000 && !writing; ++wait) {
      for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        writing |= IsTemporaryPackagePath(theme + ".nvp", entry.path().string());
      if (!writing) ::usleep(1000);
    }
    ASSERT_TRUE(writing) << "the build never began writing";
    const ProgramRun ended = building.End(signal);
    EXPECT_EQ(130, ended.status) << signal;
    EXPECT_EQ("nvtheme: interrupted\n", ended.err) << signal;
    EXPECT_EQ(std::string::npos, ended.out.find("successfully created")) << signal;
    EXPECT_EQ(good, on_disk::ReadFile(theme + ".nvp")) << signal;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
      EXPECT_FALSE(IsTemporaryPackagePath(theme + ".nvp", entry.path().string())) << signal;
  }
}

// Ctrl-C or a termination request while extract writes: what it made goes,
// the folder it created included, and the files --force was replacing stay
// as they were, with none of its temporary files beside them.
TEST_F(NvthemeProcessTest, InterruptedExtractLeavesTheFolderAsItWas) {
  namespace fsys = std::filesystem;
  const std::string theme = JoinPath(folder.Path(), "ocean");
  fsys::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), theme);
  std::ofstream(JoinPath(theme, "zeros.raw")).close();
  fsys::resize_file(JoinPath(theme, "zeros.raw"), uint64_t{256} << 20);  // sparse: made at once
  ASSERT_EQ(0, RunProgram({NV_NVTHEME, "build", "--no-cache", theme}).status);
  const std::string into = JoinPath(folder.Path(), "into");
  const std::string kept = JoinPath(folder.Path(), "kept");
  fsys::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), kept);
  const auto contents = [](const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fsys::directory_iterator(dir))
      files[entry.path().filename().string()] = on_disk::ReadFile(entry.path().string());
    return files;
  };
  const auto made = [](const fsys::path& dir, const std::string& start) {
    std::error_code absent;
    for (const auto& entry : fsys::directory_iterator(dir, absent))
      if (entry.path().filename().string().rfind(start, 0) == 0) return true;
    return false;
  };
  struct Case {
    int signal;
    std::vector<std::string> args;
    std::string dir, shows;  // what shows extract is writing
  };
  for (const Case& c :
       {Case{SIGINT, {"extract", theme + ".nvp", into}, into, "zeros"},
        Case{SIGTERM, {"extract", "--force", theme + ".nvp", kept}, kept, ".nvtheme-"}}) {
    const auto before = contents(kept);
    std::vector<std::string> argv = c.args;
    argv.insert(argv.begin(), NV_NVTHEME);
    RunningProgram extracting(argv);
    bool writing = false;
    for (int wait = 0; wait < 5000 && !writing; ++wait) {
      writing = made(c.dir, c.shows);
      if (!writing) ::usleep(1000);
    }
    ASSERT_TRUE(writing) << "extract never began writing";
    const ProgramRun ended = extracting.End(c.signal);
    EXPECT_EQ(130, ended.status) << c.signal;
    EXPECT_EQ("nvtheme: interrupted\n", ended.err) << c.signal;
    EXPECT_FALSE(fsys::exists(into));
    EXPECT_FALSE(made(kept, ".nvtheme-"));
    EXPECT_TRUE(before == contents(kept));
  }
}

// The build cache where others could have written it, as in a shared
// XDG_CACHE_HOME: a folder anyone may write to, or a cache file of another
// user's, crafted and sealed to give a file changed since the last build
// its old block. The real program passes the cache over with a note, and
// the package holds the file as it is now. A cache folder the program
// makes is the user's alone (0700, its files 0600), whatever the mode mask.
TEST_F(NvthemeProcessTest, ACacheOthersCouldHaveWrittenIsPassedOver) {
  struct Shared {
    const char* what;
    bool fileGiven;  // else the folder is opened to all
    std::string theme, home, cache, file;
  };
  std::vector<Shared> cases = {{"a cache folder anyone may write to", false, "", "", "", ""},
                               {"a cache file of another user's", true, "", "", "", ""}};
  if (::geteuid() != 0) cases.pop_back();  // only root can give a file to another user
  const auto mode = [](const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  };
  const auto run = [](const Shared& c, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {NV_NVTHEME};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, [&c] {
      ::setenv("XDG_CACHE_HOME", c.home.c_str(), 1);
      ::umask(0);
    });
  };
  const std::string edited = "<layout mode=\"list\" rowheight=\"60\"/>\n";
  int64_t latest = 0;
  for (Shared& c : cases) {
    const std::string parent = JoinPath(folder.Path(), c.fileGiven ? "file" : "folder");
    c.theme = JoinPath(parent, "ocean");
    c.home = JoinPath(parent, "cache");
    c.cache = JoinPath(c.home, "nvtheme");
    std::filesystem::create_directories(c.theme);
    std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), c.theme);
    const ProgramRun first = run(c, {"build", c.theme});
    ASSERT_EQ(0, first.status) << first.err;
    EXPECT_EQ(0700u, mode(c.home));
    EXPECT_EQ(0700u, mode(c.cache));
    // The package's blocks, and its images' verdicts beside them.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(c.cache)) {
      EXPECT_EQ(0600u, mode(entry.path().string())) << entry.path();
      if (entry.path().extension() == ".cache") files.push_back(entry.path().string());
    }
    ASSERT_EQ(1u, files.size());
    c.file = files[0];
    // The file changed, and the cache made over to vouch for it as it is.
    const std::string source = JoinPath(c.theme, "layout-list.xml");
    on_disk::WriteFile(source, edited);
    FileStamp now;
    CachedPackage cached;
    std::string err, bytes;
    ASSERT_TRUE(RealFileSystem().Stamp(source, &now, &err)) << err;
    ASSERT_TRUE(DecodeCache(on_disk::ReadFile(c.file), &cached, &err)) << err;
    for (CachedFile& file : cached.files)
      if (file.name == "layout-list.xml") file.stamp = now;
    cached.readFrom = std::max(now.modified, now.changed) + kRacyNanoseconds + 1;
    latest = std::max(latest, cached.readFrom);
    ASSERT_TRUE(EncodeCache(cached, &bytes, &err)) << err;
    on_disk::WriteFile(c.file, bytes);
    ASSERT_EQ(0,
              c.fileGiven ? ::chown(c.file.c_str(), 65534, 65534) : ::chmod(c.cache.c_str(), 0777));
  }
  // The next builds begin after the time the crafted caches give.
  while (std::chrono::system_clock::now().time_since_epoch() <= std::chrono::nanoseconds(latest))
    ::usleep(10000);
  for (const Shared& c : cases) {
    const std::string note =
        c.fileGiven ? c.file + ": build cache not used: it belongs to another user (uid 65534)"
                    : c.cache +
                          ": build cache not used: its group or other users may write "
                          "to it (mode 0777)";
    const ProgramRun second = run(c, {"build", c.theme});
    EXPECT_EQ(0, second.status) << c.what;
    EXPECT_NE(std::string::npos, second.err.find("nvtheme: " + note + "\n")) << c.what << "\n"
                                                                             << second.err;
    EXPECT_EQ(edited, on_disk::Unpack(c.theme + ".nvp")["layout-list.xml"]) << c.what;
    EXPECT_EQ(0, run(c, {"verify", c.theme + ".nvp"}).status) << c.what;
  }
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root; the rest passed";
}

// An author's save while `check --watch` waits: one run more, started
// within a second of the folder going quiet, and Ctrl-C or SIGTERM ends the
// waiting with success.
TEST_F(NvthemeProcessTest, WatchRunsAgainOnASaveUntilCtrlC) {
  using namespace std::chrono;
  const std::string theme = JoinPath(folder.Path(), "ocean");
  std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), theme);
  const std::string waiting = "nvtheme: waiting for changes (Ctrl-C to stop)\n";
  RunningProgram watching({NV_NVTHEME, "check", "--watch", theme});
  ASSERT_TRUE(watching.AwaitError(waiting, 1, 10000)) << watching.SoFar().err;

  // An editor opening main.xml makes its swap file and probes the folder,
  // and removes the swap file when it is done: no run for those.
  std::ofstream(JoinPath(theme, ".main.xml.swp")) << "swap";
  std::ofstream(JoinPath(theme, "4913")).close();
  std::filesystem::remove(JoinPath(theme, "4913"));
  std::filesystem::remove(JoinPath(theme, ".main.xml.swp"));
  EXPECT_FALSE(watching.AwaitError("files changed", 1, 1000)) << watching.SoFar().err;
  std::filesystem::remove(JoinPath(theme, "shelf-sand.png"));
  std::ofstream(JoinPath(theme, "main.xml"), std::ios::app) << "\n";
  const auto quiet = steady_clock::now();
  ASSERT_TRUE(watching.AwaitError(" files changed: checking again ====\n", 1, 10000));
  EXPECT_LT(steady_clock::now() - quiet, seconds(1));
  ASSERT_TRUE(watching.AwaitError(waiting, 2, 10000)) << watching.SoFar().err;

  const ProgramRun ended = watching.End(SIGINT);
  EXPECT_EQ(0, ended.status);
  // A termination request ends the waiting as Ctrl-C does.
  RunningProgram asked({NV_NVTHEME, "check", "--watch", theme});
  ASSERT_TRUE(asked.AwaitError(waiting, 1, 10000)) << asked.SoFar().err;
  const ProgramRun terminated = asked.End(SIGTERM);
  EXPECT_EQ(0, terminated.status);
  EXPECT_EQ(std::string::npos, terminated.err.find("interrupted"));
  const std::string err = ended.err;
  const size_t rerun = err.find("files changed");
  EXPECT_EQ(0u, err.find("nvtheme: " + theme + ": 0 errors, 0 warnings\n" + waiting));
  EXPECT_NE(std::string::npos, err.find("nvtheme: " + theme + ": 2 errors, 0 warnings\n", rerun));
  EXPECT_EQ(std::string::npos, err.find("files changed", rerun + 1)) << "one run for one save";
  EXPECT_NE(std::string::npos, ended.out.find("Error: Theme is invalid.\r\n"));
}

// Watching, each run's document is one line of its own, and each run ends
// with its summary, a clean one too, whatever the format.
TEST_F(NvthemeProcessTest, WatchWritesADocumentALineAndEachRunsSummary) {
  const std::string theme = JoinPath(folder.Path(), "ocean");
  std::filesystem::copy(JoinPath(NV_EXAMPLES_DIR, "ocean"), theme);
  const std::string waiting = "nvtheme: waiting for changes (Ctrl-C to stop)\n";
  const std::string clean = "nvtheme: " + theme + ": 0 errors, 0 warnings\n";
  for (const char* format : {"--format=json", "--format=sarif", "--format=gnu"}) {
    std::filesystem::copy_file(JoinPath(JoinPath(NV_EXAMPLES_DIR, "ocean"), "shelf-sand.png"),
                               JoinPath(theme, "shelf-sand.png"),
                               std::filesystem::copy_options::overwrite_existing);
    RunningProgram watching({NV_NVTHEME, "check", "--watch", format, theme});
    ASSERT_TRUE(watching.AwaitError(waiting, 1, 10000)) << format << watching.SoFar().err;
    std::filesystem::remove(JoinPath(theme, "shelf-sand.png"));
    ASSERT_TRUE(watching.AwaitError(waiting, 2, 10000)) << format << watching.SoFar().err;
    const ProgramRun ended = watching.End(SIGINT);
    EXPECT_EQ(0u, ended.err.find(clean + waiting)) << format << "\n" << ended.err;
    EXPECT_NE(std::string::npos,
              ended.err.find("nvtheme: " + theme + ": 2 errors, 0 warnings\n" + waiting))
        << format << "\n"
        << ended.err;
    if (std::string(format) == "--format=gnu") continue;
    std::istringstream lines(ended.out);
    size_t documents = 0;
    for (std::string line; std::getline(lines, line); ++documents) {
      JsonValue document;
      std::string error;
      EXPECT_TRUE(JsonReader::Parse(line, &document, &error)) << format << ": " << error;
    }
    EXPECT_EQ(2u, documents) << format << "\n" << ended.out;
  }
}

}  // namespace
}  // namespace nv
