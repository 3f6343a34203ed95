// Images for tests, made by each format's own library: a pattern of
// width x height pixels that does not compress to nothing, so that cuts and
// flipped bytes land in real image data.
#pragma once

#include <cstdint>
#include <string>

namespace nv {

std::string SamplePng(uint32_t width, uint32_t height);
std::string SampleJpeg(uint32_t width, uint32_t height);
std::string SampleGif(uint32_t width, uint32_t height);
// 24 bits a pixel, uncompressed, rows bottom up.
std::string SampleBmp(uint32_t width, uint32_t height);

}  // namespace nv
