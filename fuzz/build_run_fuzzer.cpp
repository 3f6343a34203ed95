// Fuzzes a whole build run: the input is main.xml of a small theme folder on
// the in-memory disk, built with the real compression service. A run may
// fail in any way the log reports, but it must not crash or hang, it reports
// success only when every theme it walked was found valid, and under the
// package's name it leaves either the last good package as it was or a new
// one that reads back file for file.
#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "builder/theme_builder.h"
#include "manifest/manifest.h"
#include "manifest/read_text_file.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "services/component.h"
#include "testing/memory_file_system.h"
#include "xml/parser_limits.h"

namespace nv {
namespace {

// The folder's files besides main.xml: what a manifest may reference, under
// the names of the example theme, and a sub-folder that is never packed.
const char* const kThemeFiles[][2] = {
    {"shot-day.png", "\x89PNG\r\n\x1a\nday"},
    {"shot-night.png", "\x89PNG\r\n\x1a\nnight"},
    {"layout-grid.xml", "<layout><grid columns=\"4\"/></layout>\n"},
    {"layout-list.xml", "<layout><list/></layout>\n"},
    {"shelf-sand.png", "\x89PNG\r\n\x1a\nsand sand sand sand"},
    {"shelf-deep.png", "\x89PNG\r\n\x1a\ndeep"},
    {"cat-novels.png", "\x89PNG\r\n\x1a\nnovels"},
    {"cat-comics.png", "\x89PNG\r\n\x1a\ncomics"},
    {"cat-music.png", ""},
};

// A manifest the folder's files make valid: its package is the last good one.
const char kGoodManifest[] =
    "<nuvarinepackage><theme name=\"Ocean Day\" screenshot=\"shot-day.png\">"
    "<templates><detail mode=\"grid\" file=\"layout-grid.xml\"/></templates>"
    "<virtualshelf background=\"shelf-sand.png\" uwidth=\"1\" uheight=\"1\" uhspace=\"1\""
    " uvspace=\"1\"/></theme></nuvarinepackage>";

const std::string kFolder = JoinPath("themes", "ocean");
const std::string kManifest = JoinPath(kFolder, "main.xml");
const std::string kPackage = PackagePath(kFolder);

// The manifest's places as the check reports them.
class Places : public ManifestDiagnostics {
 public:
  void Report(const Diagnostic& d) override { reports.push_back({d.file, d.at, d.message}); }
  struct Place {
    std::string manifest;
    TextPosition at;
    std::string message;
  };
  std::vector<Place> reports;
};

void Require(bool holds, const char* what, const std::string& log) {
  if (holds) return;
  std::fprintf(stderr, "\nbroken: %s\n--- log ---\n%s\n--- end ---\n", what, log.c_str());
  std::abort();
}

IZlib* Zlib() {
  static ServiceRef<IZlib> zlib;
  if (!zlib) KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  return zlib.get();
}

void AddFolder(MemoryFileSystem& fs, const std::string& manifest, const std::string& lastGood) {
  fs.AddFolder("themes");
  fs.AddFolder(kFolder);
  fs.AddFolder(JoinPath(kFolder, "fonts"));
  fs.AddFile(JoinPath(JoinPath(kFolder, "fonts"), "title.ttf"), "not packed");
  for (const auto& file : kThemeFiles) fs.AddFile(JoinPath(kFolder, file[0]), file[1]);
  fs.AddFile(kManifest, manifest);
  if (!lastGood.empty()) fs.AddFile(kPackage, lastGood);
}

std::string Build(MemoryFileSystem& fs, BuildOptions options, RunFlags* flags) {
  SilentPublisher publisher;
  options.jobs = 1;
  ThemeBuilder builder(fs, publisher, Zlib(), options);
  *flags = builder.BuildFolder(kFolder);
  return builder.Log();
}

const std::string& LastGoodPackage() {
  static const std::string package = [] {
    MemoryFileSystem fs;
    AddFolder(fs, kGoodManifest, "");
    RunFlags flags;
    const std::string log = Build(fs, {}, &flags);
    Require(flags.Succeeded(), "the last good package is built", log);
    return fs.Contents(kPackage);
  }();
  return package;
}

std::vector<std::string> Lines(const std::string& log) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < log.size(); start = end + 2) {
    end = std::min(log.find("\r\n", start), log.size());
    lines.push_back(log.substr(start, end - start));
  }
  return lines;
}

