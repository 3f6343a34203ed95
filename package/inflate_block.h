// Decompressing one block of a package, read and handed on in pieces, so
// that no claim of the package decides how much memory is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_system.h"

namespace nv {

// Takes each piece of an entry's content in order; false stops the reading,
// with the reason in *fault.
using ContentSink = std::function<bool(const uint8_t* data, size_t size, std::string* fault)>;

// Reads `storedSize` bytes from the file's current position and inflates
// them as one zlib stream into `sink`. False, with the reason in words, when
// the stream is broken, gives other than `originalSize` bytes, ends before
// the block does or runs past it, or the file or the sink fail.
bool InflateBlock(File& file, uint32_t storedSize, uint32_t originalSize, const ContentSink& sink,
                  std::string* fault);

}  // namespace nv
