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
       "main.xml is not well-formed XML for a strict parser",
       "a tag left open, a bare `&`, an entity XML does not define (`&nbsp;`, named), an encoding "
       "no reader knows (`encoding=\"utf8x\"`): the builder's parser tolerates it, a strict reader "
       "does not",
       "close the tag, write `&amp;`, write the character itself, name the file's encoding "
       "(`utf-8`)"},
      {"unknown-element", kOn, kWarning, kDiagnostic, "an element the manifest does not know",
       "a misspelt or invented element", "use the name offered (\"did you mean 'templates'?\")"},
      {"unknown-attribute", kOn, kWarning, kDiagnostic, "an attribute the manifest does not know",
       "a misspelt or invented attribute", "use the name offered (\"did you mean 'background'?\")"},
      {"misplaced-element", kOn, kWarning, kDiagnostic,
       "a known element where the rules do not read it", "a known element where it is not read",
       "move it where the note says (`templates`)"},
      // Warnings: the builder and a reader that passes text over read the
      // theme alike; the text is lost to the author alone.
      {"stray-text", kOn, kWarning, kDiagnostic,
       "text or CDATA in an element that holds elements alone",
       "text or a CDATA section in an element that holds elements alone: the builder and the media "
       "application read none of it",
       "delete it, or make it a comment (`<!-- ... -->`)"},
      // Warnings, as malformed-xml is: the builder reads the theme, and so
      // does a reader that knows no namespaces; one that heeds them finds
      // nothing, as a strict reader refuses a malformed file.
      {"foreign-namespace", kOn, kWarning, kDiagnostic,
       "an element in a namespace the manifest does not know",
       "an `xmlns=\"...\"` on an element: the builder reads the names as written, but a reader "
       "that heeds namespaces finds none of the manifest's elements",
       "delete the `xmlns` attribute (`xmlns:xsi`, which attaches the schema, is no fault)"},
      {"loose-integer", kOn, kWarning, kDiagnostic,
       "an integer read otherwise than written, or a width or height below 1",
       "an integer with trailing text, a fraction, `0x`, inner space, blanks around it (`\" "
       "120\"`), one out of range, or a width or height of 0 or less",
       "write a plain decimal number"},
      {"duplicate-theme-name", kOn, kWarning, kDiagnostic, "two themes of one name",
       "two themes with one name", "name each theme on its own"},
      {"unpacked-reference", kOn, kError, kDiagnostic,
       "a file not directly in the folder, which the package lacks",
       "a referenced file that exists in a subfolder or above the folder (`../`); one at an "
       "absolute path gets the missing-file error instead",
       "move the file into the folder and name it alone"},
      {"case-mismatch", kOn, kWarning, kDiagnostic,
       "a file named in another letter case than its own",
       "the folder holds the file under another letter case: Windows builds, Linux does not "
       "(where letter case counts, the error of the missing file says it instead)",
       "spell the name as the file is spelt"},
      {"not-an-image", kOn, kWarning, kDiagnostic,
       "a screenshot, background or image that is no PNG, JPEG, GIF or BMP",
       "a screenshot, background or catalog image in another format",
       "save it as PNG, JPEG, GIF or BMP"},
      {"broken-image", kOn, kError, kDiagnostic,
       "an image that is empty, cut short or corrupt, as its format's library finds it",
       "an image that is empty, cut short or corrupt: `check` decodes it with its format's library "
       "(libpng, libjpeg-turbo, giflib; a BMP by its header and the size it declares), `build` "
       "reads each block of its format",
       "save the image again from the program that made it"},
      {"not-a-layout", kOn, kWarning, kDiagnostic, "a detail file that is not well-formed XML",
       "a `detail` file that is no well-formed XML", "fix the layout at the place the note gives"},
      {"stray-file", kOn, kWarning, kDiagnostic,
       "debris that would be packed: backups, swap files, caches, packages",
       "debris in the folder: `.DS_Store`, `Thumbs.db`, `desktop.ini`, editor backups and swap "
       "files, `*.nvp`, `*.tmp`",
       "delete it, or move it out of the folder"},
      {"unportable-name", kOn, kWarning, kDiagnostic,
       "a file name Windows refuses, or with bytes above 0x7F",
       "a name Windows cannot hold, names that differ in letter case alone, or bytes above 0x7F",
       "rename the file in plain ASCII"},
      {"unused-file", kOff, kWarning, kDiagnostic, "a packed file that no theme uses",
       "a file nothing names", "delete it, or leave it if the application reads it by itself"},
      {"lost-content", kOn, kError, kDiagnostic,
       "a theme written in main.xml that the builder never reads",
       "a theme past a fault that stops the builder's parser (a tag left open, `</thme>`, a file "
       "cut short)",
       "mend the XML before it, as the note's place says"},
      {kUnreadableFileWarning, kOn, kWarning, kBuildNote,
       "a file left out of the package, as it cannot be read now",
       "a file in the folder that cannot be read now: the package would lack it",
       "give yourself read access, or move the file out"},
      {kUnlistableFolderWarning, kOn, kWarning, kBuildNote, "a folder that cannot be listed whole",
       "the folder cannot be read whole, so files may be missing from the package",
       "give yourself read access to the folder"},
      {kOutsideLinkWarning, kOn, kWarning, kBuildNote,
       "a file that leads outside the folder through a link",
       "a link in the folder leads to a file elsewhere: it is packed, but the folder alone does "
       "not hold it",
       "copy the file into the folder; `--no-outside-links` leaves such files out"},
  };
  return names;
}

const WarningName* FindWarningName(const std::string& name) {
  for (const WarningName& warning : WarningNames())
    if (name == warning.name) return &warning;
  return nullptr;
}

}  // namespace nv
