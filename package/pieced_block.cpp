// A large file's block made in pieces: each piece deflated on its own and
// its Adler-32 taken on the same thread, then the pieces copied one after
// another behind a zlib header, and the checksums combined.
#include "package/pieced_block.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "services/zlib_stream_bound.h"

namespace nv {

namespace {

// What a piece adds at most to the file's longest stream: a stored block's
// header where a piece boundary splits one, and the empty block that
// continues the piece.
constexpr uint64_t kPieceSlack = 5 + 5;

// The header the service's own streams open with: deflate with a 32 KiB
// window, made at a fast level.
constexpr uint8_t kZlibHeader[] = {0x78, 0x5E};

struct Piece {
  TaskMemPtr<uint8_t> bytes;
  uint32_t length = 0;
  uint32_t inputLength = 0;
  uLong adler = 0;
  int32_t result = kKestFailed;
};

size_t PieceCount(uint64_t size) {
  return static_cast<size_t>((size + kPieceSize - 1) / kPieceSize);
}

// The joined stream, in a buffer of its own; each piece is let go of once
// copied.
bool Join(std::vector<Piece>& pieces, Entry* entry) {
  uint64_t total = sizeof kZlibHeader + 4;
  uLong adler = adler32(0, nullptr, 0);
  for (const Piece& piece : pieces) {
    if (piece.result != kKestOk) return false;
    total += piece.length;
    adler = adler32_combine(adler, piece.adler, piece.inputLength);
  }
  if (total > UINT32_MAX) return false;
  TaskMemPtr<uint8_t> block(static_cast<uint8_t*>(TaskMemAlloc(total)));
  if (!block) return false;
  uint8_t* at = std::copy(std::begin(kZlibHeader), std::end(kZlibHeader), block.get());
  for (Piece& piece : pieces) {
    at = std::copy(piece.bytes.get(), piece.bytes.get() + piece.length, at);
    piece.bytes.reset();
  }
  for (int shift = 24; shift >= 0; shift -= 8) *at++ = static_cast<uint8_t>(adler >> shift);
  entry->block = std::move(block);
  entry->record.storedSize = static_cast<uint32_t>(total);
  return true;
}

}  // namespace

bool CompressedInPieces(uint64_t size) {
  return size > kPieceSize && ZlibStreamBound(size) + PieceCount(size) * kPieceSlack <= UINT32_MAX;
}

bool CompressPieces(IZlib& zlib, std::unique_ptr<uint8_t[]> content, TaskSharing* sharing,
                    Entry* entry) {
  const uint32_t size = entry->record.originalSize;
  std::vector<Piece> pieces(PieceCount(size));
  std::vector<std::function<void()>> tasks;
  for (size_t i = 0; i < pieces.size(); ++i) {
    tasks.push_back([&, i] {
      Piece& piece = pieces[i];
      const uint8_t* input = content.get() + i * kPieceSize;
      piece.inputLength =
          std::min<uint32_t>(kPieceSize, size - static_cast<uint32_t>(i * kPieceSize));
      uint8_t* output = nullptr;
      piece.result = zlib.CompressPiece(input, piece.inputLength, i + 1 == pieces.size(), &output,
                                        &piece.length);
      piece.bytes.reset(output);
      piece.adler = adler32(adler32(0, nullptr, 0), input, piece.inputLength);
    });
  }
  if (sharing) {
    sharing->RunAll(tasks);
  } else {
    for (auto& task : tasks) task();
  }
  content.reset();
  return Join(pieces, entry);
}

}  // namespace nv
