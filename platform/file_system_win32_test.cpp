#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

#include "platform/file_system.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

class Win32ReadableFileTest : public testing::Test {
 protected:
  // Opens the file as another program would, with the given access and sharing.
  HANDLE Hold(const std::string& path, DWORD access, DWORD share) {
    HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    return h;
  }

  bool Readable(const std::string& path) {
    std::string why;
    return fs.IsReadableFile(path, &why);
  }

  TempFolder temp;
  FileSystem& fs = RealFileSystem();
};

TEST_F(Win32ReadableFileTest, FileHeldByAnotherHandleDependsOnItsSharing) {
  struct Holder {
    const char* name;
    DWORD access;
    DWORD share;
    bool readable;
  };
  const Holder holders[] = {
      {"reading, sharing reads", GENERIC_READ, FILE_SHARE_READ, true},
      {"reading, sharing everything", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {"reading, sharing nothing", GENERIC_READ, 0, false},
      {"writing, sharing reads and writes", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
       false},
      {"writing, sharing nothing", GENERIC_WRITE, 0, false},
  };
  const std::string file = temp.Put("shot.png", "png");
  for (const Holder& h : holders) {
    HANDLE held = Hold(file, h.access, h.share);
    EXPECT_EQ(h.readable, Readable(file)) << h.name;
    CloseHandle(held);
    EXPECT_TRUE(Readable(file)) << h.name;
  }
}

TEST_F(Win32ReadableFileTest, ReservedDeviceNamesCountAsMissing) {
  for (const char* name : {"nul", "NUL.png", "aux", "con", "com1"})
    EXPECT_FALSE(Readable(JoinPath(temp.Path(), name))) << name;
}

// In any folder, and in the device namespace: what a package must never be
// moved over.
TEST_F(Win32ReadableFileTest, DeviceNamesAreDevicesWherever) {
  FileSystem& fs = RealFileSystem();
  const std::pair<std::string, bool> cases[] = {{"NUL", true},
                                                {JoinPath(temp.Path(), "con.nvp"), true},
                                                {"\\\\.\\pipe\\x", true},
                                                {"D:/themes/COM1", true},
                                                {JoinPath(temp.Path(), "ocean.nvp"), false},
                                                {JoinPath(temp.Path(), "console.nvp"), false}};
  for (const auto& [path, device] : cases) EXPECT_EQ(device, fs.IsDevice(path)) << path;
}

// Nanoseconds since 1970 count no further than the year 2262; NTFS keeps
// times up to 30828, and a stamp of a later one holds the latest time
// there is, never one reckoned past it.
TEST(Win32StampTest, ATimeBeyondTheYear2262IsTheLatest) {
  TempFolder temp;
  const std::string file = temp.Put("future.png", "png");
  SYSTEMTIME year2400 = {};
  year2400.wYear = 2400;
  year2400.wMonth = year2400.wDay = 1;
  FILETIME set, kept;
  ASSERT_TRUE(SystemTimeToFileTime(&year2400, &set));
  HANDLE h = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  const bool setAndKept = SetFileTime(h, nullptr, nullptr, &set) &&
                          GetFileTime(h, nullptr, nullptr, &kept) &&
                          CompareFileTime(&set, &kept) == 0;
  CloseHandle(h);
  if (!setAndKept) GTEST_SKIP() << "this disk keeps no such time";
  FileStamp stamp, open;
  std::string err;
  ASSERT_TRUE(RealFileSystem().Stamp(file, &stamp, &err)) << err;
  auto in = RealFileSystem().OpenForReading(file, Sharing::kRead, &err);
  ASSERT_NE(nullptr, in) << err;
  ASSERT_TRUE(in->Stamp(&open, &err)) << err;
  EXPECT_EQ(INT64_MAX, stamp.modified);
  EXPECT_TRUE(stamp == open);
}

}  // namespace
}  // namespace nv
