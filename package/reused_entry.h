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
// its stamp is not, when its content's digest is as the last build took it;
// made from the source otherwise. Its memo is filled as wanted.
Entry TakeOrProduceEntry(FileSystem& fs, IZlib& zlib, const EntryJob& job,
                         PreviousPackage* previous, const MemoWanted& memo, TaskSharing* sharing);

}  // namespace nv
