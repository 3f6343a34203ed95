// One build's dealings with the build cache.
#include "package/cached_build.h"
#include "run/fault_words.h"

#include <new>

namespace nv {

CachedBuild::CachedBuild(const RunContext& run, BuildCache* cache, std::string package)
    : m_run(run), m_cache(cache), m_package(std::move(package)) {}

template <typename Action>
void CachedBuild::Guarded(Action action) {
  const std::string fault = FaultOf(action);
  if (fault.empty()) return;
  m_remember = false;
  m_run.Note(m_package, "build cache not used: " + fault);
}

void CachedBuild::Begin(File& created) {
  FileStamp stamp;
  std::string err;
  if (!m_cache || !created.Stamp(&stamp, &err)) return;
  m_created = stamp.identity;
  m_readFrom = stamp.changed;
  m_remember = true;
  Guarded([&] {
    if (!m_cache->Usable(m_run)) {
      m_remember = false;
      return;
    }
    m_previous = m_cache->Recall(m_run, m_package, m_readFrom);
  });
}

EntryJob CachedBuild::Job(int32_t id, const std::string& name, const std::string& source) const {
  EntryJob job{id, source, 0, m_previous ? m_previous->Find(name) : nullptr};
  std::string unknown;
  FileStamp now;
  if (!job.cached) {
    m_run.fs.FileSize(source, &job.size, &unknown);
  } else if (m_run.fs.Stamp(source, &now, &unknown)) {
    job.size = now.size;
    job.unchanged = m_previous->Unchanged(*job.cached, now);
  }
  return job;
}

void CachedBuild::IndexWritten(const Entry& index) {
  if (!m_remember) return;
  m_made.indexStoredSize = index.record.storedSize;
  std::string err;
  Guarded([&] {
    m_remember = HashContent(index.block.get(), index.record.storedSize, &m_made.indexDigest, &err);
  });
  m_sameIndex = m_remember && m_previous &&
                m_previous->Cached().indexStoredSize == m_made.indexStoredSize &&
                m_previous->Cached().indexDigest == m_made.indexDigest;
}

// The same index lists the same names under the same ids; each job then
// points at the cached file of its place. A file changed too close to the
// last build for its stamp to vouch for it (the manifest just edited, say)
// is read, and its content decides, as it would decide its block.
bool CachedBuild::PackageHoldsAll(const std::vector<EntryJob>& jobs) const {
  if (!m_sameIndex || jobs.size() != m_previous->Cached().files.size()) return false;
  std::vector<const EntryJob*> toRead;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (jobs[i].cached != &m_previous->Cached().files[i]) return false;
    if (jobs[i].unchanged) continue;
    if (!jobs[i].cached->digested || jobs[i].size != jobs[i].cached->stamp.size) return false;
    toRead.push_back(&jobs[i]);
  }
  if (!m_previous->StillAsCached()) return false;
  for (const EntryJob* job : toRead)
    if (!HoldsContent(*job)) return false;
  return true;
}

bool CachedBuild::HoldsContent(const EntryJob& job) const {
  const SourceContent content = ReadSource(m_run.fs, job.source, MemoWanted{true});
  return content.fault == FileFault::kNone && content.memo.digested &&
         content.memo.digest == job.cached->digest &&
         content.size == job.cached->record.originalSize;
}

// Without a memo of every file, nothing is kept.
void CachedBuild::FileWritten(const std::string& name, uint64_t at, const Entry& entry) {
  m_remember = m_remember && entry.memo.known;
  if (!m_remember) return;
  Guarded([&] {
    m_made.files.push_back(CachedFile{name, entry.memo.stamp, entry.memo.digested,
                                      entry.memo.digest, at, entry.record, entry.memo.blockCheck});
  });
}

void CachedBuild::LetGoOfLastBuild() {
  if (!m_previous) return;
  const std::string fault = m_previous->Fault();
  if (!fault.empty()) m_run.Note(m_package, "build cache: " + fault + "; blocks made anew");
  m_previous.reset();
}

void CachedBuild::Remember() {
  FileStamp placed;
  std::string err;
  if (!m_remember || !m_run.fs.Stamp(m_package, &placed, &err) || !(placed.identity == m_created))
    return;
  m_made.stamp = placed;
  m_made.readFrom = m_readFrom;
  Guarded([&] { m_cache->Remember(m_run, m_package, std::move(m_made)); });
}

}  // namespace nv
