// The error lines that the theme validation writes into the operation log.
#pragma once

#include <string>

#include "run/operation_log.h"

namespace nv {

// The values are fixed: they are the kinds' numbers wherever they are stored.
enum class ManifestErrorKind {
  FileMissing = 0,         // first: the file name, second: the attribute
  NoChildNodes = 1,        // first: the element
  AttributesNotFound = 2,  // first: the attributes, second: the element
  AttributesInvalid = 3,   // first: the attributes
};

// Appends the kind's line, with first and second as they are (no escaping).
// A value outside the four kinds writes nothing.
void WriteManifestError(ManifestErrorKind kind, OperationLog& log, const std::string& first,
                        const std::string& second);

}  // namespace nv
