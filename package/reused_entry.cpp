// Taking an unchanged file's entry from the last package.
#include "package/reused_entry.h"

namespace nv {

namespace {

Entry Taken(const EntryJob& job, ContentMemo memo) {
  Entry entry;
  entry.record = job.cached->record;
  entry.record.entryId = job.id;
  memo.blockCheck = job.cached->blockCheck;
  entry.memo = memo;
  entry.taken = job.cached;
  return entry;
}

}  // namespace

Entry TakenEntry(const EntryJob& job) {
  const CachedFile& cached = *job.cached;
  return Taken(job, ContentMemo{true, cached.stamp, cached.digested, cached.digest});
}

// A file of the size it had may hold what it held though its stamp says
// otherwise (changed too close to the last build to be told by it, or
// saved again unchanged): when the last build took its digest, its content
// decides, read once for both the digest and, should it differ, the block.
Entry TakeOrProduceEntry(FileSystem& fs, IZlib& zlib, const EntryJob& job, const MemoWanted& memo,
                         TaskSharing* sharing) {
  const CachedFile* cached = job.cached;
  if (job.unchanged) return TakenEntry(job);
  if (!cached || !cached->digested || job.size != cached->stamp.size)
    return ProduceFileEntry(fs, zlib, job.source, job.id, sharing, memo);
  SourceContent content = ReadSource(fs, job.source, MemoWanted{true});
  if (content.fault == FileFault::kNone && content.memo.digested &&
      content.memo.digest == cached->digest && content.size == cached->record.originalSize)
    return Taken(job, content.memo);
  return CompressSource(zlib, std::move(content), job.id, sharing);
}

}  // namespace nv
