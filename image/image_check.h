// Whether an image file is whole: by the structure of its format, or by
// decoding it with its format's own library.
#pragma once

#include <string>

#include "image/image_facts.h"
#include "platform/file_system.h"

namespace nv {

// "PNG", "JPEG", "GIF" or "BMP"; "" for kNone.
const char* ImageFormatName(ImageFormat format);

// The format whose signature the file's first bytes are; kNone for any
// other bytes, too few included.
ImageFormat ImageFormatOf(const std::string& head);

enum class ImageDepth {
  kStructure,  // each block of the format read and checked, no pixel decoded
  kDecode,     // every pixel decoded, by the format's library
};

enum class ImageVerdict {
  kWhole,
  kBroken,  // cut short, corrupt or empty: ImageFacts::fault says how
  kOther,   // no image of the four formats
  kUnread,  // a read failed: what the file holds is not known
};

// Reads the open file from its start. *err holds the read's failure for
// kUnread.
ImageVerdict CheckImage(File& file, ImageDepth depth, ImageFacts* facts, std::string* err);

}  // namespace nv
