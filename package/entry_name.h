// Names of packed files as a package's index gives them: whether one may
// become a file directly inside a folder, when two are the same file, and how
// to show one, or any other text from outside, safely on one line.
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

// Text from outside (a packed file's name, a path, a value from a manifest)
// as it may stand in a line the program writes, staying one line and
// driving no terminal: a tab, CR and LF are written \t, \r and \n, every
// other control byte (below 0x20, and 0x7F) \xHH, and every byte from 0x80
// up passes unchanged, being part of a character of the system's code page
// or of UTF-8. A backslash is doubled where the text must read back
// unambiguously (the names that list shows) and kept single in diagnostics
// and error messages, whose paths must stay Windows paths. The operation
// log is never escaped: its bytes are the dialog's.
enum class Backslash { kDoubled, kSingle };
std::string EscapeText(const std::string& text, Backslash backslash);

// A name as list shows it: EscapeText with backslashes doubled.
std::string EscapeName(const std::string& name);

}  // namespace nv
