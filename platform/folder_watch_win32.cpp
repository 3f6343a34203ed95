// Folder watching on Windows: ReadDirectoryChangesW on every folder, all
// completing on one I/O completion port, which Ctrl-C posts to as well.
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "platform/folder_watch.h"

namespace nv {

namespace {

using Clock = std::chrono::steady_clock;

// How often a folder that is missing is looked for.
constexpr DWORD kLookAgainMs = 250;

// Reads by the build itself change the last-access time, which is left out
// or every run would start the next.
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION;

constexpr ULONG_PTR kInterruptKey = 0;  // every folder's key is its address

HANDLE g_port = nullptr;  // the port the console's handler posts Ctrl-C to

// The console closed ends the process once the handler returns, so it
// ends here, as a stop while waiting ends: with success, nothing being
// under way.
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type == CTRL_CLOSE_EVENT) ExitProcess(0);
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  PostQueuedCompletionStatus(g_port, 0, kInterruptKey, nullptr);
  return TRUE;
}

std::string Reason(const std::string& what) {
  const DWORD code = GetLastError();
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) --n;
  return what + ": " + (n ? std::string(text, n) : "error " + std::to_string(code));
}

// One folder and the read of its changes that is under way. Its address
// stays fixed while the system may write into it.
struct Watched {
  std::string path;
  HANDLE dir = INVALID_HANDLE_VALUE;  // while the folder is missing
  OVERLAPPED overlapped = {};
  alignas(DWORD) char changes[16 * 1024];
};

class DirectoryChangesWatch : public FolderWatch {
 public:
  ~DirectoryChangesWatch() override {
    CatchInterrupts(false);
    for (auto& w : m_folders) Close(*w);
    if (m_port) CloseHandle(m_port);
  }

  explicit DirectoryChangesWatch(const IgnoredName& ignored) : m_ignored(ignored) {}

  bool Open(const std::vector<std::string>& folders, std::string* err) {
    m_port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (!m_port) {
      *err = Reason("CreateIoCompletionPort");
      return false;
    }
    for (const std::string& folder : folders) {
      m_folders.push_back(std::make_unique<Watched>());
      m_folders.back()->path = folder;
    }
    bool cameBack = false;
    return LookForMissing(&cameBack, err);
  }

  void CatchInterrupts(bool on) override {
    if (on == m_catching) return;
    m_catching = on;
    g_port = m_port;
    SetConsoleCtrlHandler(OnConsoleControl, on ? TRUE : FALSE);
  }

  Event Wait(int quietMs, std::string* err) override {
    const Clock::time_point end =
        quietMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(quietMs);
    for (;;) {
      bool cameBack = false;
      if (!LookForMissing(&cameBack, err)) return Event::Failed;
      if (cameBack) return Event::Changed;
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* done = nullptr;
      const BOOL ok = GetQueuedCompletionStatus(m_port, &bytes, &key, &done, Timeout(end));
      const Event read =
          done ? Completed(*reinterpret_cast<Watched*>(key), ok, bytes) : Event::Quiet;
      if (read != Event::Quiet) return read;
      if (done) continue;
      if (ok && key == kInterruptKey) return Event::Interrupted;
      if (GetLastError() != WAIT_TIMEOUT) {
        *err = Reason("GetQueuedCompletionStatus");
        return Event::Failed;
      }
      if (Clock::now() >= end) return Event::Quiet;
    }
  }

 private:
  DWORD Timeout(Clock::time_point end) const {
    DWORD timeout = INFINITE;
    if (end != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
      timeout = static_cast<DWORD>(std::clamp<long long>(left, 0, 1 << 30));
    }
    const bool missing = std::any_of(m_folders.begin(), m_folders.end(),
                                     [](const auto& w) { return w->dir == INVALID_HANDLE_VALUE; });
    return missing ? std::min(timeout, kLookAgainMs) : timeout;
  }

  // Watches each missing folder that exists now; *cameBack tells whether
  // one did.
  bool LookForMissing(bool* cameBack, std::string* err) {
    for (auto& w : m_folders) {
      if (w->dir != INVALID_HANDLE_VALUE) continue;
      // Sharing delete lets the author remove or rename the folder while it
      // is watched; the read then fails and the folder is looked for again.
      w->dir =
          CreateFileA(w->path.c_str(), FILE_LIST_DIRECTORY,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
      if (w->dir == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_DIRECTORY)
          continue;
        *err = Reason(w->path);
        return false;
      }
      if (!CreateIoCompletionPort(w->dir, m_port, reinterpret_cast<ULONG_PTR>(w.get()), 0)) {
        *err = Reason(w->path);
        return false;
      }
      *cameBack |= Arm(*w);
    }
    return true;
  }

  // Starts the next read of the folder's changes; a folder that cannot be
  // read is missing.
  bool Arm(Watched& w) {
    w.overlapped = OVERLAPPED();
    if (ReadDirectoryChangesW(w.dir, w.changes, sizeof w.changes, FALSE, kChanges, nullptr,
                              &w.overlapped, nullptr))
      return true;
    CloseHandle(w.dir);
    w.dir = INVALID_HANDLE_VALUE;
    return false;
  }

  // A read that ended: with changes (Quiet when all were to ignored names),
  // with more than its buffer held (nothing in it, but changes all the
  // same), or failed, as it does when the folder is removed.
  Event Completed(Watched& w, BOOL ok, DWORD bytes) {
    if (!ok) {
      CloseHandle(w.dir);
      w.dir = INVALID_HANDLE_VALUE;
      return Event::Changed;
    }
    const bool changed = bytes == 0 || AnyNotIgnored(w.changes);
    Arm(w);  // only now, as it reuses the buffer
    return changed ? Event::Changed : Event::Quiet;
  }

  bool AnyNotIgnored(const char* changes) const {
    bool any = false;
    for (DWORD at = 0;;) {
      const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(changes + at);
      const int wide = static_cast<int>(change->FileNameLength / sizeof(WCHAR));
      // The narrow name, as the command's own paths are spelt.
      const int n =
          WideCharToMultiByte(CP_ACP, 0, change->FileName, wide, nullptr, 0, nullptr, nullptr);
      std::string name(static_cast<size_t>(n), '\0');
      WideCharToMultiByte(CP_ACP, 0, change->FileName, wide, &name[0], n, nullptr, nullptr);
      any |= !m_ignored(name);
      if (change->NextEntryOffset == 0) return any;
      at += change->NextEntryOffset;
    }
  }

  void Close(Watched& w) {
    if (w.dir == INVALID_HANDLE_VALUE) return;
    // The system writes into w.changes until the read is seen to end.
    DWORD bytes = 0;
    if (CancelIoEx(w.dir, &w.overlapped)) GetOverlappedResult(w.dir, &w.overlapped, &bytes, TRUE);
    CloseHandle(w.dir);
  }

  IgnoredName m_ignored;
  HANDLE m_port = nullptr;
  bool m_catching = false;
  std::vector<std::unique_ptr<Watched>> m_folders;
};

}  // namespace

std::unique_ptr<FolderWatch> WatchFolders(const std::vector<std::string>& folders,
                                          const IgnoredName& ignored, std::string* err) {
  auto watch = std::make_unique<DirectoryChangesWatch>(ignored);
  if (!watch->Open(folders, err)) return nullptr;
  return watch;
}

}  // namespace nv
