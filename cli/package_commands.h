// The nvtheme commands that look inside packages: list, extract and verify.
// Each reports its faults on `err`, one line each, naming the package, and
// returns whether it succeeded.
#pragma once

#include <ostream>
#include <string>

#include "cli/folder_extraction.h"
#include "platform/file_system.h"

namespace nv {

// One line per packed file on `out`, in index order: id, original size,
// stored size and name, separated by tabs, the name escaped.
bool ListPackage(FileSystem& fs, const std::string& package, std::ostream& out, std::ostream& err);

// Unpacks every file into `folder`, which is created when missing, and
// writes nothing outside it. A name already in the folder fails the command
// before anything is written, unless `existing` lets its file be replaced;
// a failure part-way leaves the folder as it was found.
bool ExtractPackage(FileSystem& fs, const std::string& package, const std::string& folder,
                    ExistingFiles existing, std::ostream& err);

// Checks the whole package, every block inflated, and says "PACKAGE: OK, N
// files" on `out`; else names each faulty file on `err`.
bool VerifyPackage(FileSystem& fs, const std::string& package, std::ostream& out,
                   std::ostream& err);

}  // namespace nv
