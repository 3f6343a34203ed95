// One packed file's entry: its source read whole and compressed in one call
// (a large one in pieces), made apart from the writing of the package, on
// any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "package/entry.h"
#include "package/task_sharing.h"
#include "platform/file_system.h"
#include "services/component.h"

namespace nv {

// The error line's opening words for a fault; the source path and ".\r\n" follow.
const char* FaultText(FileFault fault);

// Which memos the build cache wants of the sources read: none, or each
// one's, with the digest of its content when the file last changed at or
// after `digestFrom`, so recently that its stamp alone will not vouch for it
// next time. A file older than that is not hashed: should its stamp change,
// it is made anew, as hashing it every build would cost more than that.
struct MemoWanted {
  bool wanted = false;
  int64_t digestFrom = INT64_MIN;  // INT64_MIN: every digest
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
