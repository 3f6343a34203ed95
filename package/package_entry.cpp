// One packed file's entry.
#include "package/package_entry.h"

#include "package/package_log_texts.h"
#include "package/pieced_block.h"

#include <algorithm>
#include <memory>

#include "services/zlib_stream_bound.h"

namespace nv {

namespace {

// Source files are read in pieces of this size: no single call asks the disk
// for more, whatever the platform's limit on one read.
constexpr size_t kReadPiece = size_t{1} << 20;

FileFault ReadWhole(File& file, std::unique_ptr<uint8_t[]>* content, uint32_t* size,
                    std::string* err) {
  uint64_t fileSize = 0;
  if (!file.Size(&fileSize, err)) return FileFault::kUnreadable;
  // A record holds 32-bit sizes, the stored one too: a file whose stream
  // might not fit is refused from its size, before a byte of it is read.
  if (ZlibStreamBound(fileSize) > UINT32_MAX) return FileFault::kTooLarge;
  *size = static_cast<uint32_t>(fileSize);
  content->reset(new uint8_t[*size]);
  for (uint32_t done = 0; done < *size;) {
    size_t want = std::min<size_t>(kReadPiece, *size - done);
    size_t got = 0;
    if (!file.Read(content->get() + done, want, &got, err)) return FileFault::kUnreadable;
    if (got != want) {
      // The system saw nothing wrong: another program cut the file short.
      *err = "read: the file ended at byte " + std::to_string(done + got) + " of " +
             std::to_string(*size);
      return FileFault::kUnreadable;
    }
    done += static_cast<uint32_t>(got);
  }
  return FileFault::kNone;
}

// The stamp is taken before the content is read: a change made while it is
// read then leaves the file with a later one.
void Remember(File& file, SourceContent* source) {
  std::string unknown;
  source->memo.known = file.Stamp(&source->memo.stamp, &unknown);
}

// A digest that cannot be had leaves the memo unknown, and the build as
// it would be without the cache.
void Digest(SourceContent* source, int64_t from) {
  ContentMemo& memo = source->memo;
  if (!memo.known || std::max(memo.stamp.modified, memo.stamp.changed) < from) return;
  std::string unknown;
  try {
    memo.known = memo.digested =
        HashContent(source->bytes.get(), source->size, &memo.digest, &unknown);
  } catch (...) {
    memo.known = false;
  }
}

}  // namespace

const char* FaultText(FileFault fault) {
  switch (fault) {
    case FileFault::kUnreadable:
      return kSourceUnreadable;
    case FileFault::kTooLarge:
      return kFileTooLarge;
    default:
      return kCompressionFailed;
  }
}

bool CompressContent(IZlib& zlib, const uint8_t* content, Entry* entry) {
  uint8_t* output = nullptr;
  uint32_t length = 0;
  int32_t result = zlib.Compress(content, entry->record.originalSize, &output, &length);
  entry->block.reset(output);
  entry->record.storedSize = length;
  return result == kKestOk && (output || length == 0);
}

SourceContent ReadSource(FileSystem& fs, const std::string& path, const MemoWanted& memo) {
  SourceContent source;
  std::unique_ptr<File> file = fs.OpenForReading(path, Sharing::kRead, &source.reason);
  if (!file) {
    source.fault = FileFault::kUnreadable;
    return source;
  }
  if (memo.wanted) Remember(*file, &source);
  source.fault = ReadWhole(*file, &source.bytes, &source.size, &source.reason);
  if (source.fault != FileFault::kNone) return source;
  std::string lost;
  file->Close(&lost);  // only read: closing can lose nothing
  if (memo.wanted) Digest(&source, memo.digestFrom);
  return source;
}

Entry CompressSource(IZlib& zlib, SourceContent source, int32_t id, TaskSharing* sharing) {
  Entry entry;
  entry.record.entryId = id;
  entry.fault = source.fault;
  entry.reason = std::move(source.reason);
  if (entry.fault != FileFault::kNone) return entry;
  entry.record.originalSize = source.size;
  entry.memo = source.memo;
  const bool compressed = CompressedInPieces(source.size)
                              ? CompressPieces(zlib, std::move(source.bytes), sharing, &entry)
                              : CompressContent(zlib, source.bytes.get(), &entry);
  if (!compressed) entry.fault = FileFault::kNotCompressed;
  return entry;
}

Entry ProduceFileEntry(FileSystem& fs, IZlib& zlib, const std::string& path, int32_t id,
                       TaskSharing* sharing, const MemoWanted& memo) {
  return CompressSource(zlib, ReadSource(fs, path, memo), id, sharing);
}

}  // namespace nv