// Success needs the manifest loaded and one verdict line per theme, each
// "Theme is valid.": a theme that failed an entry check has none.
void CheckSuccessClaim(const std::string& log) {
  const std::vector<std::string> lines = Lines(log);
  const std::string checking = "Checking themes ... ";
  auto count = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.compare(0, checking.size(), checking) == 0;
  });
  Require(
      std::count(lines.begin(), lines.end(), "Processing " + kManifest + " ... succeeded.") == 1,
      "success with the manifest loaded", log);
  Require(count != lines.end(), "success after the themes were counted", log);
  const size_t themes = std::strtoul(count->c_str() + checking.size(), nullptr, 10);
  Require(std::count(lines.begin(), lines.end(), "Theme is valid.") == static_cast<long>(themes),
          "success with a valid verdict for every theme", log);
  Require(std::count(lines.begin(), lines.end(), "Error: Theme is invalid.") == 0,
          "success without an invalid theme", log);
}

// The new package holds every file directly in the folder, byte for byte.
void CheckPackage(MemoryFileSystem& fs, const std::string& log) {
  PackageReader reader;
  std::string fault;
  Require(reader.Open(fs, kPackage, kPlatformNameRules, &fault), "the package opens", log);
  std::vector<std::string> names = {"main.xml"};
  for (const auto& file : kThemeFiles) names.push_back(file[0]);
  std::sort(names.begin(), names.end());
  Require(reader.Files().size() == names.size(), "every file is packed", log);
  for (size_t i = 0; i < names.size(); ++i) {
    const PackedFile& file = reader.Files()[i];
    Require(file.name == names[i], "files are packed in listing order", log);
    std::string content;
    ContentSink append = [&](const uint8_t* data, size_t size, std::string*) {
      content.append(reinterpret_cast<const char*>(data), size);
      return true;
    };
    Require(reader.ReadContent(file, append, &fault), "every packed file inflates", log);
    Require(content == fs.Contents(JoinPath(kFolder, file.name)), "files round-trip", log);
  }
}

// The log is read line by line, unless a value written into it breaks a line
// of its own: the log writes values as they are, and that manifest's lines
// could read as anything.
void CheckBuild(MemoryFileSystem& fs, const RunFlags& flags, const std::string& log,
                bool logLinesForged) {
  Require(log.find(kFatalErrorText) == std::string::npos, "no exception ends the run", log);
  Require(fs.OpenFiles() == 0, "every file is closed", log);
  std::vector<std::string> beside;
  std::string err;
  fs.ListFolder("themes", &beside, &err);
  for (const std::string& name : beside)
    Require(!IsTemporaryPackagePath(kPackage, JoinPath("themes", name)),
            "no temporary package is left", log);
  const std::string success = "\r\n" + kPackage + " successfully created.\r\n";
  Require(logLinesForged || flags.Succeeded() == (log.find(success) != std::string::npos),
          "the package is named created exactly when the run succeeds", log);
  if (flags.Succeeded()) {
    if (!logLinesForged) CheckSuccessClaim(log);
    CheckPackage(fs, log);
  } else {
    Require(fs.Contents(kPackage) == LastGoodPackage(), "a failed run keeps the last good package",
            log);
  }
}

