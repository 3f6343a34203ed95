// Notes of a build run for the author, beside the operation log: what the
// log leaves unsaid but an author should hear of, such as a file left out of
// the package, one packed from outside the folder, or the system's reason for
// a disk operation that failed. They never change the log, the package or a
// run's outcome.
#pragma once

#include <string>

namespace nv {

// The words notes about the folder's files begin and end with, one place for
// those who write them and those who sort them by kind.
constexpr char kNoteLeftOut[] = "left out: ";           // then the system's reason
constexpr char kNoteLinkTo[] = "left out: a link to ";  // then the target, kNoteOutside
constexpr char kNotePackedFrom[] = "packed from ";      // then the target, kNoteOutside
constexpr char kNoteOutside[] = ", outside the folder";
constexpr char kNoteCannotList[] = "cannot list the folder: ";  // then the system's reason
// Of a package's path that names no file a package may replace.
constexpr char kNoteDevice[] = "it is a device, a pipe or a socket, which a package never replaces";

class BuildNotes {
 public:
  virtual ~BuildNotes() = default;
  // One note: the path it concerns, then what about it; for a failed disk
  // operation, the system's words ("write: No space left on device"). Made
  // on the thread that runs the build.
  virtual void Note(const std::string& path, const std::string& text) = 0;
};

}  // namespace nv
