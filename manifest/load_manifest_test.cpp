// The load of main.xml: why a manifest that failed to load failed, told in
// notes of its one diagnostic, while the log says "failed" alone.
#include "manifest/load_manifest.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <functional>
#include <map>

#include "testing/memory_file_system.h"
#include "testing/recording_publisher.h"

namespace nv {
namespace {

class RecordingDiagnostics : public ManifestDiagnostics {
 public:
  void Report(const Diagnostic& d) override { reports.push_back(d); }
  std::vector<Diagnostic> reports;
};

const std::string kThemes = "themes";
const std::string kOcean = JoinPath(kThemes, "ocean");

struct LoadCase {
  const char* name;
  std::function<void(MemoryFileSystem&)> make;  // the disk beside an empty "themes/ocean"
  std::vector<std::string> notes;               // none: the manifest loads
  std::string folder = kOcean;                  // as typed
  bool outsideLinks = true;
};

void Put(MemoryFileSystem& fs, const std::string& text) {
  fs.AddFile(JoinPath(kOcean, "main.xml"), text);
}

TEST(LoadManifestTest, AFailedLoadSaysWhyInNotes) {
  const std::string package = kOcean + ".nvp";
  const std::string notes = JoinPath(kThemes, "notes.txt");
  const LoadCase cases[] = {
      {"sound", [](MemoryFileSystem& fs) { Put(fs, "<nuvarinepackage/>"); }, {}},
      {"no main.xml", [](MemoryFileSystem&) {}, {"the folder holds no main.xml"}},
      {"Main.xml",
       [](MemoryFileSystem& fs) { fs.AddFile(JoinPath(kOcean, "Main.xml"), "<nuvarinepackage/>"); },
       {"the folder holds no main.xml, but 'Main.xml': the name must be 'main.xml', in lower "
        "case"}},
      {"main.xml a folder",
       [](MemoryFileSystem& fs) { fs.AddFolder(JoinPath(kOcean, "main.xml")); },
       {"main.xml is a folder, not a file"}},
      {"held",
       [](MemoryFileSystem& fs) {
         Put(fs, "<nuvarinepackage/>");
         fs.Hold(JoinPath(kOcean, "main.xml"));
       },
       {"main.xml cannot be read: held by another program"}},
      {"leads outside",
       [](MemoryFileSystem& fs) {
         Put(fs, "<nuvarinepackage/>");
         fs.SetLinkTarget(JoinPath(kOcean, "main.xml"), "/srv/main.xml");
       },
       {"main.xml leads outside the folder, to /srv/main.xml, and this run takes no file that "
        "does: copy it into the folder"},
       kOcean,
       false},
      {"the package given",
       [&](MemoryFileSystem& fs) { fs.AddFile(package, "NP"); },
       {"'" + package + "' is a package, not a theme folder: give the folder it is built from, '" +
        kOcean + "'"},
       package},
      {"another file given",
       [&](MemoryFileSystem& fs) { fs.AddFile(notes, "<nuvarinepackage/>"); },
       {"'" + notes + "' is a file, not a folder: give the theme folder that holds main.xml"},
       notes},
      {"nothing there",
       [](MemoryFileSystem&) {},
       {"'" + kOcean + "x' does not exist"},
       kOcean + "x"},
      {"empty", [](MemoryFileSystem& fs) { Put(fs, ""); }, {"main.xml is empty"}},
      {"white space",
       [](MemoryFileSystem& fs) { Put(fs, " \r\n\t\n"); },
       {"main.xml holds nothing but white space"}},
      {"UTF-16 with its mark",
       [](MemoryFileSystem& fs) { Put(fs, std::string("\xFF\xFE<\0n\0/\0>\0", 10)); },
       {"main.xml is saved as UTF-16, which the builder cannot read: save it as UTF-8"}},
      {"UTF-16 without one",
       [](MemoryFileSystem& fs) { Put(fs, std::string("\0<\0n\0/\0>", 8)); },
       {"main.xml is saved as UTF-16, which the builder cannot read: save it as UTF-8"}},
      {"UTF-32",
       [](MemoryFileSystem& fs) { Put(fs, std::string("\xFF\xFE\0\0<\0\0\0", 8)); },
       {"main.xml is saved as UTF-32, which the builder cannot read: save it as UTF-8"}},
      {"unclosed tag before the root",
       [](MemoryFileSystem& fs) {
         Put(fs, "<?xml version=\"1.0\"?>\n<theme\n<nuvarinepackage/>\n");
       },
       {"the parser stopped at 3:1: Error reading Attributes.",
        "the first element is 'theme', at 2:1"}},
      {"root misspelt",
       [](MemoryFileSystem& fs) { Put(fs, "<?xml version=\"1.0\"?>\n  <nuvarinepackge/>\n"); },
       {"the first element is 'nuvarinepackge', at 2:3", "did you mean 'nuvarinepackage'?"}},
      {"another root",
       [](MemoryFileSystem& fs) { Put(fs, "<?xml version=\"1.0\"?>\n<themes/>\n"); },
       {"the first element is 'themes', at 2:1"}},
      {"a DOCTYPE with declarations",
       [](MemoryFileSystem& fs) {
         Put(fs,
             "<?xml version=\"1.0\"?>\n<!DOCTYPE nuvarinepackage [\n<!ENTITY x \"y\">\n]>\n"
             "<nuvarinepackage/>\n");
       },
       {"the parser reads no element past the DOCTYPE at 2:1; remove it, as the manifest needs "
        "none"}},
      {"a comment alone",
       [](MemoryFileSystem& fs) { Put(fs, "<!-- <nuvarinepackage/> -->\n"); },
       {"main.xml holds no element"}},
      {"a NUL before the root",
       [](MemoryFileSystem& fs) { Put(fs, std::string("\n \0<nuvarinepackage/>", 21)); },
       {"the parser stopped: Error document empty.",
        "the text ends for the parser at the NUL byte at 2:2"}},
  };
  // The error stands at the element found instead of the root, where one is.
  const std::map<std::string, TextPosition> atElement = {{"unclosed tag before the root", {2, 1}},
                                                         {"root misspelt", {2, 3}},
                                                         {"another root", {2, 1}}};
  // An editor can rename a root a letter or two off; "themes" is no near miss.
  const std::map<std::string, NameFix> fixes = {
      {"root misspelt", {"nuvarinepackge", "nuvarinepackage"}}};
  for (const LoadCase& c : cases) {
    MemoryFileSystem fs;
    fs.AddFolder(kThemes);
    fs.AddFolder(kOcean);
    c.make(fs);
    OperationLog log;
    RecordingPublisher publisher;
    RecordingDiagnostics diagnostics;
    const RunContext run{fs, log, publisher, nullptr, c.outsideLinks};
    std::string text;
    TiXmlDocument manifest;
    const bool loaded = LoadManifest(run, c.folder, &text, &manifest, &diagnostics);
    EXPECT_EQ(c.notes.empty(), loaded) << c.name;
    EXPECT_EQ(c.notes.empty() ? "succeeded.\r\n\r\n" : "failed\r\n\r\n", log.Text()) << c.name;
    if (c.notes.empty()) {
      EXPECT_TRUE(diagnostics.reports.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(1u, diagnostics.reports.size()) << c.name;
    const Diagnostic& d = diagnostics.reports[0];
    EXPECT_EQ(JoinPath(c.folder, "main.xml"), d.file) << c.name;
    const auto element = atElement.find(c.name);
    EXPECT_EQ(element == atElement.end() ? TextPosition() : element->second, d.at) << c.name;
    EXPECT_EQ("no root element \"nuvarinepackage\".", d.message) << c.name;
    EXPECT_EQ(c.notes, d.notes) << c.name;
    const auto fix = fixes.find(c.name);
    EXPECT_EQ(fix == fixes.end() ? NameFix() : fix->second, d.fix) << c.name;
  }
}

}  // namespace
}  // namespace nv
