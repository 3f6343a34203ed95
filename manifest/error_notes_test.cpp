// The notes of the validation's errors: each note given by a theme, and not
// by its near miss; the log the same with notes as without.
#include "manifest/error_notes.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>

#include "manifest/manifest.h"
#include "manifest/validate_themes.h"
#include "testing/memory_file_system.h"
#include "testing/recording_publisher.h"

namespace nv {

void PrintTo(const NameFix& fix, std::ostream* out) {
  *out << "{'" << fix.written << "', '" << fix.meant << "'}";
}

namespace {

// A sound theme, one element a line: the theme stands at 2:3, the templates
// at 3:5, the detail at 4:7, the shelf at 6:5 and the catalog at 7:7.
const std::string kSound = R"(<nuvarinepackage>
  <theme name="Day" screenshot="shot.png">
    <templates>
      <detail mode="grid" file="grid.xml"/>
    </templates>
    <virtualshelf background="sand.png" uwidth="120" uheight="160" uhspace="12" uvspace="16">
      <catalog name="Novels" image="novels.png" olx="10" oly="8" olwidth="100" olheight="24"/>
    </virtualshelf>
  </theme>
</nuvarinepackage>
)";

class RecordingDiagnostics : public ManifestDiagnostics {
 public:
  void Report(const Diagnostic& d) override { reports.push_back(d); }
  std::vector<Diagnostic> reports;
};

struct NoteCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> changes;  // in the manifest: from, to
  std::vector<std::string> files;                            // added to the folder
  std::string message;  // the error whose notes are told; empty: the theme is sound
  std::vector<std::string> notes;
  NameFix fix = {};  // the "did you mean" an editor may apply: written, meant
};

const std::string kFolder = "day";
const std::string kManifest = JoinPath(kFolder, "main.xml");

std::string Changed(std::string text, const NoteCase& c) {
  for (const auto& change : c.changes) {
    const size_t at = text.find(change.first);
    if (at == std::string::npos) ADD_FAILURE() << c.name << ": no " << change.first;
    if (at != std::string::npos) text.replace(at, change.first.size(), change.second);
  }
  return text;
}

// Validates the case's manifest with diagnostics, and again without,
// whose log must be the same.
std::vector<Diagnostic> Reported(const NoteCase& c) {
  MemoryFileSystem fs;
  fs.AddFolder(kFolder);
  fs.AddFolder(JoinPath(kFolder, "img"));
  for (const char* name : {"shot.png", "grid.xml", "sand.png", "novels.png"})
    fs.AddFile(JoinPath(kFolder, name), "x");
  for (const std::string& name : c.files) fs.AddFile(JoinPath(kFolder, name), "x");
  const std::string text = Changed(kSound, c);
  TiXmlDocument manifest;
  ParseManifest(text, &manifest);
  RecordingPublisher publisher;
  RecordingDiagnostics diagnostics;
  std::string logs[2];
  for (ManifestDiagnostics* told : {static_cast<ManifestDiagnostics*>(&diagnostics),
                                    static_cast<ManifestDiagnostics*>(nullptr)}) {
    OperationLog log;
    std::vector<const TiXmlElement*> themes;
    std::vector<bool> verdicts;
    ValidateThemesReporting(RunContext{fs, log, publisher}, kFolder, text, manifest, &themes,
                            &verdicts, told);
    logs[told ? 0 : 1] = log.Text();
  }
  EXPECT_EQ(logs[1], logs[0]) << c.name;
  return diagnostics.reports;
}

// The notes, then each located note as "FILE:LINE:COLUMN: TEXT".
std::vector<std::string> AllNotes(const Diagnostic& d) {
  std::vector<std::string> notes = d.notes;
  for (const LocatedNote& note : d.related)
    notes.push_back(note.file + ":" + std::to_string(note.at.line) + ":" +
                    std::to_string(note.at.column) + ": " + note.text);
  return notes;
}

void Expect(const std::vector<NoteCase>& cases) {
  for (const NoteCase& c : cases) {
    const std::vector<Diagnostic> reports = Reported(c);
    if (c.message.empty()) {
      EXPECT_TRUE(reports.empty()) << c.name;
      continue;
    }
    const Diagnostic* found = nullptr;
    for (const Diagnostic& d : reports)
      if (d.message == c.message) found = &d;
    ASSERT_NE(nullptr, found) << c.name;
    EXPECT_EQ(c.notes, AllNotes(*found)) << c.name;
    EXPECT_EQ(c.fix, found->fix) << c.name;
  }
}

