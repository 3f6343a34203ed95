// Every warning that build and check report, one row each: its name as -W
// takes it, whether it is on by default, its severity, how it is told and
// the line --list-warnings prints for it, and its cause and fix as the
// reference's table of warnings gives them. The switches, the list, the
// SARIF rules, the manual page and the reference all answer to this table.
#pragma once

#include <string>
#include <vector>

#include "manifest/diagnostic.h"

namespace nv {

// One warning, as the command line lists it and takes it in "-W NAME".
struct WarningName {
  const char* name;
  bool defaultOn;
  // What the diagnostics and the SARIF log call it unless -Werror=NAME or
  // -Wno-error=NAME says otherwise: an error for what breaks the package.
  Severity severity;
  // Told as a build note about one of the folder's files (on standard
  // error, and among a report's run notes) rather than as a diagnostic at
  // a place in the manifest or a file.
  bool buildNote;
  const char* description;  // one line, as --list-warnings prints it
  // What raises it and what to do, in Markdown, each a cell of its row in
  // docs/MANIFEST.md word for word: the SARIF rules' help quotes them.
  const char* cause;
  const char* fix;
};

// Every warning, each once: those of the warnings pass, then the notes.
const std::vector<WarningName>& WarningNames();

// The warning of that name, or null.
const WarningName* FindWarningName(const std::string& name);

}  // namespace nv
