// The error lines of the theme validation.
#include "manifest/manifest_error.h"

namespace nv {

void WriteManifestError(ManifestErrorKind kind, OperationLog& log, const std::string& first,
                        const std::string& second) {
  switch (kind) {
    case ManifestErrorKind::FileMissing:
      log << "Error: The file: '" << first << "' in attribute '" << second
          << "' doesn't exist or can't be read.\r\n";
      break;
    case ManifestErrorKind::NoChildNodes:
      log << "Error: No child nodes found in '" << first << "' node.\r\n";
      break;
    case ManifestErrorKind::AttributesNotFound:
      log << "Error: Attributes '" << first << "' not found in '" << second << "' node.\r\n";
      break;
    case ManifestErrorKind::AttributesInvalid:
      log << "Error: Attributes '" << first << "' invalid.\r\n";
      break;
  }
}

}  // namespace nv
