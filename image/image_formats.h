// The checks of each image format, which CheckImage picks by signature.
// Each reads the file from its first byte, sets facts' width and height, and
// returns false with facts->fault set where the image is broken.
#pragma once

#include <string>

#include "image/image_facts.h"
#include "image/image_input.h"

namespace nv {

// False, with the fault kept in facts.
bool Broken(ImageFacts* facts, std::string fault);
// The fault of a file that ends where the input now stands.
std::string EndsEarly(const ImageInput& in);

bool PngStructure(ImageInput& in, ImageFacts* facts);
bool PngDecode(ImageInput& in, ImageFacts* facts);
bool JpegStructure(ImageInput& in, ImageFacts* facts);
bool JpegDecode(ImageInput& in, ImageFacts* facts);
bool GifStructure(ImageInput& in, ImageFacts* facts);
bool GifDecode(ImageInput& in, ImageFacts* facts);
// A BMP has no library in this list: its header and the size it declares
// are all there is to check, at either depth.
bool BmpHeader(ImageInput& in, uint64_t fileSize, ImageFacts* facts);

}  // namespace nv
