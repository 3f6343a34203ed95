// Folder watching on Linux: inotify, with Ctrl-C brought into the same
// poll through a pipe that the signal's handler writes to.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/folder_watch.h"

namespace nv {

namespace {

using Clock = std::chrono::steady_clock;

// How often a folder that is missing is looked for.
constexpr int kLookAgainMs = 250;

// Reads by the build itself (open, access, close without writing) are
// not changes, or every run would start the next.
constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                              IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                              IN_ONLYDIR;

int g_interruptPipe = -1;  // its write end: all the handler touches

void OnInterrupt(int) {
  const int saved = errno;
  const char byte = 0;
  if (::write(g_interruptPipe, &byte, 1) < 0) {
  }  // a full pipe already holds an interruption
  errno = saved;
}

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

class InotifyWatch : public FolderWatch {
 public:
  ~InotifyWatch() override {
    CatchInterrupts(false);
    for (int fd : {m_inotify, m_pipe[0], m_pipe[1]})
      if (fd >= 0) ::close(fd);
  }

  explicit InotifyWatch(const IgnoredName& ignored) : m_ignored(ignored) {}

  bool Open(const std::vector<std::string>& folders, std::string* err) {
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0 || ::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
      *err = Reason(m_inotify < 0 ? "inotify" : "pipe");
      return false;
    }
    for (const std::string& folder : folders) m_folders.push_back({folder, -1});
    bool cameBack = false;
    return LookForMissing(&cameBack, err);
  }

  // A termination request is a stop as Ctrl-C is: while the command
  // waits, nothing is under way that it could cut short.
  void CatchInterrupts(bool on) override {
    if (on == m_catching) return;
    m_catching = on;
    if (!on) {
      ::sigaction(SIGINT, &m_previous[0], nullptr);
      ::sigaction(SIGTERM, &m_previous[1], nullptr);
      return;
    }
    g_interruptPipe = m_pipe[1];
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &m_previous[0]);
    ::sigaction(SIGTERM, &action, &m_previous[1]);
  }

  Event Wait(int quietMs, std::string* err) override {
    const Clock::time_point end =
        quietMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(quietMs);
    for (;;) {
      bool cameBack = false;
      if (!LookForMissing(&cameBack, err)) return Event::Failed;
      if (cameBack) return Event::Changed;
      pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_pipe[0], POLLIN, 0}};
      const int ready = ::poll(fds, 2, PollTimeout(end));
      if (ready < 0 && errno != EINTR) {
        *err = Reason("poll");
        return Event::Failed;
      }
      if (ready > 0 && fds[1].revents) return DrainInterrupts();
      const Event read = ready > 0 && fds[0].revents ? ReadEvents(err) : Event::Quiet;
      if (read != Event::Quiet) return read;
      if (Clock::now() >= end) return Event::Quiet;
    }
  }

 private:
  struct Watched {
    std::string path;
    int wd;  // -1 while the folder is missing
  };

  int PollTimeout(Clock::time_point end) const {
    int timeout = -1;
    if (end != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
      timeout = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
    }
    const bool missing =
        std::any_of(m_folders.begin(), m_folders.end(), [](const Watched& w) { return w.wd < 0; });
    return missing && (timeout < 0 || timeout > kLookAgainMs) ? kLookAgainMs : timeout;
  }

  // Watches each missing folder that exists now; *cameBack tells whether
  // one did.
  bool LookForMissing(bool* cameBack, std::string* err) {
    for (Watched& w : m_folders) {
      if (w.wd >= 0) continue;
      w.wd = ::inotify_add_watch(m_inotify, w.path.c_str(), kChanges);
      if (w.wd >= 0) {
        *cameBack = true;
      } else if (errno == ENOSPC) {
        *err = w.path + ": the system's limit on watches (fs.inotify.max_user_watches) is reached";
        return false;
      } else if (errno != ENOENT && errno != ENOTDIR) {
        *err = Reason(w.path);
        return false;
      }
    }
    return true;
  }

  Event DrainInterrupts() {
    char bytes[64];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    return Event::Interrupted;
  }

  // Changed, or Quiet when every event was to an ignored name. A folder
  // moved or removed is looked for again at its name; events lost to a
  // full queue may have been of any file.
  Event ReadEvents(std::string* err) {
    alignas(inotify_event) char buffer[64 * 1024];
    ssize_t got;
    bool changed = false;
    while ((got = ::read(m_inotify, buffer, sizeof buffer)) > 0) {
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->wd >= 0 && (event->mask & (IN_IGNORED | IN_MOVE_SELF))) Lose(event->wd);
        changed |= event->len == 0 || !m_ignored(event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    if (got >= 0 || errno == EAGAIN || errno == EINTR)
      return changed ? Event::Changed : Event::Quiet;
    *err = Reason("inotify");
    return Event::Failed;
  }

  void Lose(int wd) {
    for (Watched& w : m_folders) {
      if (w.wd != wd) continue;
      ::inotify_rm_watch(m_inotify, wd);  // a folder moved away is still watched otherwise
      w.wd = -1;
    }
  }

  IgnoredName m_ignored;
  int m_inotify = -1;
  int m_pipe[2] = {-1, -1};
  bool m_catching = false;
  struct sigaction m_previous[2] = {};  // SIGINT's and SIGTERM's
  std::vector<Watched> m_folders;
};

}  // namespace

std::unique_ptr<FolderWatch> WatchFolders(const std::vector<std::string>& folders,
                                          const IgnoredName& ignored, std::string* err) {
  auto watch = std::make_unique<InotifyWatch>(ignored);
  if (!watch->Open(folders, err)) return nullptr;
  return watch;
}

}  // namespace nv