// A check is the build's first part, and each error of its log that it
// reports stands at an element's "<" or at the first byte of the value it
// names (only the missing root has no element to stand at); a cause it
// adds, such as a fault inside a tag, stands within the text.
void CheckCheckOnly(const std::string& manifest, const RunFlags& built, const std::string& log) {
  MemoryFileSystem fs;
  AddFolder(fs, manifest, LastGoodPackage());
  Places places;
  RunFlags flags;
  const std::string checkLog = Build(fs, BuildOptions{true, &places}, &flags);
  Require(log.compare(0, checkLog.size(), checkLog) == 0, "a check logs what a build does", log);
  Require(flags.Valid() == built.Valid(), "a check finds what a build finds", checkLog);
  Require(fs.Contents(kPackage) == LastGoodPackage(), "a check writes nothing", checkLog);
  const std::string text = TextWithLfLines(manifest);
  const TextLines lines(text);
  std::set<std::pair<size_t, size_t>> tags;
  for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1))
    tags.insert({lines.At(at).line, lines.At(at).column});
  for (const Places::Place& place : places.reports) {
    Require(place.manifest == kManifest, "findings name the manifest", checkLog);
    if (place.message.compare(0, 15, "no root element") == 0) continue;
    if (checkLog.find("Error: " + place.message + "\r\n") == std::string::npos) {
      const size_t lineCount = std::count(text.begin(), text.end(), '\n') + 1;
      Require(place.at.line >= 1 && place.at.line <= lineCount && place.at.column >= 1,
              "a cause stands within the text", checkLog + "\nat: " + place.message);
      continue;
    }
    // A value begins after its quote, or after '=' where it has none.
    size_t before = lines.Offset(place.at);
    const bool inText = before != std::string::npos && before <= text.size();
    while (inText && before > 0 && std::isspace(static_cast<unsigned char>(text[before - 1])))
      --before;
    const bool atValue = inText && before > 0 && std::strchr("\"'=", text[before - 1]);
    Require(tags.count({place.at.line, place.at.column}) == 1 || atValue,
            "a finding stands at an element's \"<\" or at the value it names",
            checkLog + "\nat: " + place.message);
  }
}

// What the parser built of a manifest: how deep it went, the most
// attributes it gave one element, and whether a value holds a line break,
// with which a line of the log can pass for another.
struct TreeShape {
  size_t depth = 0;
  size_t attributes = 0;
  bool lineBreakInValue = false;
};

void Measure(const TiXmlNode& node, size_t depth, TreeShape* built) {
  const TiXmlElement* element = node.ToElement();
  if (!element) return;
  built->depth = std::max(built->depth, depth);
  size_t attributes = 0;
  for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
    ++attributes;
    if (a->ValueStr().find_first_of("\r\n") != std::string::npos) built->lineBreakInValue = true;
  }
  built->attributes = std::max(built->attributes, attributes);
}

// Walks the tree without recursion: it may be deeper than the stack allows.
TreeShape Measure(const TiXmlDocument& document) {
  TreeShape built;
  size_t depth = 1;  // the root element is level 1
  const TiXmlNode* node = document.FirstChild();
  while (node) {
    Measure(*node, depth, &built);
    if (node->FirstChild()) {
      node = node->FirstChild();
      ++depth;
      continue;
    }
    while (node != &document && !node->NextSibling()) {
      node = node->Parent();
      --depth;
    }
    node = node == &document ? nullptr : node->NextSibling();
  }
  return built;
}

// What the scan lets the parser read, the parser builds within the limits.
TreeShape CheckParserLimits(const std::string& manifest) {
  const std::string text = TextWithLfLines(manifest);
  if (FindElementBeyondLimits(text).limit != ElementBeyondLimits::Limit::kNone) return TreeShape();
  TiXmlDocument document;
  ParseManifest(text, &document);
  const TreeShape built = Measure(document);
  Require(built.depth <= kMaxNestingDepth, "the parser stays within the depth scanned", text);
  Require(built.attributes <= kMaxAttributes, "the parser reads no more attributes than scanned",
          text);
  return built;
}

}  // namespace
}  // namespace nv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nv;
  const std::string manifest(reinterpret_cast<const char*>(data), size);
  const TreeShape built = CheckParserLimits(manifest);
  MemoryFileSystem fs;
  AddFolder(fs, manifest, LastGoodPackage());
  RunFlags flags;
  const std::string log = Build(fs, {}, &flags);
  CheckBuild(fs, flags, log, built.lineBreakInValue);
  CheckCheckOnly(manifest, flags, log);
  return 0;
}
