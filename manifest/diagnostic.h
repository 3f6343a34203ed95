// A finding about a place in a theme folder, as tools that take an editor
// there report it: an error of the operation log, a warning, or a note.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "xml/text_position.h"

namespace nv {

enum class Severity { kError, kWarning, kNote };

// A note about another place than the finding's own: in another file, or
// elsewhere in the manifest, so that an editor can go there too.
struct LocatedNote {
  std::string file;
  TextPosition at;
  std::string text;

  bool operator==(const LocatedNote& o) const {
    return file == o.file && at == o.at && text == o.text;
  }
};

// A "did you mean" an editor can apply: the name as written at the
// finding's place (an element's, an attribute's, or a file's named in a
// value) and the name meant. None when `meant` is empty.
struct NameFix {
  std::string written;
  std::string meant;

  bool operator==(const NameFix& o) const { return written == o.written && meant == o.meant; }
};

struct Diagnostic {
  Severity severity = Severity::kError;
  // The stable name, as -W takes it ("case-mismatch"); empty for the log's
  // errors, which cannot be turned off.
  std::string name;
  // The manifest's path as the folder was typed, with one separator before
  // "main.xml", or the path of the file concerned.
  std::string file;
  TextPosition at;                   // 1:1 when the finding is about a whole file
  std::string message;               // one line, without the severity
  std::vector<std::string> notes;    // further lines: why, and what to do
  std::vector<LocatedNote> related;  // told after the notes, each at its place
  NameFix fix;
};

// The path of a file in the folder as its author writes it: a folder typed
// with a trailing separator ("ocean/", as completion types it) gives
// "ocean/main.xml", where the log, whose bytes stay as they are, joins
// "ocean//main.xml".
inline std::string PathInFolder(const std::string& folder, const std::string& name) {
  return JoinPath(StripTrailingSeparators(folder), name);
}

}  // namespace nv
