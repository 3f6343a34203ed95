// Recognising data that is compressed already, by its leading bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nv {

// Whether the data starts as a format whose content is compressed: images
// (PNG, JPEG, GIF, WebP), archives (ZIP and its kin, gzip, bzip2, xz, 7-Zip,
// Zstandard), fonts (WOFF, WOFF2), sound and video (Ogg, FLAC, MP3, MP4).
// Deflating these again costs time and saves next to nothing.
bool LooksCompressed(const uint8_t* data, size_t size);

}  // namespace nv
