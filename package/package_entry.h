// One packed file's entry: its source read whole and compressed in one call
// (a large one in pieces), made apart from the writing of the package, on
// any thread.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "package/package_format.h"
#include "platform/file_system.h"
#include "services/component.h"
#include "services/task_memory.h"

namespace nv {

class TaskSharing;

// Why a file got no entry.
enum class FileFault { kNone, kUnreadable, kTooLarge, kNotCompressed };

// The error line's opening words for a fault; the source path and ".\r\n" follow.
const char* FaultText(FileFault fault);

// A record and its compressed block, made before anything of them is written.
struct Entry {
  FileFault fault = FileFault::kNone;
  std::string reason;  // why the source was unreadable, in the system's words
  EntryRecord record;
  TaskMemPtr<uint8_t> block;
  std::exception_ptr thrown;  // what making it threw, to be thrown where it is written
};

// One call of Compress over the whole content, as the format asks.
bool CompressContent(IZlib& zlib, const uint8_t* content, Entry* entry);

// Reads the source whole, in pieces, and compresses it: a large file in
// pieces too, shared out through `sharing` when it is not null. The file is
// open only inside the call.
Entry ProduceFileEntry(FileSystem& fs, IZlib& zlib, const std::string& path, int32_t id,
                       TaskSharing* sharing = nullptr);

}  // namespace nv
