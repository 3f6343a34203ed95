// Taking an unchanged file's block from the last package.
#include "package/reused_entry.h"

namespace nv {

namespace {

// Whatever goes wrong taking it, memory running out included, the block is
// made anew instead.
bool Taken(PreviousPackage& previous, const CachedFile& cached, int32_t id, ContentMemo memo,
           Entry* entry) {
  entry->record.entryId = id;
  try {
    if (!previous.ReadBlock(cached, entry)) return false;
  } catch (...) {
    return false;
  }
  memo.blockCheck = cached.blockCheck;
  entry->memo = memo;
  return true;
}

}  // namespace

// A file of the size it had may hold what it held though its stamp says
// otherwise (changed too close to the last build to be told by it, or
// saved again unchanged): when the last build took its digest, its content
// decides, read once for both the digest and, should it differ, the block.
Entry TakeOrProduceEntry(FileSystem& fs, IZlib& zlib, const EntryJob& job,
                         PreviousPackage* previous, const MemoWanted& memo, TaskSharing* sharing) {
  const CachedFile* cached = job.cached;
  Entry entry;
  if (!previous || !cached ||
      (!job.unchanged && (!cached->digested || job.size != cached->stamp.size)))
    return ProduceFileEntry(fs, zlib, job.source, job.id, sharing, memo);
  if (job.unchanged) {
    const ContentMemo kept{true, cached->stamp, cached->digested, cached->digest};
    if (Taken(*previous, *cached, job.id, kept, &entry)) return entry;
    return ProduceFileEntry(fs, zlib, job.source, job.id, sharing, memo);
  }
  SourceContent content = ReadSource(fs, job.source, MemoWanted{true});
  if (content.fault == FileFault::kNone && content.memo.digested &&
      content.memo.digest == cached->digest && content.size == cached->record.originalSize &&
      Taken(*previous, *cached, job.id, content.memo, &entry))
    return entry;
  return CompressSource(zlib, std::move(content), job.id, sharing);
}

}  // namespace nv
