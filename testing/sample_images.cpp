// Test images written through libpng, libjpeg-turbo and giflib.
#include "testing/sample_images.h"

#include <gif_lib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>
// jpeglib.h wants size_t and FILE declared before it.
#include <jpeglib.h>

namespace nv {

namespace {

unsigned char Shade(uint32_t x, uint32_t y, int channel) {
  return static_cast<unsigned char>((x * 7 + y * 13 + channel * 50) ^ (x * y));
}

std::vector<unsigned char> RgbRow(uint32_t width, uint32_t y) {
  std::vector<unsigned char> row(width * 3);
  for (uint32_t x = 0; x < width; ++x)
    for (int c = 0; c < 3; ++c) row[x * 3 + c] = Shade(x, y, c);
  return row;
}

void AppendPng(png_structp png, png_bytep data, size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), size);
}

int AppendGif(GifFileType* gif, const GifByteType* data, int size) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size);
  return size;
}

void Put32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

std::string SamplePng(uint32_t width, uint32_t height) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("libpng failed");
  png_set_write_fn(png, &out, AppendPng, nullptr);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) png_write_row(png, RgbRow(width, y).data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string SampleJpeg(uint32_t width, uint32_t height) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* data = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &data, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  for (uint32_t y = 0; y < height; ++y) {
    std::vector<unsigned char> row = RgbRow(width, y);
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(data), size);
  std::free(data);
  return out;
}

std::string SampleGif(uint32_t width, uint32_t height) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGif, &error);
  ColorMapObject* colours = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i) colours->Colors[i] = {GifByteType(i), GifByteType(255 - i), 0};
  bool ok = gif && EGifPutScreenDesc(gif, width, height, 8, 0, colours) != GIF_ERROR &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
  std::vector<GifPixelType> row(width);
  for (uint32_t y = 0; ok && y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) row[x] = Shade(x, y, 0);
    ok = EGifPutLine(gif, row.data(), static_cast<int>(width)) != GIF_ERROR;
  }
  GifFreeMapObject(colours);
  if (!gif || EGifCloseFile(gif, &error) == GIF_ERROR || !ok)
    throw std::runtime_error("giflib failed");
  return out;
}

std::string SampleBmp(uint32_t width, uint32_t height) {
  const uint32_t stride = (width * 3 + 3) / 4 * 4, pixels = stride * height;
  std::string out = "BM";
  for (uint32_t field : {54 + pixels, 0u, 54u, 40u, width, height}) Put32(&out, field);
  out += std::string("\x01\x00\x18\x00", 4);  // one plane, 24 bits a pixel
  for (uint32_t field : {0u, pixels, 2835u, 2835u, 0u, 0u}) Put32(&out, field);
  for (uint32_t y = 0; y < height; ++y) {
    std::vector<unsigned char> row = RgbRow(width, y);
    row.resize(stride);
    out.append(row.begin(), row.end());
  }
  return out;
}

}  // namespace nv
