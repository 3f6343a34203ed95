// Picking an image's check by its signature.
#include "image/image_check.h"

#include "image/image_formats.h"

namespace nv {

const char* ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kPng:
      return "PNG";
    case ImageFormat::kJpeg:
      return "JPEG";
    case ImageFormat::kGif:
      return "GIF";
    case ImageFormat::kBmp:
      return "BMP";
    case ImageFormat::kNone:
      break;
  }
  return "";
}

ImageFormat ImageFormatOf(const std::string& head) {
  static const struct {
    const char* signature;
    size_t size;
    ImageFormat format;
  } kSignatures[] = {{"\x89PNG\r\n\x1A\n", 8, ImageFormat::kPng},
                     {"\xFF\xD8\xFF", 3, ImageFormat::kJpeg},
                     {"GIF87a", 6, ImageFormat::kGif},
                     {"GIF89a", 6, ImageFormat::kGif},
                     {"BM", 2, ImageFormat::kBmp}};
  for (const auto& s : kSignatures)
    if (head.compare(0, s.size, s.signature, s.size) == 0) return s.format;
  return ImageFormat::kNone;
}

namespace {

bool CheckFormat(ImageInput& in, uint64_t size, ImageDepth depth, ImageFacts* facts) {
  const bool decode = depth == ImageDepth::kDecode;
  switch (facts->format) {
    case ImageFormat::kPng:
      return decode ? PngDecode(in, facts) : PngStructure(in, facts);
    case ImageFormat::kJpeg:
      return decode ? JpegDecode(in, facts) : JpegStructure(in, facts);
    case ImageFormat::kGif:
      return decode ? GifDecode(in, facts) : GifStructure(in, facts);
    case ImageFormat::kBmp:
      return BmpHeader(in, size, facts);
    case ImageFormat::kNone:
      break;
  }
  return true;
}

}  // namespace

ImageVerdict CheckImage(File& file, ImageDepth depth, ImageFacts* facts, std::string* err) {
  *facts = ImageFacts();
  uint64_t size = 0;
  std::string head(8, '\0');
  size_t got = 0;
  if (!file.Size(&size, err) || !file.Read(&head[0], head.size(), &got, err) || !file.Seek(0, err))
    return ImageVerdict::kUnread;
  head.resize(got);
  if (got == 0) {
    facts->fault = "it is empty";
    return ImageVerdict::kBroken;
  }
  facts->format = ImageFormatOf(head);
  if (facts->format == ImageFormat::kNone) return ImageVerdict::kOther;
  ImageInput in(file);
  const bool whole = CheckFormat(in, size, depth, facts);
  if (in.Failed()) {
    *err = in.Error();
    return ImageVerdict::kUnread;
  }
  return whole ? ImageVerdict::kWhole : ImageVerdict::kBroken;
}

}  // namespace nv
