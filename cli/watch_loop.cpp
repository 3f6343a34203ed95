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

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Vim's swap files end ".swp", then ".swo", ".swn" and so on back to ".saa".
bool IsVimSwap(const std::string& name) {
  const size_t n = name.size();
  return n > 5 && name[0] == '.' && name.compare(n - 4, 2, ".s") == 0 && name[n - 2] >= 'a' &&
         name[n - 2] <= 'w' && name[n - 1] >= 'a' && name[n - 1] <= 'z';
}

// Vim writes "4913" to learn whether it may make files in the folder, and
// a number 123 higher while one of that name is there.
bool IsVimProbe(const std::string& name) {
  if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const long number = std::stol(name);
  return number >= 4913 && (number - 4913) % 123 == 0;
}

}  // namespace

bool IsEditorScratch(const std::string& name) {
  return IsVimSwap(name) || IsVimProbe(name) || EndsWith(name, "~") ||
         EndsWith(name, ".kate-swp") ||
         (name.size() > 2 && name.front() == '#' && name.back() == '#') ||
         name.compare(0, 2, ".#") == 0;
}

std::string LocalTimeOfDay() {
  const std::time_t now = std::time(nullptr);
  char text[16] = {};
  std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
  return text;
}

}  // namespace nv
