// The system's folder picker, modal to a window: the common item dialog
// where the system has one, the older browse-for-folder dialog elsewhere.
#pragma once

#include <windows.h>

#include <string>

namespace nv {

enum class PickOutcome {
  kChosen,       // the folder's path is filled in
  kNothing,      // cancelled, or a folder that no path of the fields can name
  kUnavailable,  // this picker can't be shown on this system
};

// Each picker starts in `start` when it names an existing folder, relative
// to the current folder as a field's text is, and fills in the chosen
// folder's full path in the ANSI code page. The calling thread must have
// entered a single-threaded COM apartment.
PickOutcome PickFolderWithItemDialog(HWND owner, const std::string& start, std::string* folder);
PickOutcome PickFolderWithBrowseDialog(HWND owner, const std::string& start, std::string* folder);

// The item dialog, or the browse dialog where that is unavailable; whether
// a folder was chosen.
bool PickFolder(HWND owner, const std::string& start, std::string* folder);

}  // namespace nv
