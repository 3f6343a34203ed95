// The SARIF log of check.
#include "cli/sarif_report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "cli/command_line.h"
#include "cli/gnu_diagnostics.h"
#include "cli/json_writer.h"
#include "cli/warning_switches.h"
#include "manifest/read_text_file.h"
#include "xml/text_position.h"

namespace nv {

const char kManifestRuleId[] = "manifest-rule";

namespace {

const char kSchema[] =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json";

// Where the project lives and where its manifest reference is published,
// when it has a public home: empty, the log names neither.
const char kHomepage[] = NV_HOMEPAGE;
const char kReferenceUrl[] = NV_REFERENCE_URL;

// The largest file whose columns are counted again: a manifest's limit.
constexpr uint64_t kLargestCounted = 256u << 20;

void Text(JsonWriter& json, const std::string& key, const std::string& text) {
  json.Key(key);
  json.BeginObject();
  json.Key("text");
  json.String(text);
  json.EndObject();
}

// Markdown as plain text: the backticks of code left out.
std::string Plain(std::string markdown) {
  markdown.erase(std::remove(markdown.begin(), markdown.end(), '`'), markdown.end());
  return markdown;
}

void Texts(JsonWriter& json, const std::string& key, const std::string& text,
           const std::string& markdown) {
  json.Key(key);
  json.BeginObject();
  json.Key("text");
  json.String(text);
  json.Key("markdown");
  json.String(markdown);
  json.EndObject();
}

// The reference's cell as a sentence of its own.
std::string Sentence(std::string cell) {
  if (!cell.empty() && cell[0] >= 'a' && cell[0] <= 'z') cell[0] = cell[0] - 'a' + 'A';
  return cell + ".";
}

struct RuleText {
  std::string id;
  std::string description;  // one line
  std::string cause;        // Markdown, each of the three
  std::string fix;
  std::string switches;
};

void Rule(JsonWriter& json, const RuleText& rule, const char* level, bool enabled) {
  json.BeginObject();
  json.Key("id");
  json.String(rule.id);
  Text(json, "shortDescription", rule.description);
  const std::string full = Sentence(rule.cause);
  Texts(json, "fullDescription", Plain(full), full);
  Texts(json, "help", Plain("Cause: " + rule.cause + ".\nFix: " + rule.fix + ".\n" + rule.switches),
        "**Cause:** " + rule.cause + ".\n\n**Fix:** " + rule.fix + ".\n\n" + rule.switches);
  if (kReferenceUrl[0]) {
    json.Key("helpUri");
    json.String(kReferenceUrl);
  }
  json.Key("defaultConfiguration");
  json.BeginObject();
  json.Key("enabled");
  json.Bool(enabled);
  json.Key("level");
  json.String(level);
  json.EndObject();
  json.EndObject();
}

// The manifest's rule first, then every warning in WarningNames() order, so
// that a warning's index is one more than its place there. A warning's
// cause and fix are its row's in the reference.
void Rules(JsonWriter& json) {
  json.Key("rules");
  json.BeginArray();
  Rule(json,
       {kManifestRuleId, "a rule of the manifest, broken: an error line of the operation log",
        "a manifest that does not load, or a theme that breaks a rule: the message is the log's "
        "error line, and the place its element",
        "mend what the error line and its notes name; the manifest reference's table of errors "
        "gives each line's cause and fix",
        "The builder packs a folder only when its manifest loads and every theme is valid."},
       "error", true);
  for (const WarningName& warning : WarningNames()) {
    const std::string name = warning.name;
    const std::string turns = warning.defaultOn ? "On by default; `-Wno-" + name + "` turns it off."
                                                : "Off by default; `-W" + name + "` turns it on.";
    Rule(json,
         {name, warning.description, warning.cause, warning.fix,
          turns + " It never changes the log or the package; `-Werror` makes it fail the run."},
         SeverityName(warning.severity), warning.defaultOn);
  }
  json.EndArray();
}

size_t RuleIndex(const std::string& name) {
  if (name.empty()) return 0;
  const std::vector<WarningName>& all = WarningNames();
  const auto found =
      std::find_if(all.begin(), all.end(), [&](const WarningName& w) { return name == w.name; });
  return 1 + static_cast<size_t>(found - all.begin());
}

// A file, and where in it when the place is known.
void Location(JsonWriter& json, const std::string& file, const TextPosition* at) {
  json.Key("physicalLocation");
  json.BeginObject();
  json.Key("artifactLocation");
  json.BeginObject();
  json.Key("uri");
  json.String(PathUri(file));
  json.EndObject();
  if (at) {
    json.Key("region");
    json.BeginObject();
    json.Key("startLine");
    json.Number(at->line);
    json.Key("startColumn");
    json.Number(at->column);
    json.EndObject();
  }
  json.EndObject();
}

void ResultHead(JsonWriter& json, const std::string& name, const char* level,
                const std::string& message) {
  json.Key("ruleId");
  json.String(name.empty() ? kManifestRuleId : name);
  json.Key("ruleIndex");
  json.Number(RuleIndex(name));
  json.Key("level");
  json.String(level);
  Text(json, "message", message);
}

// A diagnostic's notes stand at its own place, as related locations; a
// located note at its own.
void DiagnosticResult(JsonWriter& json, const Diagnostic& d, bool warningsAsErrors) {
  json.BeginObject();
  ResultHead(json, d.name, SeverityName(ToldSeverity(d.severity, d.name, warningsAsErrors)),
             d.message);
  json.Key("locations");
  json.BeginArray();
  json.BeginObject();
  Location(json, d.file, &d.at);
  json.EndObject();
  json.EndArray();
  if (!d.notes.empty() || !d.related.empty()) {
    json.Key("relatedLocations");
    json.BeginArray();
    size_t id = 0;
    const auto related = [&](const std::string& file, const TextPosition& at,
                             const std::string& text) {
      json.BeginObject();
      json.Key("id");
      json.Number(++id);
      Location(json, file, &at);
      Text(json, "message", text);
      json.EndObject();
    };
    for (const std::string& note : d.notes) related(d.file, d.at, note);
    for (const LocatedNote& note : d.related) related(note.file, note.at, note.text);
    json.EndArray();
  }
  json.EndObject();
}

// Only a note that is a warning is a result, at its warning's severity.
void NoteResult(JsonWriter& json, const RunNote& note, bool warningsAsErrors) {
  const WarningName* warning = FindWarningName(note.name);
  const Severity severity = warning ? warning->severity : Severity::kWarning;
  json.BeginObject();
  ResultHead(json, note.name, SeverityName(ToldSeverity(severity, note.name, warningsAsErrors)),
             note.text);
  json.Key("locations");
  json.BeginArray();
  json.BeginObject();
  Location(json, note.path, nullptr);
  json.EndObject();
  json.EndArray();
  json.EndObject();
}

// What is no finding about the folder: a folder that is not there, the
// system's reason for a failure.
void Notification(JsonWriter& json, const char* level, const std::string& path,
                  const std::string& text) {
  json.BeginObject();
  json.Key("level");
  json.String(level);
  Text(json, "message", path + ": " + text);
  json.Key("locations");
  json.BeginArray();
  json.BeginObject();
  Location(json, path, nullptr);
  json.EndObject();
  json.EndArray();
  json.EndObject();
}

void Invocation(JsonWriter& json, const std::vector<FolderReport>& reports, int exitCode) {
  json.Key("invocations");
  json.BeginArray();
  json.BeginObject();
  json.Key("executionSuccessful");
  json.Bool(
      std::all_of(reports.begin(), reports.end(), [](const FolderReport& r) { return r.exists; }));
  json.Key("exitCode");
  json.Number(static_cast<uint64_t>(exitCode));
  json.Key("toolExecutionNotifications");
  json.BeginArray();
  for (const FolderReport& report : reports) {
    if (!report.exists) Notification(json, "error", report.folder, "no such file or folder");
    for (const RunNote& note : report.notes)
      if (note.name.empty()) Notification(json, "note", note.path, note.text);
  }
  json.EndArray();
  json.EndObject();
  json.EndArray();
}

// The reports with each diagnostic's column counted in code points on its
// line, read again from its file; where the file cannot be read now, the
// column stays in bytes, which is the same on a line of ASCII.
std::vector<FolderReport> InCodePoints(FileSystem& fs, std::vector<FolderReport> reports) {
  std::map<std::string, std::string> texts;
  const auto convert = [&](const std::string& file, TextPosition* at) {
    if (!texts.count(file)) {
      std::string unread;
      ReadFileBytes(fs, file, &texts[file], &unread, kLargestCounted);
    }
    if (!texts[file].empty()) at->column = CodePointColumn(texts[file], *at);
  };
  for (FolderReport& report : reports)
    for (Diagnostic& d : report.diagnostics) {
      convert(d.file, &d.at);
      for (LocatedNote& note : d.related) convert(note.file, &note.at);
    }
  return reports;
}

}  // namespace

size_t CodePointColumn(const std::string& text, const TextPosition& at) {
  const size_t start = TextLines(text).Offset({at.line, 1});
  if (start == std::string::npos) return at.column;
  const size_t end = std::min(start + at.column - 1, text.size());
  size_t column = 1;
  for (size_t i = start; i < end; ++column) {
    const size_t length = Utf8Length(text, i);
    i += length ? length : 1;
  }
  return column + (start + at.column - 1 - end);  // a place past the text's end
}

// A Windows path's drive ("C:") stays as file URIs write it; elsewhere ':'
// is encoded, so that no first segment reads as a scheme.
std::string PathUri(const std::string& path) {
  std::string rest = path;
  if (kPathSeparator != '/') std::replace(rest.begin(), rest.end(), kPathSeparator, '/');
  std::string uri;
  const bool drive = rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) &&
                     rest[1] == ':' && rest[2] == '/';
  if (drive) {
    uri = "file:///" + rest.substr(0, 2);
    rest.erase(0, 2);
  } else if (rest.compare(0, 2, "//") == 0 && kPathSeparator != '/') {
    uri = "file:";  // a share: //server/share/...
  } else if (!rest.empty() && rest[0] == '/') {
    uri = "file://";
  }
  for (const char c : rest) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) && byte < 0x80) {
      uri += c;
    } else if (std::string("-._~/").find(c) != std::string::npos) {
      uri += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      uri += escaped;
    }
  }
  return uri;
}

