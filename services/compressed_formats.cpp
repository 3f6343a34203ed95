// Recognising data that is compressed already, by its leading bytes.
#include "services/compressed_formats.h"

#include <cstring>

namespace nv {

namespace {

struct Signature {
  size_t offset;
  const char* bytes;
  size_t length;
};

#define SIG(offset, literal) \
  { offset, literal, sizeof(literal) - 1 }
const Signature kSignatures[] = {
    SIG(0, "\x89PNG\r\n\x1a\n"),
    SIG(0, "\xFF\xD8\xFF"),  // JPEG
    SIG(0, "GIF87a"),
    SIG(0, "GIF89a"),
    SIG(8, "WEBP"),        // after "RIFF" and a size
    SIG(0, "PK\x03\x04"),  // ZIP, and the office and package formats built on it
    SIG(0, "\x1F\x8B"),    // gzip
    SIG(0, "BZh"),
    SIG(0,
        "\xFD"
        "7zXZ\x00"),
    SIG(0, "7z\xBC\xAF\x27\x1C"),
    SIG(0, "\x28\xB5\x2F\xFD"),  // Zstandard
    SIG(0, "wOFF"),
    SIG(0, "wOF2"),
    SIG(0, "OggS"),
    SIG(0, "fLaC"),
    SIG(0, "ID3"),   // MP3 with a tag
    SIG(4, "ftyp"),  // MP4, MOV, HEIF, AVIF
};
#undef SIG

}  // namespace

bool LooksCompressed(const uint8_t* data, size_t size) {
  for (const Signature& s : kSignatures) {
    if (size >= s.offset + s.length && std::memcmp(data + s.offset, s.bytes, s.length) == 0)
      return true;
  }
  return false;
}

}  // namespace nv