const std::string kNoNearFile =
    "the folder holds no file of that name, nor of a near one: add it, or name one that is there";

TEST(ErrorNotesTest, MissingAttributesAndValues) {
  const std::string notFound = "Attributes 'name or screenshot' not found in 'theme' node.";
  Expect({
      {"screenshoot",
       {{"screenshot=", "screenshoot="}},
       {},
       notFound,
       {"it has 'name' but no 'screenshot'", "'screenshoot' is there: did you mean 'screenshot'?"},
       {"screenshoot", "screenshot"}},
      {"thumbnail",
       {{"screenshot=", "thumbnail="}},
       {},
       notFound,
       {"it has 'name' but no 'screenshot'", "add 'screenshot', naming an image in the folder"}},
      {"olwidht",
       {{"olwidth=", "olwidht="}},
       {},
       "Attributes 'olwidth' invalid.",
       {"'olwidth' is missing, not invalid", "'olwidht' is there: did you mean 'olwidth'?"},
       {"olwidht", "olwidth"}},
      {"oly is no near miss of olx",
       {{"olx=\"10\" ", ""}},
       {},
       "Attributes 'olx' invalid.",
       {"'olx' is missing, not invalid", "add 'olx' with a whole number"}},
      {"olwidth of no number",
       {{"olwidth=\"100\"", "olwidth=\"px\""}},
       {},
       "Attributes 'olwidth' invalid.",
       {"'olwidth' is 'px', which does not begin with a number: write a whole number"}},
      {"backgrund",
       {{"background=", "backgrund="}},
       {},
       "Attributes 'background' not found in 'virtualshelf' node.",
       {"'backgrund' is there: did you mean 'background'?"},
       {"backgrund", "background"}},
      {"a 1-byte name",
       {{"name=\"Day\"", "name=\"D\""}},
       {},
       "Attributes 'name, screenshot' invalid.",
       {"'name' is 'D', 1 byte long",
        "a theme's 'name' and 'screenshot' need 2 bytes or more each"}},
      {"a 2-byte name, an empty screenshot",
       {{"name=\"Day\" screenshot=\"shot.png\"", "name=\"Da\" screenshot=\"\""}},
       {},
       "Attributes 'name, screenshot' invalid.",
       {"'screenshot' is empty", "a theme's 'name' and 'screenshot' need 2 bytes or more each"}},
  });
}

TEST(ErrorNotesTest, MissingFiles) {
  const std::string image = "' in attribute 'image' doesn't exist or can't be read.";
  Expect({
      {"another letter case",
       {{"novels.png", "books.png"}},
       {"Books.png"},
       "The file: 'books.png" + image,
       {"the folder holds 'Books.png': letter case counts, so write the name as it is"},
       {"books.png", "Books.png"}},
      {"its own letter case", {{"novels.png", "Books.png"}}, {"Books.png"}, "", {}},
      // "é" composed (NFC) and as "e" with a combining accent (NFD).
      {"decomposed, where the file's name is composed",
       {{"novels.png", "cle\xCC\x81me\xCC\x82nt.png"}},
       {"cl\xC3\xA9m\xC3\xAAnt.png"},
       "The file: 'cle\xCC\x81me\xCC\x82nt.png" + image,
       {"the folder holds 'cl\xC3\xA9m\xC3\xAAnt.png', the same letters in another Unicode form "
        "(the file's name is composed, NFC, this one decomposed, NFD): write the name as the "
        "file's is written"},
       {"cle\xCC\x81me\xCC\x82nt.png", "cl\xC3\xA9m\xC3\xAAnt.png"}},
      {"composed, where the file's name is decomposed",
       {{"novels.png", "cl\xC3\xA9m\xC3\xAAnt.png"}},
       {"cle\xCC\x81me\xCC\x82nt.png"},
       "The file: 'cl\xC3\xA9m\xC3\xAAnt.png" + image,
       {"the folder holds 'cle\xCC\x81me\xCC\x82nt.png', the same letters in another "
        "Unicode form (the file's name is decomposed, NFD, this one composed, NFC): write the "
        "name as the file's is written"},
       {"cl\xC3\xA9m\xC3\xAAnt.png", "cle\xCC\x81me\xCC\x82nt.png"}},
      {"a folder part",
       {{"novels.png", "img/books.png"}},
       {"books.png"},
       "The file: 'img/books.png" + image,
       {"'img/books.png' has a folder part, and the package holds only the files directly in the "
        "folder",
        "did you mean 'books.png'? it is in the folder"},
       {"img/books.png", "books.png"}},
      {"a Windows path",
       {{"novels.png", "C:\\themes\\ocean\\books.png"}},
       {"books.png"},
       "The file: 'C:\\themes\\ocean\\books.png" + image,
       {"'C:\\themes\\ocean\\books.png' has a folder part, and the package holds only the files "
        "directly in the folder",
        "did you mean 'books.png'? it is in the folder"},
       {"C:\\themes\\ocean\\books.png", "books.png"}},
      {"a folder part, nothing near",
       {{"novels.png", "img/odes.png"}},
       {"books.png"},
       "The file: 'img/odes.png" + image,
       {"'img/odes.png' has a folder part, and the package holds only the files directly in the "
        "folder",
        kNoNearFile}},
      {"a letter off",
       {{"novels.png", "novel.png"}},
       {},
       "The file: 'novel.png" + image,
       {"did you mean 'novels.png'? it is in the folder"},
       {"novel.png", "novels.png"}},
      {"three letters off",
       {{"novels.png", "nov.png"}},
       {},
       "The file: 'nov.png" + image,
       {kNoNearFile}},
      {"a folder",
       {{"novels.png", "img"}},
       {},
       "The file: 'img" + image,
       {"'img' is a folder, not a file"}},
  });
  // On Windows a backslash separates folders, and the rule finds the file.
  if (kPathSeparator == '/')
    Expect({
        {"a backslash path to a file in a subfolder",
         {{"novels.png", "img\\books.png"}},
         {"img/books.png"},
         "The file: 'img\\books.png" + image,
         {"'img\\books.png' has a folder part, and the package holds only the files directly in "
          "the folder",
          "the folder holds it as 'img/books.png', in a subfolder: move it into the folder and "
          "name it 'books.png'"}},
    });
}

