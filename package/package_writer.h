// The package writer: every file directly in a source folder packed into the
// folder's ".nvp" package, each step reported in the operation log.
#pragma once

#include <string>

#include "package/package_temporaries.h"
#include "run/build_progress.h"
#include "run/run_context.h"
#include "run/run_flags.h"
#include "services/component.h"

class TiXmlDocument;

namespace nv {

class BuildCache;

// Where a folder's package goes: the folder path without its trailing
// separators, followed by ".nvp", so that "ocean/" is packed into "ocean.nvp"
// beside the folder. A root keeps its package inside it.
std::string PackagePath(const std::string& folder);

struct PackOptions {
  // Threads that read and compress files; 0: one per core. The package and
  // the log are the same on any number.
  unsigned jobs = 0;
  BuildProgress* progress = nullptr;  // told how far packing has come; may be null
  std::string package;                // where the package goes; empty: PackagePath(folder)
  // Where the blocks of files unchanged since the last build are taken
  // from, and what this build makes is kept for the next; null: none. The
  // package is the same bytes either way.
  BuildCache* cache = nullptr;
};

// Lists the folder into `index` (the run's empty package index document) and,
// when it holds files and a compression service is there, writes the
// package. The package is written to a temporary file of its own, which
// stays in files->packageTemporary while it exists, and moved over the last
// good package only once whole; a build that fails leaves that one as it
// was. One failure comes after the move: when the package's folder cannot
// be synced, the new package is in place but may not outlast a power cut,
// and the build fails. Sets flags->filesFound and flags->packageOk; the open
// files are kept in `files`, where the run's catch-all can close them.
void WritePackage(const RunContext& run, const std::string& folder, IZlib* zlib,
                  PackOptions options, TiXmlDocument* index, OpenFiles* files, RunFlags* flags);

}  // namespace nv
