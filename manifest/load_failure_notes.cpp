// Why a folder's main.xml did not load.
#include "manifest/load_failure_notes.h"

#include <tinyxml.h>

#include <algorithm>

#include "manifest/manifest_elements.h"
#include "manifest/warning_run.h"
#include "xml/text_position.h"

namespace nv {

namespace {

const char kManifest[] = "main.xml";
const char kRoot[] = "nuvarinepackage";

std::string At(TextPosition at) {
  return std::to_string(at.line) + ":" + std::to_string(at.column);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Given a file where a folder was wanted: a package, most likely, as the
// folder's package lies beside it under the folder's name.
std::string NotAFolder(FileSystem& fs, const std::string& folder) {
  if (!EndsWith(FoldCase(folder), ".nvp"))
    return Quote(folder) + " is a file, not a folder: give the theme folder that holds main.xml";
  const std::string source = folder.substr(0, folder.size() - 4);
  std::string err;
  return Quote(folder) + " is a package, not a theme folder: give the folder it is built from" +
         (fs.PathExists(source, &err) ? ", " + Quote(source) : "");
}

// Windows finds "Main.xml" for "main.xml"; other systems don't.
std::string OtherCase(FileSystem& fs, const std::string& folder) {
  std::vector<std::string> names;
  std::string err;
  fs.ListFolder(folder, &names, &err);
  for (const std::string& name : names)
    if (FoldCase(name) == kManifest) return name;
  return "";
}

std::vector<std::string> WhyUnreadable(FileSystem& fs, const ManifestAttempt& a) {
  const std::string path = JoinPath(a.folder, kManifest);
  std::string err;
  if (a.ledOutside)
    return {"main.xml leads outside the folder, to " + a.outsideTarget +
            ", and this run takes no file that does: copy it into the folder"};
  if (!fs.PathExists(a.folder, &err)) return {Quote(a.folder) + " does not exist"};
  if (fs.IsReadableFile(a.folder, &err) || !err.empty()) return {NotAFolder(fs, a.folder)};
  if (!fs.PathExists(path, &err)) {
    const std::string other = OtherCase(fs, a.folder);
    if (other.empty()) return {"the folder holds no main.xml"};
    return {"the folder holds no main.xml, but " + Quote(other) +
            ": the name must be 'main.xml', in lower case"};
  }
  if (!fs.IsReadableFile(path, &err) && err.empty()) return {"main.xml is a folder, not a file"};
  return {"main.xml cannot be read: " + a.readError};
}

// What a Windows editor's "Unicode" saves: UTF-16 (or UTF-32), told by its
// byte order mark, or by a NUL beside the first character where the mark
// was left out. The parser reads 8-bit text alone.
std::string WideEncoding(const std::string& text) {
  const auto starts = [&text](const std::string& bytes) {
    return text.compare(0, bytes.size(), bytes) == 0;
  };
  if (starts(std::string("\xFF\xFE\0\0", 4)) || starts(std::string("\0\0\xFE\xFF", 4)))
    return "UTF-32";
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) return "UTF-16";
  if (text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0')) return "UTF-16";
  return "";
}

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

}  // namespace

std::vector<std::string> WhyManifestDidNotLoad(FileSystem& fs, const ManifestAttempt& a,
                                               NameFix* fix) {
  if (a.read == TextRead::kUnreadable) return WhyUnreadable(fs, a);
  if (a.text.empty()) return {"main.xml is empty"};
  if (IsBlank(a.text)) return {"main.xml holds nothing but white space"};
  const std::string wide = WideEncoding(a.text);
  if (!wide.empty())
    return {"main.xml is saved as " + wide + ", which the builder cannot read: save it as UTF-8"};
  std::vector<std::string> notes;
  const TiXmlDocument& doc = a.manifest;
  // The parser counts a row and column of its own; for a line of ASCII
  // without tabs they are an editor's.
  if (doc.Error() && doc.ErrorRow() > 0)
    notes.push_back("the parser stopped at " + std::to_string(doc.ErrorRow()) + ":" +
                    std::to_string(doc.ErrorCol()) + ": " + doc.ErrorDesc());
  else if (doc.Error())
    notes.push_back(std::string("the parser stopped: ") + doc.ErrorDesc());
  const TiXmlElement* first = doc.FirstChildElement();
  if (first) {
    const std::string name = first->Value();
    notes.push_back("the first element is " + Quote(name) + ", at " +
                    At(ElementPositions(a.text, doc).Of(*first)));
    if (!NearestName(name, {kRoot}).empty()) {
      notes.push_back("did you mean '" + std::string(kRoot) + "'?");
      if (fix) *fix = {name, kRoot};
    }
  } else if (a.text.find('\0') != std::string::npos) {
    notes.push_back("the text ends for the parser at the NUL byte at " +
                    At(TextLines(a.text).At(a.text.find('\0'))));
  } else if (a.text.find("<!DOCTYPE") != std::string::npos) {
    // TinyXML takes a DOCTYPE with declarations inside it for the whole
    // document, and finds nothing after it.
    notes.push_back("the parser reads no element past the DOCTYPE at " +
                    At(TextLines(a.text).At(a.text.find("<!DOCTYPE"))) +
                    "; remove it, as the manifest needs none");
  } else if (!doc.Error()) {
    notes.push_back("main.xml holds no element");
  }
  return notes;
}

}  // namespace nv
