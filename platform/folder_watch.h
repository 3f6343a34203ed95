// Waiting for the files of folders to change, for commands that run again
// whenever an author saves.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nv {

class FolderWatch {
 public:
  enum class Event {
    Changed,      // a file in a watched folder was created, written, renamed or removed,
                  // or a watched folder went away or came back
    Quiet,        // the time given passed without a change
    Interrupted,  // Ctrl-C was pressed, or the process was asked to end (SIGTERM, Ctrl-Break)
    Failed,       // the watch itself broke
  };

  virtual ~FolderWatch() = default;

  // Waits for the next change, for at most `quietMs` milliseconds (without
  // limit when negative). Failed puts the reason into *err.
  virtual Event Wait(int quietMs, std::string* err) = 0;

  // While on, Ctrl-C and every other request to end (SIGTERM, Ctrl-Break)
  // are an event for Wait, at once or when it next waits, instead of the
  // end of the process: on while a command waits, off while it runs. Off at
  // first.
  virtual void CatchInterrupts(bool on) = 0;
};

// Whether a change to the file of this name is none of the watch's
// business: a file the command itself writes into a folder.
using IgnoredName = std::function<bool(const std::string& name)>;

// Watches the files directly in each of `folders`; subfolders are not
// watched, as they are never packed. A folder that does not exist (yet, or
// any more) is looked for again while Wait waits. Null, with the reason in
// *err, when the system refuses the watch.
std::unique_ptr<FolderWatch> WatchFolders(const std::vector<std::string>& folders,
                                          const IgnoredName& ignored, std::string* err);

}  // namespace nv
