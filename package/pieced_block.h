// A large file's block made in pieces on every thread that is free, joined
// into one zlib stream.
#pragma once

#include <cstdint>
#include <memory>

#include "package/entry.h"
#include "package/task_sharing.h"
#include "services/component.h"

namespace nv {

// Files larger than this are compressed in pieces of this size. It is fixed,
// not drawn from the number of threads, so that the package is the same on
// any number.
constexpr uint32_t kPieceSize = 4 << 20;

// Whether a file of this size is compressed in pieces.
bool CompressedInPieces(uint64_t size);

// Compresses the content of entry->record.originalSize bytes in pieces,
// with `sharing` (or on this thread alone when null), and lets go of the
// content before the pieces are joined, so that the file and its block
// never take more than a whole file's block made in one call.
bool CompressPieces(IZlib& zlib, std::unique_ptr<uint8_t[]> content, TaskSharing* sharing,
                    Entry* entry);

}  // namespace nv
