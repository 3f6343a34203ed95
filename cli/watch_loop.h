// Running build or check again whenever the folders they work on change.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/folder_watch.h"

namespace nv {

// How long the folders must stay still before the next run, so that an
// editor saving several files starts one run; and the longest a run waits
// for that while changes keep coming.
constexpr int kQuietMs = 200;
constexpr int kLongestWaitMs = 2000;

// Runs `run`, then again after each burst of changes that `watch` sees,
// each rerun headed on `err` by a line with the time of day. `out` is
// flushed after every run, so that each log is seen whole as it ends.
// Returns 0 when Ctrl-C ends the waiting, 1 when the watch fails or output
// can no longer be written.
struct WatchLoop {
  FolderWatch& watch;
  std::string doing;  // "checking", "building": what the heading says runs again
  std::function<int()> run;
  std::function<std::string()> timeOfDay;

  int Run(std::ostream& out, std::ostream& err) const;
};

// Whether `name`, of a file that changed in a watched folder, is the name
// of one of `packages` or of a temporary file of it: a build writes them,
// into the folder itself when told to ("nvtheme build -o ocean/x.nvp ocean").
bool IsPackageName(const std::vector<std::string>& packages, const std::string& name);

// Whether `name` is one an editor gives the files it keeps beside the one
// an author edits, or makes to probe the folder: Vim's swap files
// (".main.xml.swp", ".swo", ...) and its probe "4913", backups ("main.xml~"),
// Emacs's autosaves ("#main.xml#") and locks (".#main.xml"), Kate's swap
// files. Opening a file in one is no change of the theme.
bool IsEditorScratch(const std::string& name);

// The local time as hours, minutes and seconds: "14:03:27".
std::string LocalTimeOfDay();

}  // namespace nv
