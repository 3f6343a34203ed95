// PNG images of one colour, written by libpng.
#include "cli/png_image.h"

#include <png.h>

#include <new>
#include <vector>

namespace nv {

namespace {

void Append(png_structp png, png_bytep data, size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), size);
}

void Flush(png_structp) {}

// Every row, then the end. libpng leaves by longjmp on an error (it has
// none to meet in memory it can allocate), so nothing here holds what a
// destructor must free.
bool Write(png_structp png, png_infop info, const png_byte* row, uint32_t height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) png_write_row(png, row);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

std::string SolidPng(uint32_t width, uint32_t height, uint32_t rgb) {
  std::vector<png_byte> row;
  for (uint32_t x = 0; x < width; ++x)
    for (int shift = 16; shift >= 0; shift -= 8) row.push_back(static_cast<png_byte>(rgb >> shift));
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw std::bad_alloc();
  }
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  const bool written = Write(png, info, row.data(), height);
  png_destroy_write_struct(&png, &info);
  if (!written) throw std::bad_alloc();
  return out;
}

}  // namespace nv
