// The table of warnings.
#include "manifest/warning_table.h"

#include "run/build_notes.h"

namespace nv {

namespace {

// So that each row reads as words.
constexpr bool kOn = true;
constexpr bool kOff = false;
constexpr Severity kWarning = Severity::kWarning;
constexpr Severity kError = Severity::kError;  // a warning that is an error unless -Wno-error=NAME
constexpr bool kDiagnostic = false;
constexpr bool kBuildNote = true;

}  // namespace

// The order is the list's, and gives each warning its place among the
// SARIF log's rules.
const std::vector<WarningName>& WarningNames() {
  static const std::vector<WarningName> names = {
      {"malformed-xml", kOn, kWarning, kDiagnostic,
       "main.xml is not well-formed XML for a strict parser"},
      {"unknown-element", kOn, kWarning, kDiagnostic, "an element the manifest does not know"},
      {"unknown-attribute", kOn, kWarning, kDiagnostic, "an attribute the manifest does not know"},
      {"misplaced-element", kOn, kWarning, kDiagnostic,
       "a known element where the rules do not read it"},
      // Warnings: the builder and a reader that passes text over read the
      // theme alike; the text is lost to the author alone.
      {"stray-text", kOn, kWarning, kDiagnostic,
       "text or CDATA in an element that holds elements alone"},
      // Warnings, as malformed-xml is: the builder reads the theme, and so
      // does a reader that knows no namespaces; one that heeds them finds
      // nothing, as a strict reader refuses a malformed file.
      {"foreign-namespace", kOn, kWarning, kDiagnostic,
       "an element in a namespace the manifest does not know"},
      {"loose-integer", kOn, kWarning, kDiagnostic,
       "an integer read otherwise than written, or a width or height below 1"},
      {"duplicate-theme-name", kOn, kWarning, kDiagnostic, "two themes of one name"},
      {"unpacked-reference", kOn, kError, kDiagnostic,
       "a file not directly in the folder, which the package lacks"},
      {"case-mismatch", kOn, kWarning, kDiagnostic,
       "a file named in another letter case than its own"},
      {"not-an-image", kOn, kWarning, kDiagnostic,
       "a screenshot, background or image that is no PNG, JPEG, GIF or BMP"},
      {"broken-image", kOn, kError, kDiagnostic,
       "an image that is empty, cut short or corrupt, as its format's library finds it"},
      {"not-a-layout", kOn, kWarning, kDiagnostic, "a detail file that is not well-formed XML"},
      {"stray-file", kOn, kWarning, kDiagnostic,
       "debris that would be packed: backups, swap files, caches, packages"},
      {"unportable-name", kOn, kWarning, kDiagnostic,
       "a file name Windows refuses, or with bytes above 0x7F"},
      {"unused-file", kOff, kWarning, kDiagnostic, "a packed file that no theme uses"},
      {"lost-content", kOn, kError, kDiagnostic,
       "a theme written in main.xml that the builder never reads"},
      {kUnreadableFileWarning, kOn, kWarning, kBuildNote,
       "a file left out of the package, as it cannot be read now"},
      {kUnlistableFolderWarning, kOn, kWarning, kBuildNote, "a folder that cannot be listed whole"},
      {kOutsideLinkWarning, kOn, kWarning, kBuildNote,
       "a file that leads outside the folder through a link"},
  };
  return names;
}

const WarningName* FindWarningName(const std::string& name) {
  for (const WarningName& warning : WarningNames())
    if (name == warning.name) return &warning;
  return nullptr;
}

}  // namespace nv
