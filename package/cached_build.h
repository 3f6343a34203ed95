// One build's dealings with the build cache: the blocks it may take from
// the last build of its package, and what it keeps of itself for the next.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "package/build_cache.h"
#include "package/entry_job.h"
#include "package/package_entry.h"
#include "package/previous_package.h"
#include "run/run_context.h"

namespace nv {

// The cache's own faults, memory running out among them, are noted and
// never fail the build: what the cache cannot do is left undone. With no
// cache, nothing is taken and nothing kept.
class CachedBuild {
 public:
  CachedBuild(const RunContext& run, BuildCache* cache, std::string package);

  // The new package's file, just created, gives this build's read-from
  // time: no source has been read yet. The last build is recalled then,
  // unless the cache may not be used at all, when nothing is kept either.
  void Begin(File& created);

  // The job of a packed file: a file the last build packed is stamped,
  // which gives its size too and tells whether it is unchanged; another
  // is only sized. A size not known only orders the file last.
  EntryJob Job(int32_t id, const std::string& name, const std::string& source) const;

  // The last build's package, to copy blocks from; null when there is
  // none to take from.
  PreviousPackage* Previous() const { return m_previous.get(); }
  // What the cache wants of each source read: the files the next build
  // cannot tell unchanged by their stamps are hashed.
  MemoWanted Memo() const {
    return MemoWanted{m_remember, TimeBefore(m_readFrom, kRacyNanoseconds)};
  }
  // Whether the writer is to take each block's check.
  bool WantsChecks() const { return m_remember; }

  // Whether the package on disk holds exactly what this build writes: the
  // index just written, and every job's file unchanged (by its stamp, or by
  // its content where the stamp is too new to tell), packed in the same
  // order and so at the same place. The build may then keep it as it is.
  bool PackageHoldsAll(const std::vector<EntryJob>& jobs) const;
  // What the cache keeps of the index and of each file as they are written.
  void IndexWritten(const Entry& index);
  void FileWritten(const std::string& name, uint64_t at, const Entry& entry);

  // Before the new package is moved over the last one, so that nothing
  // holds that once it is replaced.
  void LetGoOfLastBuild();
  // Once the new package is in place: kept for the next build, when the
  // file at its path is the one this build created.
  void Remember();

 private:
  template <typename Action>
  void Guarded(Action action);
  // Whether a job's file holds what the last build digested of it.
  bool HoldsContent(const EntryJob& job) const;

  const RunContext& m_run;
  BuildCache* const m_cache;
  const std::string m_package;
  std::unique_ptr<PreviousPackage> m_previous;
  FileIdentity m_created;
  int64_t m_readFrom = 0;
  bool m_remember = false;
  bool m_sameIndex = false;  // as the last build's
  CachedPackage m_made;
};

}  // namespace nv
