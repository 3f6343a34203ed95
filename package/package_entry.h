// One packed file's entry: its source read whole and compressed in one call
// (a large one in pieces), made apart from the writing of the package, on
// any thread.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "package/package_format.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"
#include "services/component.h"
#include "services/task_memory.h"

namespace nv {

class TaskSharing;

// Why a file got no entry.
enum class FileFault { kNone, kUnreadable, kTooLarge, kNotCompressed };

// The error line's opening words for a fault; the source path and ".\r\n" follow.
const char* FaultText(FileFault fault);

// What the build cache keeps of a source: its stamp as it was opened, the
// digest of the content then read from it when taken, and the check of the
// block made of that.
struct ContentMemo {
  bool known = false;
  FileStamp stamp;
  bool digested = false;
  ContentDigest digest{};
  uint32_t blockCheck = 0;
};

// Which memos the build cache wants of the sources read: none, or each
// one's, with the digest of its content when the file last changed at or
// after `digestFrom`, so recently that its stamp alone will not vouch for it
// next time. A file older than that is not hashed: should its stamp change,
// it is made anew, as hashing it every build would cost more than that.
struct MemoWanted {
  bool wanted = false;
  int64_t digestFrom = INT64_MIN;  // INT64_MIN: every digest
};

struct CachedFile;

// A record and its compressed block, made before anything of them is
// written; or a record whose block is to be copied from the last package.
struct Entry {
  FileFault fault = FileFault::kNone;
  std::string reason;  // why the source was unreadable, in the system's words
  EntryRecord record;
  TaskMemPtr<uint8_t> block;
  ContentMemo memo;           // when asked for
  const CachedFile* taken = nullptr;  // the file whose block is to be copied, if any
  std::exception_ptr thrown;  // what making it threw, to be thrown where it is written
};

// A source read whole, or why it could not be.
struct SourceContent {
  FileFault fault = FileFault::kNone;
  std::string reason;
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t size = 0;
  ContentMemo memo;
};

// One call of Compress over the whole content, as the format asks.
bool CompressContent(IZlib& zlib, const uint8_t* content, Entry* entry);

// Reads the source whole, in pieces, with its memo as wanted (a memo that
// cannot be had is left unknown). The file is open only inside the call.
SourceContent ReadSource(FileSystem& fs, const std::string& path, const MemoWanted& memo);

// The entry of a source read: compressed, a large one in pieces too, shared
// out through `sharing` when it is not null.
Entry CompressSource(IZlib& zlib, SourceContent source, int32_t id, TaskSharing* sharing);

// Reads the source and compresses it.
Entry ProduceFileEntry(FileSystem& fs, IZlib& zlib, const std::string& path, int32_t id,
                       TaskSharing* sharing = nullptr, const MemoWanted& memo = {});

}  // namespace nv
