// The error lines of the theme validation.
#include "manifest/manifest_error.h"

#include "manifest/manifest_log_texts.h"

namespace nv {

void WriteManifestError(ManifestErrorKind kind, OperationLog& log, const std::string& first,
                        const std::string& second) {
  switch (kind) {
    case ManifestErrorKind::FileMissing:
      log << log_text::FileMissing(first, second);
      break;
    case ManifestErrorKind::NoChildNodes:
      log << log_text::NoChildNodes(first);
      break;
    case ManifestErrorKind::AttributesNotFound:
      log << log_text::AttributesNotFound(first, second);
      break;
    case ManifestErrorKind::AttributesInvalid:
      log << log_text::AttributesInvalid(first);
      break;
  }
}

}  // namespace nv
