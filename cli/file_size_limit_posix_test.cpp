// The nvtheme program itself, run under a file-size limit (ulimit -f) as a
// shell runs it, with the limit's signal, SIGXFSZ, at its default, which
// ends the process: writing past the limit must be a write error like any
// other, reported, with nothing cut short left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/disk_build.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

namespace fsys = std::filesystem;
using namespace disk_build;

// Bytes that deflate cannot shrink, so that they are written as they are.
std::string Incompressible(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 2024;
  for (char& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

struct Ran {
  std::string ended;  // "exit N" or "signal N"
  std::string out;    // standard output
};

// Runs nvtheme with `args`, its files allowed to grow to `limit` bytes and
// its standard error written to `errPath`.
Ran RunLimited(std::vector<std::string> args, rlim_t limit, const std::string& errPath) {
  args.insert(args.begin(), NV_NVTHEME);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  int fds[2];
  if (::pipe(fds) != 0) return {"no pipe", ""};
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(fds[1], STDOUT_FILENO);  // a pipe: the limit does not apply to it
    ::dup2(err, STDERR_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::signal(SIGXFSZ, SIG_DFL);
    const struct rlimit fileSize = {limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  Ran ran;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) ran.out.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ran.ended = WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                : "signal " + std::to_string(WTERMSIG(status));
  return ran;
}

class FileSizeLimitTest : public testing::Test {
 protected:
  // A theme folder whose package is too large for the limits below.
  FileSizeLimitTest() : folder(MakeTheme(temp.Path())), package(folder + ".nvp") {
    WriteFile(JoinPath(folder, "big.png"), Incompressible(200 << 10));
  }

  TempFolder temp;
  const std::string folder;
  const std::string package;
  const std::string errPath = JoinPath(temp.Path(), "stderr.txt");
};

TEST_F(FileSizeLimitTest, BuildReportsTheWriteAndKeepsTheLastGoodPackage) {
  const std::string lastGood = "a package of the folder as it was";
  WriteFile(package, lastGood);
  const Ran ran = RunLimited({"build", folder}, 64 << 10, errPath);
  EXPECT_EQ("exit 1", ran.ended);
  const std::string line = "\r\nError: Unable to write file: " + package + ".\r\n";
  ASSERT_LE(line.size(), ran.out.size()) << ran.out;
  EXPECT_EQ(line, ran.out.substr(ran.out.size() - line.size()));
  EXPECT_EQ(lastGood, ReadFile(package));
  EXPECT_EQ(std::vector<std::string>(), Temporaries(package));
}

TEST_F(FileSizeLimitTest, ExtractRemovesTheFileItCouldNotFinish) {
  ASSERT_TRUE(Build(folder).flags.Succeeded());
  const std::string out = JoinPath(temp.Path(), "out");
  const Ran ran = RunLimited({"extract", package, out}, 100 << 10, errPath);
  EXPECT_EQ("exit 1", ran.ended);
  // big.png comes first, and the extraction ends with it.
  const std::string err = ReadFile(errPath);
  EXPECT_EQ(0u, err.find("nvtheme: " + package + ": ")) << err;
  EXPECT_NE(std::string::npos, err.find("cannot write " + JoinPath(out, "big.png"))) << err;
  EXPECT_TRUE(fsys::is_directory(out));
  EXPECT_TRUE(fsys::is_empty(out));
}

}  // namespace
}  // namespace nv
