// The file system on Windows: the narrow ("A") kernel calls, with
// GetLastError put into words by FormatMessageA.
#include "platform/file_system.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>

#include "platform/device_name.h"

namespace nv {

const char kPathSeparator = '\\';
const NameRules kPlatformNameRules = NameRules::kWindows;
const bool kOpenFilesHoldOffReplacing = true;

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What stripping would leave of a root: nothing (from "\"), a drive ("D:",
// "\\?\D:") or a share ("\\server\share": at most one separator after the
// leading two).
bool IsStrippedRoot(const std::string& path) {
  if (path.empty() || path.back() == ':') return true;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
  return std::count_if(path.begin() + 2, path.end(), IsSeparator) <= 1;
}

}  // namespace

std::string StripTrailingSeparators(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  if (end == path.size()) return path;
  std::string stripped = path.substr(0, end);
  return IsStrippedRoot(stripped) ? path : stripped;
}

namespace {

bool Fail(std::string* err, const char* what) {
  DWORD code = GetLastError();
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) --n;
  *err = std::string(what) + ": " + (n ? std::string(text, n) : "error " + std::to_string(code));
  return false;
}

// Windows counts time in 100 ns steps since 1601.
constexpr int64_t kStepsFrom1601To1970 = 116444736000000000;

// Nanoseconds since 1970 reach from 1677 to 2262; a time beyond (NTFS
// keeps any up to 30828, set by any program) is held at the nearest end,
// never let overflow. The change time still tells such a file's changes
// apart.
int64_t Nanoseconds(const LARGE_INTEGER& t) {
  if (t.QuadPart > INT64_MAX / 100 + kStepsFrom1601To1970) return INT64_MAX;
  if (t.QuadPart < INT64_MIN / 100 + kStepsFrom1601To1970) return INT64_MIN;
  return (t.QuadPart - kStepsFrom1601To1970) * 100;
}

// The stamp of an open handle: its identity and size, and its last write
// and change times (the latter is what ChangeTime keeps, like POSIX ctime).
bool StampOf(HANDLE h, FileStamp* stamp, std::string* err) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return Fail(err, "GetFileInformationByHandle");
  FILE_BASIC_INFO times;
  if (!GetFileInformationByHandleEx(h, FileBasicInfo, &times, sizeof times))
    return Fail(err, "GetFileInformationByHandleEx");
  stamp->size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp->modified = Nanoseconds(times.LastWriteTime);
  stamp->changed = Nanoseconds(times.ChangeTime);
  stamp->identity.device = info.dwVolumeSerialNumber;
  stamp->identity.file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// ReadFile and WriteFile take 32-bit counts.
constexpr DWORD kMaxChunk = 1u << 30;

class Win32File : public File {
 public:
  explicit Win32File(HANDLE h) : m_handle(h) {}
  ~Win32File() override {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
  }

  bool Read(void* buffer, size_t size, size_t* got, std::string* err) override {
    *got = 0;
    while (*got < size) {
      DWORD want = static_cast<DWORD>(std::min<size_t>(size - *got, kMaxChunk));
      DWORD n = 0;
      if (!ReadFile(m_handle, static_cast<char*>(buffer) + *got, want, &n, nullptr))
        return Fail(err, "ReadFile");
      if (n == 0) break;
      *got += n;
    }
    return true;
  }

  bool Write(const void* data, size_t size, std::string* err) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD want = static_cast<DWORD>(std::min<size_t>(size, kMaxChunk));
      DWORD n = 0;
      if (!WriteFile(m_handle, p, want, &n, nullptr)) return Fail(err, "WriteFile");
      if (n == 0) {
        SetLastError(ERROR_WRITE_FAULT);
        return Fail(err, "WriteFile");
      }
      p += n;
      size -= n;
    }
    return true;
  }

  bool Size(uint64_t* size, std::string* err) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(m_handle, &li)) return Fail(err, "GetFileSizeEx");
    *size = static_cast<uint64_t>(li.QuadPart);
    return true;
  }

  bool Stamp(FileStamp* stamp, std::string* err) override { return StampOf(m_handle, stamp, err); }

  bool Seek(uint64_t offset, std::string* err) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
      SetLastError(ERROR_NEGATIVE_SEEK);
      return Fail(err, "SetFilePointerEx");
    }
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) || Fail(err, "SetFilePointerEx");
  }

  // SetEndOfFile cuts where the file pointer is; the pointer is put back.
  bool Truncate(uint64_t size, std::string* err) override {
    LARGE_INTEGER at, to;
    to.QuadPart = static_cast<LONGLONG>(std::min<uint64_t>(size, INT64_MAX));
    if (!SetFilePointerEx(m_handle, LARGE_INTEGER{}, &at, FILE_CURRENT) ||
        !SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN))
      return Fail(err, "SetFilePointerEx");
    const bool cut = SetEndOfFile(m_handle) || Fail(err, "SetEndOfFile");
    SetFilePointerEx(m_handle, at, nullptr, FILE_BEGIN);
    return cut;
  }

  bool Sync(std::string* err) override {
    return FlushFileBuffers(m_handle) || Fail(err, "FlushFileBuffers");
  }

  bool Close(std::string* err) override {
    HANDLE h = m_handle;
    m_handle = INVALID_HANDLE_VALUE;
    return CloseHandle(h) || Fail(err, "CloseHandle");
  }

  // As the file system's IsPrivate says.
  bool IsPrivate(std::string*) override { return true; }

 private:
  HANDLE m_handle;
};

std::unique_ptr<File> Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                           std::string* err) {
  HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail(err, "CreateFileA");
    return nullptr;
  }
  return std::make_unique<Win32File>(h);
}

