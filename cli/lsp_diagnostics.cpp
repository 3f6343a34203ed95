// Findings turned into the protocol's diagnostics.
#include "cli/lsp_diagnostics.h"

#include <memory>

#include "xml/text_position.h"

namespace nv {

namespace {

using nlohmann::json;

constexpr int kError = 1;
constexpr int kWarning = 2;
constexpr int kInformation = 3;

// The most diagnostics told of one file: editors slow down under more, and
// an author mends the first ones first.
constexpr size_t kMostTold = 1000;

int SeverityOf(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return kError;
    case Severity::kWarning:
      return kWarning;
    case Severity::kNote:
      return kInformation;
  }
  return kError;
}

bool IsNameByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
         c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

json PositionJson(const LspPosition& at) {
  return {{"line", at.line}, {"character", at.character}};
}

json RangeJson(const LspRange& range) {
  return {{"start", PositionJson(range.start)}, {"end", PositionJson(range.end)}};
}

// The texts of the files findings point into, each read once.
class Texts {
 public:
  explicit Texts(const TextOfFile& textOf) : m_textOf(textOf) {}

  // The range of the token at a finding's place; the file's start when its
  // text cannot be read.
  LspRange RangeAt(const std::string& path, const TextPosition& at, PositionEncoding encoding) {
    Read* read = ReadOf(path);
    if (!read) return {};
    const size_t offset = std::min(read->lines.Offset(at), read->text.size());
    return read->lsp.RangeOf(offset, TokenEnd(read->text, offset), encoding);
  }

 private:
  struct Read {
    explicit Read(std::string bytes) : text(std::move(bytes)), lines(text), lsp(text) {}
    std::string text;
    TextLines lines;
    LspText lsp;
  };

  Read* ReadOf(const std::string& path) {
    auto found = m_read.find(path);
    if (found == m_read.end()) {
      std::string text;
      std::unique_ptr<Read> read;
      if (m_textOf(path, &text)) read = std::make_unique<Read>(std::move(text));
      found = m_read.emplace(path, std::move(read)).first;
    }
    return found->second.get();
  }

  const TextOfFile& m_textOf;
  std::map<std::string, std::unique_ptr<Read>> m_read;
};

std::string MessageOf(const Diagnostic& diagnostic) {
  std::string message = diagnostic.message;
  for (const std::string& note : diagnostic.notes) message += "\n" + note;
  return message;
}

// A note shown in the file it points into, leading back to its finding.
json Mirrored(const std::string& text, const json& range, const Diagnostic& finding,
              const std::string& findingUri, const json& findingRange) {
  json diagnostic = {{"range", range},
                     {"severity", kInformation},
                     {"source", "nvtheme"},
                     {"message", text},
                     {"relatedInformation",
                      {{{"location", {{"uri", findingUri}, {"range", findingRange}}},
                        {"message", finding.message}}}}};
  if (!finding.name.empty()) diagnostic["code"] = finding.name;
  return diagnostic;
}

}  // namespace

size_t TokenEnd(const std::string& text, size_t offset) {
  size_t at = offset;
  if (at < text.size() && text[at] == '<') {
    ++at;
    if (at < text.size() && text[at] == '/') ++at;
  }
  const size_t name = at;
  while (at < text.size() && IsNameByte(text[at])) ++at;
  if (at == name) return std::min(offset + 1, text.size());
  // An attribute's name runs on to its value's closing quote.
  if (offset == name && at < text.size() && text[at] == '=' && at + 1 < text.size() &&
      (text[at + 1] == '"' || text[at + 1] == '\'')) {
    const size_t close = text.find(text[at + 1], at + 2);
    if (close != std::string::npos && text.find('\n', at) > close) return close + 1;
  }
  return at;
}

json FileDiagnostic(int severity, const std::string& message) {
  return {{"range", RangeJson({})},
          {"severity", severity},
          {"source", "nvtheme"},
          {"message", message}};
}

std::map<std::string, json> PublishedDiagnostics(
    const FolderReport& report, const TextOfFile& textOf, PositionEncoding encoding,
    const std::function<std::string(const std::string& path)>& uriOf) {
  Texts texts(textOf);
  std::map<std::string, json> published;
  std::map<std::string, size_t> untold;
  for (const Diagnostic& d : report.diagnostics) {
    if (published[d.file].size() >= kMostTold) {
      ++untold[d.file];
      continue;
    }
    json diagnostic = {{"range", RangeJson(texts.RangeAt(d.file, d.at, encoding))},
                       {"severity", SeverityOf(d.severity)},
                       {"source", "nvtheme"},
                       {"message", MessageOf(d)}};
    if (!d.name.empty()) diagnostic["code"] = d.name;
    const json range = diagnostic["range"];
    for (const LocatedNote& note : d.related) {
      const json at = RangeJson(texts.RangeAt(note.file, note.at, encoding));
      diagnostic["relatedInformation"].push_back(
          {{"location", {{"uri", uriOf(note.file)}, {"range", at}}}, {"message", note.text}});
      // A note in another file (a layout the manifest names) is shown there
      // too: the author editing that file sees where the fault lies.
      if (note.file != d.file && published[note.file].size() < kMostTold)
        published[note.file].push_back(Mirrored(note.text, at, d, uriOf(d.file), range));
    }
    if (!d.fix.meant.empty())
      diagnostic["data"] = {{"written", d.fix.written}, {"meant", d.fix.meant}};
    published[d.file].push_back(std::move(diagnostic));
  }
  for (const auto& file : untold)
    published[file.first].push_back(FileDiagnostic(
        kInformation,
        std::to_string(file.second) +
            " more findings in this file; 'nvtheme check' on the folder tells them all"));
  for (const RunNote& note : report.notes) {
    json diagnostic =
        FileDiagnostic(note.name.empty() ? kInformation : kWarning, note.path + ": " + note.text);
    if (!note.name.empty()) diagnostic["code"] = note.name;
    published[report.Manifest()].push_back(std::move(diagnostic));
  }
  return published;
}

}  // namespace nv
