// Warnings about the files that a manifest names: one the package will not
// hold, one named in another letter case than its own, and one that is no
// layout. Images are gathered here and looked into all at once.
#include <tinyxml.h>

#include "manifest/manifest.h"
#include "manifest/read_text_file.h"
#include "manifest/strict_xml.h"
#include "manifest/warning_run.h"
#include "run/packed_files.h"

namespace nv {

namespace {

const char kInOtherCase[] = " is not in the folder in that letter case";

void CheckLayout(TextPosition named, const std::string& name, WarningRun* run) {
  const std::string path = JoinPath(run->folder, name);
  std::string bytes, err;
  XmlFault fault;
  if (ReadFileBytes(run->fs, path, &bytes, &err, kMaxManifestBytes) != TextRead::kRead ||
      IsWellFormedXml(bytes, &fault))
    return;
  run->Warn("not-a-layout", named, Quote(name) + " is not a layout: it is not well-formed XML",
            {"a strict reader (the media application may be one) refuses it"},
            {{PathInFolder(run->folder, name), fault.at, fault.reason}});
}

// The name without the "./" (or ".\\") steps it begins with, which name
// the folder itself.
std::string WithoutLeadingDots(std::string name) {
  while (name.size() > 2 && name[0] == '.' && (name[1] == '/' || name[1] == '\\')) name.erase(0, 2);
  return name;
}

// The last step of a path, by either separator.
std::string LastStep(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

// A file is looked into once for each use, however many elements name it:
// what it holds is one fault, wherever it is named. Where it is named is
// each element's own.
void CheckFileReference(const TiXmlElement& element, const char* attribute,
                        const std::string& value, ValueKind kind, WarningRun* run) {
  // A fault of the name is at the value, where an editor puts it right.
  const auto at = [&] { return run->positions.ValueOf(element, attribute); };
  if (run->IsPacked(value)) {
    run->used.insert(value);
    if (kind == ValueKind::kImage) run->images.push_back({value, at(), "", 0, 0});
    if (!run->examined.insert({value, kind}).second) return;
    if (kind == ValueKind::kLayout) CheckLayout(at(), value, run);
    return;
  }
  if (!run->listedWhole) return;  // a name missing from a listing cut short may be in the rest
  const std::string plain = WithoutLeadingDots(value);
  if (plain != value && run->IsPacked(plain)) {
    run->used.insert(plain);
    run->Warn(
        "unpacked-reference", at(),
        Quote(value) + " names no file of the package, whose index lists it as " + Quote(plain),
        {"the media application looks the name up as it is written and finds nothing; "
         "write " +
         Quote(plain)});
    return;
  }
  if (const std::string* own = run->PackedInOtherCase(value)) {
    run->used.insert(*own);
    run->Warn("case-mismatch", at(), Quote(value) + kInOtherCase,
              {"the folder holds " + Quote(*own) +
               ": Windows builds the theme, Linux does not, and the media application may not "
               "find the file; write its name as it is"},
              {}, {value, *own});
  } else if (FileExistsInFolder(run->fs, run->folder, value, run->options.outsideLinks)) {
    const std::string where =
        " is not directly in the folder, and the package holds only the files that are";
    const std::string what =
        "the theme would be packed without it; move the file into the folder and name it ";
    run->Warn("unpacked-reference", at(), Quote(value) + where, {what + Quote(LastStep(value))});
  }
}

// The error's message is its log line, which names the file as written.
bool RestatesError(const std::vector<Diagnostic>& errors, const Diagnostic& warning) {
  if (warning.name != "case-mismatch") return false;
  const std::string head = "The file: '", tail = "' in attribute '";
  for (const Diagnostic& error : errors) {
    const size_t end = error.message.find(tail);
    if (error.name.empty() && error.file == warning.file && error.at.line == warning.at.line &&
        error.at.column == warning.at.column && error.message.compare(0, head.size(), head) == 0 &&
        end != std::string::npos &&
        Quote(error.message.substr(head.size(), end - head.size())) + kInOtherCase ==
            warning.message)
      return true;
  }
  return false;
}

}  // namespace nv
