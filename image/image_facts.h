// What a look into an image file finds: its format, its size, and why it
// is broken where it is.
#pragma once

#include <cstdint>
#include <string>

namespace nv {

// The formats the media application shows.
enum class ImageFormat { kNone, kPng, kJpeg, kGif, kBmp };

struct ImageFacts {
  ImageFormat format = ImageFormat::kNone;
  uint32_t width = 0;
  uint32_t height = 0;
  std::string fault;  // why it is broken, in the library's words where it has them
};

}  // namespace nv
