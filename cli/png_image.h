// Small PNG images of one colour, made by libpng: the
// pictures that a new theme starts from.
#pragma once

#include <cstdint>
#include <string>

namespace nv {

// A PNG file of width x height pixels, all of the colour 0xRRGGBB.
std::string SolidPng(uint32_t width, uint32_t height, uint32_t rgb);

}  // namespace nv
