// Names of packed files as a package's index gives them: whether one may
// become a file directly inside a folder, when two are the same file, and how
// to show one safely.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace nv {

// Whether `name`, under these rules, names a file directly inside a folder
// and nothing else: no path, no parent, no device, no stream. Else false,
// with the reason in words.
bool CheckEntryName(const std::string& name, NameRules rules, std::string* fault);

// Two names are the same file when their keys are equal. Under Windows' rules
// ASCII letter case is not told apart; other folds depend on the code page,
// and extracting never overwrites a file, so a pair those make the same is
// refused there instead.
std::string EntryNameKey(const std::string& name, NameRules rules);

// The name with a tab, CR, LF and backslash written \t, \r, \n and \\, and
// every other control byte as \xHH, so it stays on one line and cannot
// drive a terminal.
std::string EscapeName(const std::string& name);

}  // namespace nv