TEST(ErrorNotesTest, WhatAnInvalidThemeLacked) {
  const std::string invalid = "Theme is invalid.";
  const std::string needsDetail =
      "it has no 'templates': it needs one holding a 'detail' with a 'mode' and a 'file' that "
      "exists";
  const std::string shelfFault =
      ": a fault of a 'virtualshelf' or 'catalog' fails the theme, whatever else it holds";
  Expect({
      {"without templates",
       {{"<templates>\n      <detail mode=\"grid\" file=\"grid.xml\"/>\n    </templates>", ""}},
       {},
       invalid,
       {needsDetail}},
      {"Templates",
       {{"<templates>", "<Templates>"}, {"</templates>", "</Templates>"}},
       {},
       invalid,
       {needsDetail, "it has 'Templates' at 3:5: did you mean 'templates'?"},
       {"Templates", "templates"}},
      {"an end tag that closes nothing open",
       {{"</templates>", "</template>"}},
       {},
       invalid,
       {"the builder's parser stopped inside it at 5:5 (Error reading end tag.) and read none of "
        "it after that: mend the XML there, as the malformed-xml warning says",
        "it has no 'virtualshelf': it needs one whose 'background' exists"}},
      {"templates without a detail",
       {{"<detail mode=\"grid\" file=\"grid.xml\"/>", ""}},
       {},
       invalid,
       {"its 'templates' hold no 'detail': it needs a 'detail' with a 'mode' and a 'file' that "
        "exists"}},
      {"without a shelf",
       {{"<virtualshelf", "<!--"}, {"</virtualshelf>", "-->"}},
       {},
       invalid,
       {"it has no 'virtualshelf': it needs one whose 'background' exists"}},
      {"a shelf whose background is missing",
       {{"sand.png", "deep.png"}},
       {},
       invalid,
       {"it needs a 'virtualshelf' whose 'background' exists; the 'virtualshelf' at 6:5 names "
        "'deep.png' in 'background', which doesn't exist or can't be read",
        kManifest + ":6:31: the theme fails by this fault: The file: 'deep.png' in attribute "
                    "'background' doesn't exist or can't be read."}},
      // One cause, told once: the need it misses is the fault that fails it.
      {"a shelf without background",
       {{"background=\"sand.png\" ", ""}},
       {},
       invalid,
       {"the 'virtualshelf' at 6:5 has no 'background'" + shelfFault,
        kManifest + ":6:5: the theme fails by this fault: Attributes 'background' not found in "
                    "'virtualshelf' node."}},
      {"two faults of a catalog",
       {{"olx=\"10\"", "olx=\"x\""}, {"name=\"Novels\" ", ""}},
       {},
       invalid,
       {"the 'catalog' at 7:7 gives 'olx' as 'x', which is no number" + shelfFault,
        "1 more such fault fails it too",
        kManifest + ":7:7: the theme fails by this fault: Attributes 'olx' invalid."}},
  });
}

