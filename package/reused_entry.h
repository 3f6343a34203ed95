// A packed file's entry taken from the package's last build when the file
// has not changed since, and made as ever when it has or may have.
#pragma once

#include "package/entry_job.h"
#include "package/package_entry.h"
#include "package/task_sharing.h"

namespace nv {

// The entry of a job whose file's stamp says it is unchanged: its record
// and what the cache keeps of it, its block left to be copied from the
// last package as the package is written.
Entry TakenEntry(const EntryJob& job);

// The job's entry: taken when the job says its file is unchanged, or when
// the file's size is as it was but its stamp is not and its content's
// digest is as the last build took it; made from the source otherwise.
// Its memo is filled as wanted.
Entry TakeOrProduceEntry(FileSystem& fs, IZlib& zlib, const EntryJob& job, const MemoWanted& memo,
                         TaskSharing* sharing);

}  // namespace nv
