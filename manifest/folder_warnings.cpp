// Warnings about the files the package will hold: debris, names that a
// Windows reader refuses or that read otherwise elsewhere, and files that no
// theme uses.
#include <algorithm>

#include "manifest/warning_run.h"

namespace nv {

namespace {

// Files that tools leave in folders, by name; "*" stands for any text.
struct Debris {
  const char* pattern;
  const char* what;
};
const Debris kDebris[] = {
    {".DS_Store", "macOS's folder settings"},
    {"Thumbs.db", "Windows' thumbnail cache"},
    {"desktop.ini", "Windows' folder settings"},
    {"*~", "an editor's backup"},
    {".*.swp", "an editor's swap file"},
    {"*.bak", "a backup"},
    {"#*#", "an editor's autosave"},
    {"*.nvp", "a package, which would be packed inside this one"},
    {"*.tmp", "a temporary file"},
};

// Letter case aside, as Windows writes these names in either.
bool Matches(const std::string& name, const std::string& pattern) {
  const std::string folded = FoldCase(name), wanted = FoldCase(pattern);
  const size_t star = wanted.find('*');
  if (star == std::string::npos) return folded == wanted;
  const size_t tail = wanted.size() - star - 1;
  return folded.size() >= star + tail && folded.compare(0, star, wanted, 0, star) == 0 &&
         folded.compare(folded.size() - tail, tail, wanted, star + 1, tail) == 0;
}

void CheckDebris(const std::string& name, WarningRun* run) {
  for (const Debris& debris : kDebris) {
    if (!Matches(name, debris.pattern)) continue;
    run->WarnAboutFile("stray-file", name,
                       Quote(name) + " would be packed, and looks like " + debris.what,
                       {"delete it, or move it out of the folder"});
    return;
  }
}

// Extract on Windows refuses a package with a name its rules refuse, or
// with two names that differ in letter case alone; a name's bytes above
// 0x7F are kept as they are, and read as other letters on another system
// or code page.
void CheckPortable(const std::string& name, WarningRun* run) {
  std::string fault;
  const std::string& first = run->packedByFoldedName.at(FoldCase(name));
  if (run->options.windowsNameCheck && !run->options.windowsNameCheck(name, &fault)) {
    run->WarnAboutFile("unportable-name", name, Quote(name) + " is refused on Windows: " + fault,
                       {"rename it: the package would not extract on Windows"});
  } else if (first != name) {
    run->WarnAboutFile("unportable-name", name,
                       Quote(name) + " and " + Quote(first) + " differ in letter case alone",
                       {"Windows holds one file of both names; rename one of them, or the "
                        "package would not extract on Windows"});
  } else if (std::any_of(name.begin(), name.end(),
                         [](char c) { return static_cast<unsigned char>(c) > 0x7F; })) {
    run->WarnAboutFile("unportable-name", name, Quote(name) + " holds bytes above 0x7F",
                       {"the package keeps a name's bytes as they are, and other systems and "
                        "code pages read other letters in them; rename it in ASCII"});
  }
}

}  // namespace

// The manifest is the package's own: it is never unused, nor debris.
void CheckFolderFiles(WarningRun* run) {
  for (const std::string& name : run->packed) {
    const bool used = name == "main.xml" || run->used.count(name) != 0;
    if (!used) CheckDebris(name, run);
    CheckPortable(name, run);
    if (!used && run->Wants("unused-file"))
      run->WarnAboutFile("unused-file", name, Quote(name) + " is packed, but no theme uses it",
                         {"it only makes the package larger; remove it if nothing needs it"});
  }
}

}  // namespace nv
