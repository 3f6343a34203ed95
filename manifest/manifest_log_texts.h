// The texts that manifest/ writes into the operation log: the load of
// main.xml, the theme checks, and their error lines, each with its line end.
#pragma once

#include <cstddef>
#include <string>

#include "manifest/manifest.h"
#include "xml/parser_limits.h"

namespace nv {

// These bytes are what users and the dialog rely on: people read, quote and
// compare the log from run to run, and the dialog shows it as it stands. A
// line may be added; none is ever reworded, and findings' whys go to
// ManifestDiagnostics instead.
namespace log_text {

// What ends "Processing FOLDER/main.xml ... ".
inline constexpr char kLoadSucceeded[] = "succeeded.\r\n";
inline constexpr char kLoadFailed[] = "failed\r\n";
// What ends the load, after its lines: a blank line before what follows.
inline constexpr char kLoadEnd[] = "\r\n";

// The lines after "failed" for a manifest refused before it is parsed.
inline std::string ManifestTooLarge() {
  return "Error: main.xml is larger than " + std::to_string(kMaxManifestBytes >> 20) + " MiB.\r\n";
}
inline std::string NestedTooDeep() {
  return "Error: main.xml nests elements more than " + std::to_string(kMaxNestingDepth) +
         " levels deep.\r\n";
}
inline std::string TooManyAttributes() {
  return "Error: main.xml gives an element more than " + std::to_string(kMaxAttributes) +
         " attributes.\r\n";
}

inline constexpr char kCheckingThemes[] = "Checking themes ... ";
inline std::string Variations(size_t count) { return std::to_string(count) + " variations.\r\n"; }
inline std::string Validating(size_t number) {
  return "Validating #" + std::to_string(number) + "... \r\n";
}
inline constexpr char kThemeValid[] = "Theme is valid.\r\n";
inline constexpr char kThemeInvalid[] = "Error: Theme is invalid.\r\n";

// The error lines of the rules, with their values as they are (no escaping).
inline std::string FileMissing(const std::string& file, const std::string& attribute) {
  return "Error: The file: '" + file + "' in attribute '" + attribute +
         "' doesn't exist or can't be read.\r\n";
}
inline std::string NoChildNodes(const std::string& element) {
  return "Error: No child nodes found in '" + element + "' node.\r\n";
}
inline std::string AttributesNotFound(const std::string& attributes, const std::string& element) {
  return "Error: Attributes '" + attributes + "' not found in '" + element + "' node.\r\n";
}
inline std::string AttributesInvalid(const std::string& attributes) {
  return "Error: Attributes '" + attributes + "' invalid.\r\n";
}

}  // namespace log_text

}  // namespace nv
