// The SARIF log of check.
#include "cli/sarif_report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/gnu_diagnostics.h"
#include "cli/json_writer.h"
#include "cli/warning_switches.h"

namespace nv {

const char kManifestRuleId[] = "manifest-rule";

namespace {

const char kSchema[] =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json";

void Text(JsonWriter& json, const std::string& key, const std::string& text) {
  json.Key(key);
  json.BeginObject();
  json.Key("text");
  json.String(text);
  json.EndObject();
}

void Rule(JsonWriter& json, const std::string& id, const std::string& description,
          const std::string& help, const char* level, bool enabled) {
  json.BeginObject();
  json.Key("id");
  json.String(id);
  Text(json, "shortDescription", description);
  Text(json, "help", help);
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
// that a warning's index is one more than its place there.
void Rules(JsonWriter& json) {
  json.Key("rules");
  json.BeginArray();
  Rule(json, kManifestRuleId, "a rule of the manifest, broken: an error line of the operation log",
       "The builder packs a folder only when its manifest loads and every theme is valid; "
       "the message is the log's error line, and the place its element.",
       "error", true);
  for (const WarningName& warning : WarningNames()) {
    const std::string name = warning.name;
    const std::string help = warning.defaultOn ? "On by default; -Wno-" + name + " turns it off."
                                               : "Off by default; -W" + name + " turns it on.";
    Rule(json, name, warning.description,
         help + " It never changes the log or the package; -Werror makes it fail the run.",
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
void DiagnosticResult(JsonWriter& json, const Diagnostic& d) {
  json.BeginObject();
  ResultHead(json, d.name, SeverityName(d.severity), d.message);
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
void NoteResult(JsonWriter& json, const RunNote& note) {
  const WarningName* warning = FindWarningName(note.name);
  json.BeginObject();
  ResultHead(json, note.name, SeverityName(warning ? warning->severity : Severity::kWarning),
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

}  // namespace

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

void WriteSarifReport(std::ostream& out, const std::vector<FolderReport>& reports, int exitCode) {
  JsonWriter json(out);
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
  Rules(json);
  json.EndObject();
  json.EndObject();
  Invocation(json, reports, exitCode);
  json.Key("results");
  json.BeginArray();
  for (const FolderReport& report : reports) {
    for (const Diagnostic& d : report.diagnostics) DiagnosticResult(json, d);
    for (const RunNote& note : report.notes)
      if (!note.name.empty()) NoteResult(json, note);
  }
  json.EndArray();
  json.EndObject();
  json.EndArray();
  json.EndObject();
  json.Finish();
}

}  // namespace nv
