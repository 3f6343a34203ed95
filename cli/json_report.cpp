// The JSON document of check.
#include "cli/json_report.h"

#include <algorithm>

#include "cli/command_line.h"
#include "cli/gnu_diagnostics.h"
#include "cli/json_writer.h"

namespace nv {

namespace {

// "line" and "column", as every place in the document gives them.
void WritePlace(JsonWriter& json, const TextPosition& at) {
  json.Key("line");
  json.Number(at.line);
  json.Key("column");
  json.Number(at.column);
}

void WriteDiagnostic(JsonWriter& json, const Diagnostic& d, bool warningsAsErrors) {
  json.BeginObject();
  json.Key("severity");
  json.String(SeverityName(ToldSeverity(d.severity, d.name, warningsAsErrors)));
  json.Key("name");
  json.StringOrNull(d.name);
  json.Key("file");
  json.String(d.file);
  WritePlace(json, d.at);
  json.Key("message");
  json.String(d.message);
  json.Key("notes");
  json.BeginArray();
  for (const std::string& note : d.notes) json.String(note);
  json.EndArray();
  json.Key("related");
  json.BeginArray();
  for (const LocatedNote& note : d.related) {
    json.BeginObject();
    json.Key("file");
    json.String(note.file);
    WritePlace(json, note.at);
    json.Key("message");
    json.String(note.text);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

void WriteTheme(JsonWriter& json, size_t number, const ThemeVerdict& theme) {
  json.BeginObject();
  json.Key("number");
  json.Number(number);
  json.Key("name");
  json.String(theme.name);
  WritePlace(json, theme.at);
  json.Key("valid");
  json.Bool(theme.valid);
  json.EndObject();
}

// An image beside its reference: where it is named, and what it is.
void WriteImage(JsonWriter& json, const ImageReference& image) {
  json.BeginObject();
  json.Key("name");
  json.String(image.name);
  WritePlace(json, image.at);
  json.Key("format");
  json.StringOrNull(image.format);
  json.Key("width");
  json.Number(image.width);
  json.Key("height");
  json.Number(image.height);
  json.EndObject();
}

void WriteFolder(JsonWriter& json, const FolderReport& report) {
  json.BeginObject();
  json.Key("path");
  json.String(report.folder);
  json.Key("exists");
  json.Bool(report.exists);
  json.Key("manifest");
  json.String(report.Manifest());
  json.Key("loaded");
  json.Bool(report.flags.manifestLoaded);
  json.Key("passed");
  json.Bool(report.Passed());
  json.Key("errors");
  json.Number(report.Errors());
  json.Key("warnings");
  json.Number(report.Warnings());
  json.Key("themes");
  json.BeginArray();
  for (size_t i = 0; i < report.themes.size(); ++i) WriteTheme(json, i + 1, report.themes[i]);
  json.EndArray();
  json.Key("diagnostics");
  json.BeginArray();
  for (const Diagnostic& d : report.diagnostics) WriteDiagnostic(json, d, report.warningsAsErrors);
  json.EndArray();
  json.Key("images");
  json.BeginArray();
  for (const ImageReference& image : report.images) WriteImage(json, image);
  json.EndArray();
  json.Key("runNotes");
  json.BeginArray();
  for (const RunNote& note : report.notes) {
    json.BeginObject();
    json.Key("name");
    json.StringOrNull(note.name);
    json.Key("path");
    json.String(note.path);
    json.Key("text");
    json.String(note.text);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

}  // namespace

void WriteJsonReport(std::ostream& out, const std::vector<FolderReport>& reports,
                     bool warningsAsErrors, JsonLayout layout) {
  JsonWriter json(out, layout);
  json.BeginObject();
  json.Key("tool");
  json.BeginObject();
  json.Key("name");
  json.String("nvtheme");
  json.Key("version");
  json.String(kVersion);
  json.EndObject();
  json.Key("warningsAsErrors");
  json.Bool(warningsAsErrors);
  json.Key("passed");
  json.Bool(std::all_of(reports.begin(), reports.end(),
                        [](const FolderReport& r) { return r.Passed(); }));
  json.Key("folders");
  json.BeginArray();
  for (const FolderReport& report : reports) WriteFolder(json, report);
  json.EndArray();
  json.EndObject();
  json.Finish();
}

}  // namespace nv
