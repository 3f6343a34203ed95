// What the language server answers about a place in an open document of a
// theme folder: completion, hover, the definition a reference leads to, the
// document's outline, and the "did you mean" fixes its diagnostics offer.
// Each answer is the protocol's result, as JSON; null where there is none.
#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/lsp_text.h"
#include "platform/file_system.h"

namespace nv {

struct OpenDocument {
  const LspText& text;  // the buffer as the editor holds it
  PositionEncoding encoding;
  FileSystem& fs;      // the folder's other files, on the disk
  std::string folder;  // the theme folder, as a path
  std::string path;    // the document's path: the folder's main.xml, or a layout in it
  // The URI an editor opens for a path of the folder.
  std::function<std::string(const std::string& path)> uriOf;
};

// textDocument/completion: a CompletionList or null.
nlohmann::json Completion(const OpenDocument& document, LspPosition at);
// textDocument/hover: a Hover or null.
nlohmann::json Hover(const OpenDocument& document, LspPosition at);
// textDocument/definition: a Location or null.
nlohmann::json Definition(const OpenDocument& document, LspPosition at);
// textDocument/documentSymbol: DocumentSymbol[].
nlohmann::json DocumentSymbols(const OpenDocument& document);
// textDocument/codeAction: CodeAction[] for the request's params (its
// context's diagnostics carry the fixes in their data, as the server
// published them: {"written": ..., "meant": ...}).
nlohmann::json CodeActions(const OpenDocument& document, const nlohmann::json& params);

}  // namespace nv
