// Running build or check again whenever the folders they work on change.
#include "cli/watch_loop.h"

#include <chrono>
#include <ctime>

#include "cli/error_line.h"
#include "package/package_writer.h"

namespace nv {

namespace {

using Event = FolderWatch::Event;

// Waits for a change, then for the folders to stay quiet, or for as long
// as a run may be held back.
Event WaitForBurst(FolderWatch& watch, std::string* reason) {
  Event event = watch.Wait(-1, reason);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongestWaitMs);
  while (event == Event::Changed && std::chrono::steady_clock::now() < end)
    event = watch.Wait(kQuietMs, reason);
  return event == Event::Quiet ? Event::Changed : event;
}

// Ctrl-C is the watch's to report while this lives, the process's again
// once it is gone: a run is ended by it as any run is.
class CatchingInterrupts {
 public:
  explicit CatchingInterrupts(FolderWatch& watch) : m_watch(watch) { watch.CatchInterrupts(true); }
  ~CatchingInterrupts() { m_watch.CatchInterrupts(false); }

 private:
  FolderWatch& m_watch;
};

}  // namespace

int WatchLoop::Run(std::ostream& out, std::ostream& err) const {
  run();
  for (;;) {
    std::string reason;
    Event event;
    {
      const CatchingInterrupts catching(watch);  // before the prompt, which invites Ctrl-C
      out.flush();
      WriteErrorLine(err, "waiting for changes (Ctrl-C to stop)");
      if (!out || !err) return 1;
      event = WaitForBurst(watch, &reason);
    }
    if (event == Event::Interrupted) return 0;
    if (event == Event::Failed) {
      WriteErrorLine(err, "cannot watch the folders: " + reason);
      return 1;
    }
    err << "\n==== " << timeOfDay() << " files changed: " << doing << " again ====\n";
    run();
  }
}

bool IsPackageName(const std::vector<std::string>& packages, const std::string& name) {
  const std::string separators = std::string("/") + kPathSeparator;
  for (const std::string& package : packages) {
    const std::string packageName = package.substr(package.find_last_of(separators) + 1);
    if (name == packageName || IsTemporaryPackagePath(packageName, name)) return true;
  }
  return false;
}

std::string LocalTimeOfDay() {
  const std::time_t now = std::time(nullptr);
  char text[16] = {};
  std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
  return text;
}

}  // namespace nv
