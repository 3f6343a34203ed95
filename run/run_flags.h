// The state of a build run that its stages set and its catch-all reads: the
// four flags, and the package file the writer has open.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/interrupt.h"

namespace nv {

// The four flags of a run, all false when it starts.
struct RunFlags {
  bool manifestLoaded = false;
  bool themesValid = false;
  bool filesFound = false;
  bool packageOk = false;

  // Whether the run wrote its closing success lines.
  bool Succeeded() const { return manifestLoaded && themesValid && filesFound && packageOk; }
  // Whether the manifest loaded and every theme in it is valid.
  bool Valid() const { return manifestLoaded && themesValid; }
};

// The package file the writer has open, kept where the run's catch-all can
// close it, and its temporary name while it exists, which the catch-all
// removes. (Source files are opened and closed by whoever reads them.)
struct OpenFiles {
  std::unique_ptr<File> package;
  std::string packageTemporary;
  // Removes the temporary package if the process is interrupted meanwhile.
  std::unique_ptr<RemovedOnInterrupt> removedOnInterrupt;
};

}  // namespace nv
