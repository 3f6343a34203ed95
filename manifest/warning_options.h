// What the caller of the warnings pass tells it of the run: whether files
// that lead outside the folder are packed, the tests that live in layers
// this one does not use, and how images are looked into.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "image/image_check.h"
#include "manifest/image_verdicts.h"
#include "run/packed_files.h"

namespace nv {

struct WarningOptions {
  // As the run's: whether a file that leads outside the folder is packed.
  bool outsideLinks = true;
  // Whether extract on Windows takes a name, as CheckEntryName under
  // NameRules::kWindows tells, with the reason in *fault when it does not.
  // Those rules live with the package's entry names, a layer this one does
  // not use, so the caller passes them; without them a name is held to
  // ASCII and to letter case alone.
  std::function<bool(const std::string& name, std::string* fault)> windowsNameCheck;
  // Which of the folder's files are the build's own output (its package, or
  // a temporary file of it, in a folder that holds its package), which the
  // writer never packs. Those files are the package layer's to tell, so the
  // caller passes the test; without it, none is.
  OwnFileTest ownFile;
  // How deep the images the manifest names are looked into: decoding finds
  // more, and costs more, than reading each block of the format.
  ImageDepth imageDepth = ImageDepth::kStructure;
  // Where a look takes the verdicts of images that an earlier look at least
  // as deep found whole and that did not change since, and tells of those
  // it finds whole; null: every image is looked into.
  ImageVerdicts* imageVerdicts = nullptr;
  // Threads that look into images at once; 0: one per core.
  unsigned jobs = 0;
  // The warnings, by name, that the caller reports; null: every one. Those
  // it does not are not kept: a warning a file is raised for every file of a
  // folder of hundreds of thousands.
  const std::set<std::string>* wanted = nullptr;
};

}  // namespace nv
