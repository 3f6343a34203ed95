// An image that a manifest names, with what its file turned out to hold,
// for reports that show authors their images beside their references.
#pragma once

#include <cstdint>
#include <string>

#include "xml/text_position.h"

namespace nv {

struct ImageReference {
  std::string name;    // as the attribute gives it
  TextPosition at;     // the value that names it
  std::string format;  // "PNG", "JPEG", "GIF" or "BMP"; empty when it is none of them
  uint32_t width = 0;  // as its header gives it
  uint32_t height = 0;
};

}  // namespace nv
