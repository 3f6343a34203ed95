// What the checks of all formats share.
#include "image/image_formats.h"

namespace nv {

bool Broken(ImageFacts* facts, std::string fault) {
  facts->fault = std::move(fault);
  return false;
}

std::string EndsEarly(const ImageInput& in) {
  return "the file ends at byte " + std::to_string(in.Offset()) + ", before the image is whole";
}

}  // namespace nv