TEST(ErrorNotesTest, AFailedEntryCheckHidesNoFault) {
  const std::string missing =
      "The file: 'none.png' in attribute 'screenshot' doesn't exist or "
      "can't be read.";
  Expect({
      {"a catalog fault behind a missing screenshot",
       {{"shot.png", "none.png"}, {"olx=\"10\"", "olx=\"x\""}},
       {},
       missing,
       {kNoNearFile, kManifest + ":7:7: once this is fixed: Attributes 'olx' invalid.",
        kManifest + ":2:3: once this is fixed: Theme is invalid."}},
      {"nothing behind a missing screenshot",
       {{"shot.png", "none.png"}},
       {},
       missing,
       {kNoNearFile}},
      {"a missing screenshot behind a missing name",
       {{"name=\"Day\" screenshot=\"shot.png\"", "screenshot=\"none.png\""}},
       {},
       "Attributes 'name or screenshot' not found in 'theme' node.",
       {"it has 'screenshot' but no 'name'", "add 'name', the theme's name, of 2 bytes or more",
        kManifest + ":2:22: once this is fixed: " + missing}},
  });
}

// A tag the parser stops in: its fault is the error, told first where it
// stands, and the errors that call attributes written past it missing are
// its notes; the log keeps them all.
TEST(ErrorNotesTest, ABrokenTagIsTheCauseOfTheAttributesCalledMissing) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> changes;
    std::vector<std::string> reported;    // "LINE:COLUMN SEVERITY: MESSAGE", in order
    std::vector<std::string> causeNotes;  // among the first one's notes
  };
  const std::string catalog = "<catalog name=\"Novels\" ";
  const std::string invalid = "2:3 error: Theme is invalid.";
  const std::string echo =
      JoinPath(kFolder, "main.xml") + ":7:7: hence the log's error: Attributes ";
  const Case cases[] = {
      {"an attribute given twice",
       {{catalog, catalog + "name=\"Comics\" "}},
       {"7:30 error: attribute 'name' is given twice", invalid},
       {"keep one of them", JoinPath(kFolder, "main.xml") + ":7:16: 'name' is first given here",
        echo + "'olx' invalid.", echo + "'image' not found in 'catalog' node."}},
      {"a comment inside the tag",
       {{"<catalog ", "<catalog <!-- the first --> "}},
       {"7:16 error: a comment cannot stand inside a tag", invalid},
       {"move it after the tag's '>'", echo + "'name' not found in 'catalog' node."}},
      {"an attribute without '='",
       {{"name=\"Novels\"", "name \"Novels\""}},
       {"7:16 error: attribute 'name' has no value", invalid},
       {echo + "'name' not found in 'catalog' node.", echo + "'olheight' invalid."}},
      {"a value that ends in a quote alone",
       {{"olx=\"10\"", "olx=10\""}},
       {"7:49 error: the value of 'olx' ends in a quote it does not begin with", invalid},
       {echo + "'oly' invalid."}},
      // Nothing written past the fault is missing: the rules find no fault.
      {"the last attribute given twice",
       {{"olheight=\"24\"", "olheight=\"24\" olx=\"1\""}},
       {},
       {}},
      // A fault past the tag leaves its errors as they are.
      {"a fault after the tag",
       {{"olx=\"10\" ", ""}, {"</virtualshelf>", "</virtualshelf></thme>"}},
       {"7:7 error: Attributes 'olx' invalid.", invalid},
       {}},
  };
  for (const Case& c : cases) {
    const std::vector<Diagnostic> reports = Reported({c.name, c.changes, {}, "", {}});
    std::vector<std::string> reported;
    for (const Diagnostic& d : reports)
      reported.push_back(std::to_string(d.at.line) + ":" + std::to_string(d.at.column) +
                         (d.severity == Severity::kError ? " error: " : " other: ") + d.message);
    EXPECT_EQ(c.reported, reported) << c.name;
    for (const std::string& note : c.causeNotes) {
      ASSERT_FALSE(reports.empty()) << c.name;
      const std::vector<std::string> notes = AllNotes(reports[0]);
      EXPECT_NE(notes.end(), std::find(notes.begin(), notes.end(), note)) << c.name << ": " << note;
    }
  }
}

}  // namespace
}  // namespace nv
