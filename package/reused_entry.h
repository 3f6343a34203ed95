// A packed file's entry taken from the package's last build when the file
// has not changed since, and made as ever when it has or may have.
#pragma once

#include "package/entry_job.h"
#include "package/package_entry.h"
#include "package/previous_package.h"

namespace nv {

class TaskSharing;

// The job's entry, taken from `previous` (which may be null) when the job
// says its file is unchanged, or, when the file's size is as it was but
// its stamp is not, when its content's digest is as it was; made from the
// source otherwise. Its memo is filled when `memo` is set.
Entry TakeOrProduceEntry(FileSystem& fs, IZlib& zlib, const EntryJob& job,
                         PreviousPackage* previous, bool memo, TaskSharing* sharing);

}  // namespace nv
