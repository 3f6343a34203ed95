// The answers about a place in a document: none yet, so that an editor
// that asks is told there is nothing rather than refused.
#include "cli/lsp_features.h"

namespace nv {

nlohmann::json Completion(const OpenDocument&, LspPosition) { return nullptr; }
nlohmann::json Hover(const OpenDocument&, LspPosition) { return nullptr; }
nlohmann::json Definition(const OpenDocument&, LspPosition) { return nullptr; }
nlohmann::json DocumentSymbols(const OpenDocument&) { return nlohmann::json::array(); }
nlohmann::json CodeActions(const OpenDocument&, const nlohmann::json&) {
  return nlohmann::json::array();
}

}  // namespace nv