void WriteSarifReport(std::ostream& out, FileSystem& fs, const std::vector<FolderReport>& given,
                      int exitCode, JsonLayout layout) {
  const std::vector<FolderReport> reports = InCodePoints(fs, given);
  JsonWriter json(out, layout);
  json.BeginObject();
  json.Key("$schema");
  json.String(kSchema);
  json.Key("version");
  json.String("2.1.0");
  json.Key("runs");
  json.BeginArray();
  json.BeginObject();
  json.Key("tool");
  json.BeginObject();
  json.Key("driver");
  json.BeginObject();
  json.Key("name");
  json.String("nvtheme");
  json.Key("version");
  json.String(kVersion);
  if (kHomepage[0]) {
    json.Key("informationUri");
    json.String(kHomepage);
  }
  Rules(json);
  json.EndObject();
  json.EndObject();
  // Said, though it is SARIF's default, for readers that assume bytes.
  json.Key("columnKind");
  json.String("unicodeCodePoints");
  Invocation(json, reports, exitCode);
  json.Key("results");
  json.BeginArray();
  for (const FolderReport& report : reports) {
    for (const Diagnostic& d : report.diagnostics)
      DiagnosticResult(json, d, report.warningsAsErrors);
    for (const RunNote& note : report.notes)
      if (!note.name.empty()) NoteResult(json, note, report.warningsAsErrors);
  }
  json.EndArray();
  json.EndObject();
  json.EndArray();
  json.EndObject();
  json.Finish();
}

}  // namespace nv
