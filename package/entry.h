// A packed file's entry as it goes from whoever makes it to the writer: its
// record and compressed block, or why the file got none.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "package/package_format.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"
#include "services/task_memory.h"

namespace nv {

// Why a file got no entry.
enum class FileFault { kNone, kUnreadable, kTooLarge, kNotCompressed };

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

struct CachedFile;

// A record and its compressed block, made before anything of them is
// written; or a record whose block is to be copied from the last package.
struct Entry {
  FileFault fault = FileFault::kNone;
  std::string reason;  // why the source was unreadable, in the system's words
  EntryRecord record;
  TaskMemPtr<uint8_t> block;
  ContentMemo memo;                   // when asked for
  const CachedFile* taken = nullptr;  // the file whose block is to be copied, if any
  std::exception_ptr thrown;          // what making it threw, to be thrown where it is written
};

}  // namespace nv
