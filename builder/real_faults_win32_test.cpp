// Full builds on Windows' real disk while another program holds their files
// open: a package that cannot be replaced, a source that cannot be read.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "testing/build_runs_on_disk.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

using namespace on_disk;

// The environment that tells this test program, started again, which file
// to hold open and how.
const char kHoldFile[] = "NV_HOLD_FILE";
const char kHoldAccess[] = "NV_HOLD_ACCESS";
const char kHoldShare[] = "NV_HOLD_SHARE";
const char kHoldEvents[] = "NV_HOLD_EVENTS";

std::string Environment(const char* name) {
  char value[MAX_PATH + 1] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// Another program holding a file open: this test program, started again to
// run HolderProcess.HoldsTheFile alone, which opens the file with the given
// access and sharing and keeps it open until the holder is destroyed.
class Holder {
 public:
  Holder(const std::string& path, DWORD access, DWORD share) {
    static int count = 0;
    const std::string events =
        "nv_hold_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++count);
    m_held = CreateEventA(nullptr, TRUE, FALSE, (events + "_held").c_str());
    m_release = CreateEventA(nullptr, TRUE, FALSE, (events + "_release").c_str());
    SetEnvironmentVariableA(kHoldFile, path.c_str());
    SetEnvironmentVariableA(kHoldAccess, std::to_string(access).c_str());
    SetEnvironmentVariableA(kHoldShare, std::to_string(share).c_str());
    SetEnvironmentVariableA(kHoldEvents, events.c_str());
    Start();
    for (const char* name : {kHoldFile, kHoldAccess, kHoldShare, kHoldEvents})
      SetEnvironmentVariableA(name, nullptr);
    // Held, or the holder ended without holding it.
    HANDLE either[] = {m_held, m_process.hProcess};
    m_holding =
        m_process.hProcess && WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
  }
  ~Holder() {
    SetEvent(m_release);
    if (m_process.hProcess) {
      WaitForSingleObject(m_process.hProcess, 60000);
      CloseHandle(m_process.hProcess);
      CloseHandle(m_process.hThread);
    }
    CloseHandle(m_held);
    CloseHandle(m_release);
  }
  bool Holding() const { return m_holding; }

 private:
  // Its output goes nowhere, so that it does not mix with this program's.
  void Start() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string command = "\"" + std::string(exe) + "\" --gtest_filter=HolderProcess.HoldsTheFile";
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE nul =
        CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = start.hStdOutput = start.hStdError = nul;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                        &m_process))
      m_process = PROCESS_INFORMATION{};
    CloseHandle(nul);
  }

  HANDLE m_held;
  HANDLE m_release;
  PROCESS_INFORMATION m_process = {};
  bool m_holding = false;
};

// Not a test of its own: the other program of the tests below.
TEST(HolderProcess, HoldsTheFile) {
  const std::string path = Environment(kHoldFile);
  if (path.empty()) GTEST_SKIP() << "run only as the program that holds a file for another test";
  const std::string events = Environment(kHoldEvents);
  HANDLE file = CreateFileA(path.c_str(), std::stoul(Environment(kHoldAccess)),
                            std::stoul(Environment(kHoldShare)), nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, (events + "_held").c_str());
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (events + "_release").c_str());
  SetEvent(held);
  WaitForSingleObject(release, 60000);
  CloseHandle(file);
  CloseHandle(held);
  CloseHandle(release);
}

class HeldFilesTest : public testing::Test {
 protected:
  HeldFilesTest() : folder(MakeTheme(temp.Path())), package(folder + ".nvp") {
    WriteFile(JoinPath(folder, "notes.txt"), "notes");
    EXPECT_TRUE(Build(folder).flags.Succeeded());
    lastGood = ReadFile(package);
    // A change, so that a build that replaced the package would show.
    WriteFile(JoinPath(folder, "notes.txt"), "notes, changed");
  }

  TempFolder temp;
  const std::string folder;
  const std::string package;
  std::string lastGood;
};

// What the media application does while it shows a theme: it reads the
// package and lets others read it too. Windows then refuses to move another
// file over it, and so does Wine.
TEST_F(HeldFilesTest, FileHeldByAnotherProgramIsNotReplaced) {
  const std::string replacement = package + ".new";
  for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
    SCOPED_TRACE(share);
    WriteFile(replacement, "replacement");
    {
      Holder holder(package, GENERIC_READ, share);
      ASSERT_TRUE(holder.Holding());
      EXPECT_FALSE(MoveFileExA(replacement.c_str(), package.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
      EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    }
    EXPECT_TRUE(lastGood == ReadFile(package));
    EXPECT_EQ("replacement", ReadFile(replacement));
    DeleteFileA(replacement.c_str());
  }
}

TEST_F(HeldFilesTest, PackageHeldOpenIsKeptAndTheBuildFails) {
  {
    Holder holder(package, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(holder.Holding());
    const RunOutcome run = Build(folder);
    // The package is written whole before the move fails, so its index is
    // in the log.
    EXPECT_NE(std::string::npos, run.log.find("</files>\r\n\r\nError: Unable to create file: "));
    EXPECT_EQ("failed; Error: Unable to create file: " + package +
                  ".; last good package kept; temporary file gone",
              Outcome(run, package, lastGood));
  }
  // Once let go, the package is replaced.
  EXPECT_TRUE(Build(folder).flags.Succeeded());
  EXPECT_EQ("notes, changed", Unpack(package)["notes.txt"]);
}

// What an editor does while it writes a file: others may not even read it.
// The file fails the test of files in the folder and is left out without a
// word; the build goes on without it.
TEST_F(HeldFilesTest, SourceHeldOpenForWritingIsLeftOut) {
  const std::string notes = JoinPath(folder, "notes.txt");
  Holder holder(notes, GENERIC_WRITE, 0);
  ASSERT_TRUE(holder.Holding());
  const RunOutcome run = Build(folder);
  EXPECT_TRUE(run.flags.Succeeded()) << run.log;
  EXPECT_NE(std::string::npos, run.log.find("\r\nPacking files ...\r\n"));
  EXPECT_EQ(std::string::npos, run.log.find("notes.txt"));
  const std::map<std::string, std::string> files = Unpack(package);
  EXPECT_EQ(4u, files.size());
  EXPECT_EQ(0u, files.count("notes.txt"));
}

}  // namespace
}  // namespace nv
