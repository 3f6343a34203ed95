// Which files of a folder a build packs: one rule for the package writer,
// for the check of the folder's files made before anything is packed, and
// for the warnings about the files the package will hold.
#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "run/build_notes.h"

namespace nv {

// Whether the folder's file `name`, at `path`, is the build's own: its
// package or a temporary file of it, which a folder that holds its package
// lists. The package layer tells them, so whoever knows the package passes
// the test.
using OwnFileTest = std::function<bool(const std::string& name, const std::string& path)>;

struct PackedFileRule {
  // As the run's: whether a file that leads outside the folder through a
  // link is packed, or left out as one that cannot be read.
  bool outsideLinks = true;
  OwnFileTest ownFile;          // empty: no file is the build's own
  BuildNotes* notes = nullptr;  // told of files left out and packed from outside; may be null
};

// Whether a build packs the file `name` of the folder: folder + separator +
// name opens for reading as an existing file while others may read it too,
// it is not the build's own, and it does not lead outside the folder
// through a link, unless the rule packs such files. An empty name, a
// folder, a pipe or device, and a file that another program holds open for
// writing or without read sharing are left out. The notes hear of a file
// left out for a reason the system gives, and of one that leads outside,
// packed or left out; each note is a warning, named so.
bool IsPackedFile(FileSystem& fs, const std::string& folder, const std::string& name,
                  const PackedFileRule& rule);

// The same test for a name that a manifest gives, which may be a relative
// subpath below the folder (the name is appended unchanged), with no file
// taken for the build's own and no note made.
bool FileExistsInFolder(FileSystem& fs, const std::string& folder, const std::string& name,
                        bool outsideLinks = true);

// Lists the folder and hands `packed` each of its files that a build packs,
// in listing order, as IsPackedFile tells; then notes a listing that did
// not reach its end, a warning too. Returns how the listing ended, with the
// system's reason in *err.
ListResult ListPackedFiles(FileSystem& fs, const std::string& folder, const PackedFileRule& rule,
                           const std::function<void(const std::string& name)>& packed,
                           std::string* err);

}  // namespace nv
