// A GIF file's blocks up to its trailer; or its pixels, as giflib decodes
// them.
#include <gif_lib.h>

#include <vector>

#include "image/image_formats.h"

namespace nv {

namespace {

// Sub-blocks, each a size byte and that many bytes, up to one of size 0.
bool SkipSubBlocks(ImageInput& in) {
  for (;;) {
    const int size = in.Byte();
    if (size <= 0) return size == 0;
    if (!in.Skip(static_cast<uint64_t>(size))) return false;
  }
}

// Every image whole, but the byte that ends a GIF missing: decoders that
// read to it, giflib among them, fail.
std::string NoTrailer(const ImageInput& in) {
  return "the file ends at byte " + std::to_string(in.Offset()) +
         ", without the trailer that ends a GIF";
}

// The size of a colour table that the flags byte announces, or 0.
uint64_t ColourTable(int flags) { return flags & 0x80 ? 3u << ((flags & 7) + 1) : 0; }

}  // namespace

bool GifStructure(ImageInput& in, ImageFacts* facts) {
  unsigned char screen[13];
  if (in.Read(screen, sizeof screen) < sizeof screen) return Broken(facts, EndsEarly(in));
  facts->width = screen[6] | screen[7] << 8;
  facts->height = screen[8] | screen[9] << 8;
  if (!in.Skip(ColourTable(screen[10]))) return Broken(facts, EndsEarly(in));
  for (;;) {
    const int block = in.Byte();
    unsigned char image[9];
    switch (block) {
      case 0x3B:
        return true;
      case 0x21:
        if (in.Byte() < 0 || !SkipSubBlocks(in)) return Broken(facts, EndsEarly(in));
        break;
      case 0x2C:
        // The descriptor, its colour table, the LZW code size, the data.
        if (in.Read(image, 9) < 9 || !in.Skip(ColourTable(image[8])) || in.Byte() < 0 ||
            !SkipSubBlocks(in))
          return Broken(facts, EndsEarly(in));
        break;
      case -1:
        return Broken(facts, NoTrailer(in));
      default:
        return Broken(facts, "no block can begin as the byte at " +
                                 std::to_string(in.Offset() - 1) + " does");
    }
  }
}

namespace {

int OnRead(GifFileType* gif, GifByteType* to, int size) {
  return static_cast<int>(static_cast<ImageInput*>(gif->UserData)->Read(to, size));
}

// giflib's words, but for a file cut short, which it tells by what it
// failed to read then.
std::string GifFault(int error, const ImageInput& in) {
  if (in.Exhausted()) return EndsEarly(in);
  const char* words = GifErrorString(error);
  return words ? words : "giflib error " + std::to_string(error);
}

// An image of no pixels has its data read block by block, which giflib
// would otherwise leave unread.
bool SkipCode(GifFileType* gif) {
  int size = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &size, &block) == GIF_ERROR) return false;
  while (block)
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
  return true;
}

bool ReadImage(GifFileType* gif) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
  if (gif->Image.Width <= 0 || gif->Image.Height <= 0) return SkipCode(gif);
  std::vector<GifPixelType> row(static_cast<size_t>(gif->Image.Width) + 1);
  for (int y = 0; y < gif->Image.Height; ++y)
    if (DGifGetLine(gif, row.data(), gif->Image.Width) == GIF_ERROR) return false;
  return true;
}

bool ReadExtension(GifFileType* gif) {
  int code = 0;
  GifByteType* data = nullptr;
  if (DGifGetExtension(gif, &code, &data) == GIF_ERROR) return false;
  while (data)
    if (DGifGetExtensionNext(gif, &data) == GIF_ERROR) return false;
  return true;
}

// Each record in turn, every image's every line decoded, up to the trailer.
// *between tells that a fault came where a record would begin.
bool ReadRecords(GifFileType* gif, bool* between) {
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    *between = true;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    *between = false;
    if (type == TERMINATE_RECORD_TYPE) return true;
    if (type == IMAGE_DESC_RECORD_TYPE ? !ReadImage(gif) : !ReadExtension(gif)) return false;
  }
}

}  // namespace

bool GifDecode(ImageInput& in, ImageFacts* facts) {
  int error = 0;
  GifFileType* gif = DGifOpen(&in, OnRead, &error);
  if (!gif) return Broken(facts, GifFault(error, in));
  facts->width = static_cast<uint32_t>(gif->SWidth);
  facts->height = static_cast<uint32_t>(gif->SHeight);
  bool between = false;
  const bool whole = ReadRecords(gif, &between);
  error = gif->Error;
  DGifCloseFile(gif, nullptr);
  if (whole) return true;
  const bool ended = between && in.Exhausted() && error == D_GIF_ERR_READ_FAILED;
  return Broken(facts, ended ? NoTrailer(in) : GifFault(error, in));
}

}  // namespace nv
