// Notes of a build run for the author, beside the operation log: what the
// log leaves unsaid but an author should hear of, such as a file left out of
// the package, one packed from outside the folder, or the system's reason for
// a disk operation that failed. They never change the log, the package or a
// run's outcome.
#pragma once

#include <string>

namespace nv {

// Of a package's path that names no file a package may replace.
constexpr char kNoteDevice[] = "it is a device, a pipe or a socket, which a package never replaces";

// The notes that are warnings, by the names -W takes: the manifest's table
// of warnings has a row for each.
constexpr char kUnreadableFileWarning[] = "unreadable-file";      // a file left out
constexpr char kUnlistableFolderWarning[] = "unlistable-folder";  // a listing cut short
constexpr char kOutsideLinkWarning[] = "outside-link";  // a file that leads outside the folder

class BuildNotes {
 public:
  virtual ~BuildNotes() = default;
  // One note: the path it concerns, then what about it; for a failed disk
  // operation, the system's words ("write: No space left on device"); and
  // the warning it is, one of the names above, or empty for a note that is
  // always told (the system's reason for a failure, or what explains a line
  // of the log). Made on the thread that runs the build.
  virtual void Note(const std::string& path, const std::string& text,
                    const std::string& warning) = 0;
};

}  // namespace nv
