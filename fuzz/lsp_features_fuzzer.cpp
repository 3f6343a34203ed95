// Fuzzes the language server's answers about a manifest as an editor holds
// it, half typed or garbage: the input's first two bytes choose the place
// asked about, the rest is the text. No answer may crash, hang or leak, each
// span read lies in the text, and each answer is JSON a client can read.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/lsp_features.h"
#include "cli/manifest_cursor.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "the language server's answers broke a promise: %s\n", what);
  std::abort();
}

void RequireInside(const std::string& text, const ScannedText& scan) {
  Require(scan.cursor.word.begin <= scan.cursor.word.end && scan.cursor.word.end <= text.size(),
          "the word typed lies in the text");
  for (const ScannedElement& e : scan.elements) {
    Require(e.whole.begin <= e.nameSpan.begin && e.whole.end <= text.size(),
            "an element lies in the text");
    for (const ScannedAttribute& a : e.attributes)
      Require(a.valueSpan.begin <= a.valueSpan.end && a.valueSpan.end <= e.whole.end,
              "a value lies in its element");
  }
}

// Throws, and so aborts, on text that is no UTF-8.
void RequireReadable(const nlohmann::json& answer) { (void)answer.dump(); }

}  // namespace
}  // namespace nv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t cursor = (data[0] | data[1] << 8) % (text.size() + 1);
  nv::RequireInside(text, nv::ScanText(text, cursor));
  nv::MemoryFileSystem fs;
  fs.AddFolder("day");
  fs.AddFile(nv::JoinPath("day", "shot.png"), "\x89PNG\r\n\x1a\n");
  fs.AddFile(nv::JoinPath("day", "main.xml"), text);
  const nv::LspText lsp(text);
  const nv::OpenDocument document{lsp,
                                  nv::PositionEncoding::kUtf16,
                                  fs,
                                  "day",
                                  nv::JoinPath("day", "main.xml"),
                                  [](const std::string& path) { return "file:///" + path; }};
  const nv::LspPosition at = lsp.PositionOf(cursor, nv::PositionEncoding::kUtf16);
  nv::RequireReadable(nv::Completion(document, at));
  nv::RequireReadable(nv::Hover(document, at));
  nv::RequireReadable(nv::Definition(document, at));
  nv::RequireReadable(nv::DocumentSymbols(document));
  const nlohmann::json diagnostic = {
      {"range",
       {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 0}, {"character", 0}}}}},
      {"data", {{"written", "theme"}, {"meant", "Theme"}}}};
  nv::RequireReadable(nv::CodeActions(document, {{"context", {{"diagnostics", {diagnostic}}}}}));
  return 0;
}
