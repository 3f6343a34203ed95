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

#include "testing/build_runs_on_disk.h"
#include "testing/run_program_posix.h"
#include "testing/temp_folder.h"
#include "testing/test_bytes.h"

namespace nv {
namespace {

namespace fsys = std::filesystem;
using namespace on_disk;

// Runs nvtheme with `args`, its files allowed to grow to `limit` bytes (its
// standard output and error are pipes, to which the limit does not apply),
// and SIGXFSZ as the system leaves it: the end of the process.
ProgramRun RunLimited(std::vector<std::string> args, rlim_t limit) {
  args.insert(args.begin(), NV_NVTHEME);
  const auto prepare = [limit] {
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit fileSize = {limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) ::_exit(125);
  };
  return RunProgram(args, prepare);
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
};

TEST_F(FileSizeLimitTest, BuildReportsTheWriteAndKeepsTheLastGoodPackage) {
  const std::string lastGood = "a package of the folder as it was";
  WriteFile(package, lastGood);
  const ProgramRun ran = RunLimited({"build", folder}, 64 << 10);
  EXPECT_EQ(1, ran.status);
  const std::string line = "\r\nError: Unable to write file: " + package + ".\r\n";
  ASSERT_LE(line.size(), ran.out.size()) << ran.out;
  EXPECT_EQ(line, ran.out.substr(ran.out.size() - line.size()));
  EXPECT_EQ(lastGood, ReadFile(package));
  EXPECT_EQ(std::vector<std::string>(), Temporaries(package));
}

TEST_F(FileSizeLimitTest, ExtractRemovesAllItMadeWhenAWriteFails) {
  ASSERT_TRUE(Build(folder).flags.Succeeded());
  const std::string out = JoinPath(temp.Path(), "out");
  const ProgramRun ran = RunLimited({"extract", package, out}, 100 << 10);
  EXPECT_EQ(1, ran.status);
  // big.png comes first, and the extraction ends with it.
  const std::string& err = ran.err;
  EXPECT_EQ(0u, err.find("nvtheme: " + package + ": ")) << err;
  EXPECT_NE(std::string::npos, err.find("cannot write " + JoinPath(out, "big.png"))) << err;
  // The folder too, which it made.
  EXPECT_FALSE(fsys::exists(out));
}

}  // namespace
}  // namespace nv