// Where the path ends once every link, junction and other reparse point on
// its way is followed; empty, with *err saying why, when it cannot be told.
std::string FinalPath(const std::string& path, std::string* err) {
  // Backup semantics let folders be opened too; no access is asked for.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail(err, "CreateFileA");
    return "";
  }
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  const bool found = n > 0 && n < sizeof buffer;
  // Too long a path is told by its length alone, without an error code.
  if (n >= sizeof buffer) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  if (!found) Fail(err, "GetFinalPathNameByHandleA");
  CloseHandle(h);
  return found ? std::string(buffer, n) : "";
}

class Win32FileSystem : public FileSystem {
 public:
  bool PathExists(const std::string& path, std::string* err) override {
    return PathFileExistsA(path.c_str()) != FALSE || Fail(err, "PathFileExistsA");
  }

  // Devices live in the "\\.\" namespace, and under their names in every
  // folder.
  bool IsDevice(const std::string& path) override {
    const size_t last = path.find_last_of("\\/:");
    const std::string name = last == std::string::npos ? path : path.substr(last + 1);
    return path.compare(0, 4, "\\\\.\\") == 0 || IsWindowsDeviceName(name);
  }

  bool IsReadableFile(const std::string& path, std::string* err) override {
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, and a file
    // that another program writes refuses FILE_SHARE_READ alone: both fail here.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      Fail(err, "CreateFileA");
      const DWORD attributes = GetFileAttributesA(path.c_str());
      const bool folder =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      if (folder) err->clear();
      return false;
    }
    // Reserved names such as "nul", "aux" or "nul.png" open a device in any
    // folder; only a file on disk counts.
    const bool onDisk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    if (!onDisk) *err = "a device, not a file on disk";
    return onDisk;
  }

  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override {
    err->clear();
    const std::string inside = FinalPath(folder, err), end = FinalPath(path, err);
    if (inside.empty() || end.empty()) return false;
    // Letter case does not tell names apart, so it does not tell places apart.
    const std::string prefix = IsSeparator(inside.back()) ? inside : inside + "\\";
    if (end.size() > prefix.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, end.data(),
                                                     static_cast<int>(prefix.size()), prefix.data(),
                                                     static_cast<int>(prefix.size())) == CSTR_EQUAL)
      return false;
    *target = end;
    return true;
  }

  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                       std::string* err) override {
    const DWORD share = FILE_SHARE_READ | (sharing == Sharing::kReadWrite ? FILE_SHARE_WRITE : 0) |
                        (sharing == Sharing::kReadDelete ? FILE_SHARE_DELETE : 0);
    return Open(path, GENERIC_READ, share, OPEN_EXISTING, err);
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) override {
    return Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS, err);
  }

  std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) override {
    return Open(path, GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW, err);
  }

  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override {
    names->clear();
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(JoinPath(folder, "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      Fail(err, "FindFirstFileA");
      return ListResult::kNotStarted;
    }
    ListResult result = ListResult::kComplete;
    do {
      names->push_back(data.cFileName);  // the long name, never the 8.3 alias
    } while (FindNextFileA(find, &data));
    // FindNextFileA fails at the end too; only this code says it was the end.
    if (GetLastError() != ERROR_NO_MORE_FILES) {
      Fail(err, "FindNextFileA");
      result = ListResult::kFailedPartWay;
    }
    FindClose(find);
    return result;
  }

  bool CreateFolder(const std::string& path, std::string* err) override {
    return CreateDirectoryA(path.c_str(), nullptr) || Fail(err, "CreateDirectoryA");
  }

  // What is made in the user's profile folder inherits its access list,
  // which keeps it to the user.
  bool CreatePrivateFolder(const std::string& path, std::string* err) override {
    return CreateFolder(path, err);
  }

  std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::string* err) override {
    return CreateNew(path, err);
  }

  bool MoveOver(const std::string& from, const std::string& to, std::string* err) override {
    // Fails while another program holds `to` open, which keeps that file whole.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           Fail(err, "MoveFileExA");
  }

  // Windows has no call that makes one folder's entries durable, short of
  // flushing the whole volume, which takes an administrator; MoveOver asks
  // for the move to be written through before it returns.
  bool SyncFolderOf(const std::string&, std::string*) override { return true; }

  bool RemoveFile(const std::string& path, std::string* err) override {
    return DeleteFileA(path.c_str()) || Fail(err, "DeleteFileA");
  }

  bool RemoveFolder(const std::string& path, std::string* err) override {
    return RemoveDirectoryA(path.c_str()) || Fail(err, "RemoveDirectoryA");
  }

  bool Identify(const std::string& path, FileIdentity* id, std::string* err) override {
    // Backup semantics let folders be opened too; no access is asked for.
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail(err, "CreateFileA");
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
    if (!ok) Fail(err, "GetFileInformationByHandle");
    CloseHandle(h);
    if (!ok) return false;
    id->device = info.dwVolumeSerialNumber;
    id->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
  }

  bool FileSize(const std::string& path, uint64_t* size, std::string* err) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
      return Fail(err, "GetFileAttributesExA");
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
  }

  bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) override {
    // Reading attributes alone lets others go on writing, and opens folders too.
    HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail(err, "CreateFileA");
    const bool ok = StampOf(h, stamp, err);
    CloseHandle(h);
    return ok;
  }

  bool FullPath(const std::string& path, std::string* full, std::string* err) override {
    char buffer[MAX_PATH * 4];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (n >= sizeof buffer) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    if (n == 0 || n >= sizeof buffer) return Fail(err, "GetFullPathNameA");
    full->assign(buffer, n);
    return true;
  }

  // The user's own profile folder, where the callers look, is the user's
  // alone: Windows keeps it so.
  bool IsPrivate(const std::string&, std::string*) override { return true; }
};

}  // namespace

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace nv
