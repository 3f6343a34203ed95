// Loading a folder's main.xml.
#include "manifest/load_manifest.h"

#include <tinyxml.h>

#include "manifest/load_failure_notes.h"
#include "manifest/manifest.h"
#include "manifest/manifest_log_texts.h"
#include "manifest/read_text_file.h"
#include "xml/parser_limits.h"

namespace nv {

namespace {

// A manifest that leads outside the folder, where such files are not taken,
// is not read: its text could be anyone's.
bool LeadsOutside(const RunContext& run, const std::string& folder, const std::string& path,
                  std::string* target) {
  std::string err;
  if (run.outsideLinks || !run.fs.LeadsOutside(folder, path, target, &err)) return false;
  run.Note(path, "not read: a link to " + *target + ", outside the folder");
  return true;
}

// A wrong root is at the element found instead; none found, the error is
// about the whole file.
TextPosition RootErrorPlace(const std::string& text, const TiXmlDocument& manifest) {
  const TiXmlElement* first = manifest.FirstChildElement();
  return first ? ElementPositions(text, manifest).Of(*first) : TextPosition();
}

void Report(ManifestDiagnostics* diagnostics, const std::string& manifest, TextPosition at,
            const std::string& message, std::vector<std::string> notes = {}, NameFix fix = {}) {
  if (!diagnostics) return;
  Diagnostic error;
  error.file = manifest;
  error.at = at;
  error.message = message;
  error.notes = std::move(notes);
  error.fix = std::move(fix);
  diagnostics->Report(error);
}

void ReportNoRoot(ManifestDiagnostics* diagnostics, const std::string& shown,
                  const std::string& text, const TiXmlDocument& manifest,
                  const ManifestAttempt& attempt, FileSystem& fs) {
  NameFix fix;
  std::vector<std::string> notes = WhyManifestDidNotLoad(fs, attempt, &fix);
  Report(diagnostics, shown, RootErrorPlace(text, manifest), "no root element \"nuvarinepackage\".",
         std::move(notes), std::move(fix));
}

}  // namespace

bool LoadManifest(const RunContext& run, const std::string& folder, std::string* text,
                  TiXmlDocument* manifest, ManifestDiagnostics* diagnostics) {
  const std::string path = JoinPath(folder, "main.xml");
  const std::string shown = PathInFolder(folder, "main.xml");
  std::string err, target;
  const bool outside = LeadsOutside(run, folder, path, &target);
  const TextRead read =
      outside ? TextRead::kUnreadable : ReadTextFile(run.fs, path, text, &err, kMaxManifestBytes);
  // The log says "failed" alone; the note says why.
  if (read == TextRead::kUnreadable && !err.empty()) run.Note(path, err);
  const ElementBeyondLimits beyond = FindElementBeyondLimits(*text);
  const bool parsed =
      read != TextRead::kTooLarge && beyond.limit == ElementBeyondLimits::Limit::kNone;
  if (parsed) ParseManifest(*text, manifest);
  const bool loaded = parsed && HasManifestRoot(*manifest);
  run.log << (loaded ? log_text::kLoadSucceeded : log_text::kLoadFailed);
  std::string limitLine;
  TextPosition at;
  if (read == TextRead::kTooLarge) {
    limitLine = log_text::ManifestTooLarge();
  } else if (beyond.limit == ElementBeyondLimits::Limit::kDepth) {
    limitLine = log_text::NestedTooDeep();
    at = TextLines(*text).At(beyond.offset);
  } else if (beyond.limit == ElementBeyondLimits::Limit::kAttributes) {
    limitLine = log_text::TooManyAttributes();
    at = TextLines(*text).At(beyond.offset);
  }
  run.log << limitLine;
  if (!limitLine.empty())
    Report(diagnostics, shown, at, MessageOfErrorLine(limitLine));
  else if (!loaded && diagnostics)
    ReportNoRoot(diagnostics, shown, *text, *manifest,
                 {folder, read, err, outside, target, *text, *manifest}, run.fs);
  run.PublishLog();
  run.log << log_text::kLoadEnd;
  return loaded;
}

}  // namespace nv
