// The real nvtheme program in a child process, under what only POSIX lets a
// test set up: a limit on its address space, and a full device for its
// standard output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

// AddressSanitizer reserves terabytes of address space for its shadow
// memory, so no limit on it can hold under the sanitizers.
constexpr bool kSanitized = NV_SANITIZED;
constexpr rlim_t kMiB = 1 << 20;

// How the program ended: its exit status, or 128 and the signal that ended
// it as shells tell it, and what it wrote to standard error.
struct Ended {
  int status = -1;
  std::string err;
};

// Runs nvtheme with `args`, its standard output going to the file `output`
// and its address space limited to `memoryLimit` bytes.
Ended RunInChild(const std::vector<std::string>& args, const std::string& output,
                 rlim_t memoryLimit = RLIM_INFINITY) {
  std::vector<char*> argv = {const_cast<char*>(NV_NVTHEME)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int errPipe[2];
  if (::pipe(errPipe) != 0) return {-1, std::string("pipe: ") + std::strerror(errno)};
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const rlimit limit{memoryLimit, memoryLimit};
    if (out < 0 || ::dup2(out, 1) < 0 || ::dup2(errPipe[1], 2) < 0 ||
        ::setrlimit(RLIMIT_AS, &limit) != 0)
      ::_exit(125);
    ::close(errPipe[0]);
    ::execv(NV_NVTHEME, argv.data());
    ::_exit(126);
  }
  ::close(errPipe[1]);
  Ended ended;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0) ended.err.append(buffer, n);
  ::close(errPipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return ended;
}

std::string Deflated(const std::string& content) {
  std::string out(compressBound(static_cast<uLong>(content.size())), '\0');
  uLongf length = static_cast<uLongf>(out.size());
  compress2(reinterpret_cast<Bytef*>(&out[0]), &length,
            reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()),
            Z_BEST_COMPRESSION);
  out.resize(length);
  return out;
}

// A package of this index and `files` files, each stored as `block` and
// empty once inflated.
std::string PackageOf(const std::string& index, int files, const std::string& block) {
  const PackageHeaderBytes header = ComposeHeader();
  std::string bytes(header.begin(), header.end());
  const std::string indexBlock = Deflated(index);
  auto append = [&bytes](int32_t id, const std::string& stored, size_t size) {
    const EntryRecordBytes record = ComposeRecord(
        {id, static_cast<uint32_t>(stored.size()), static_cast<uint32_t>(size)});
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
    const Ended ended = RunInChild(args, output, 64 * kMiB);
    EXPECT_EQ(1, ended.status) << command;
    EXPECT_EQ("nvtheme: " + package +
                  ": the index holds more elements than the package has entries\n",
              ended.err)
        << command;
  }
}

TEST_F(MemoryLimitTest, LargePackageIsListedInProportionToItsSize) {
  folder.Put("theme.nvp", ManyFiles());
  const Ended ended = RunInChild({"list", package}, output, 200000 * 1024);
  EXPECT_EQ(0, ended.status) << ended.err;
  std::ifstream listed(output);
  size_t lines = 0;
  for (std::string line; std::getline(listed, line);) ++lines;
  EXPECT_EQ(300000u, lines);
}

TEST_F(MemoryLimitTest, MemoryRunningOutIsAFaultNotACrash) {
  folder.Put("theme.nvp", ManyFiles());
  const Ended ended = RunInChild({"list", package}, output, 64 * kMiB);
  EXPECT_EQ(1, ended.status);
  EXPECT_EQ("nvtheme: " + package + ": out of memory\n", ended.err);
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
  const std::vector<std::vector<std::string>> commands = {
      {"list", theme + ".nvp"},
      {"verify", theme + ".nvp"},
      {"build", theme},
      {"check", theme},
      {"check", "--format=gnu", faulty},
  };
  for (const std::vector<std::string>& args : commands) {
    const Ended ended = RunInChild(args, "/dev/full");
    EXPECT_EQ(1, ended.status) << args[0];
    EXPECT_EQ("nvtheme: write error: No space left on device\n", ended.err) << args[0];
  }
}

}  // namespace
}  // namespace nv
