// The operation log's texts of packing, in one place. Their bytes are what
// users, the dialog and scripts that read the log rely on: a line may be
// added, never reworded. An error line is its opening words, the path it
// names, then ".\r\n".
#pragma once

namespace nv {

constexpr char kPackingHead[] = "\r\nPacking files ...\r\n";
constexpr char kPackageCreated[] = " successfully created.\r\n";  // after the package's path
constexpr char kErrorLineEnd[] = ".\r\n";

constexpr char kInternalXmlError[] = "Error: Internal XML construction failed.\r\n";
constexpr char kNoCompressionService[] = "Error: Compression service unavailable.\r\n";

// Opening words of error lines that name a path.
constexpr char kUnableToCreate[] = "Error: Unable to create file: ";
constexpr char kUnableToWrite[] = "Error: Unable to write file: ";
constexpr char kUnableToList[] = "Error: Unable to list folder: ";
constexpr char kSourceUnreadable[] = "Error: Source files reading failed: ";
constexpr char kFileTooLarge[] = "Error: File too large to pack: ";
constexpr char kCompressionFailed[] = "Error: Compression failed: ";

}  // namespace nv
