// Each format whole, cut short, with a byte changed, empty and unreadable,
// at both depths.
#include "image/image_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "testing/memory_file_system.h"
#include "testing/sample_images.h"

namespace nv {
namespace {

struct Checked {
  ImageVerdict verdict;
  ImageFacts facts;
};

Checked Check(const std::string& bytes, ImageDepth depth, MemoryFileSystem* fs = nullptr) {
  MemoryFileSystem own;
  if (!fs) fs = &own;
  fs->AddFile("/i", bytes);
  std::string err;
  std::unique_ptr<File> file = fs->OpenForReading("/i", Sharing::kRead, &err);
  Checked checked;
  checked.verdict = CheckImage(*file, depth, &checked.facts, &err);
  return checked;
}

std::string Cut(std::string bytes, size_t keep) { return bytes.substr(0, keep); }
std::string Put(std::string bytes, size_t at, const std::string& put) {
  return bytes.replace(at, put.size(), put);
}
std::string Flip(std::string bytes, size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
  return bytes;
}

const std::string kPng = SamplePng(64, 48), kJpeg = SampleJpeg(64, 48), kGif = SampleGif(64, 48),
                  kBmp = SampleBmp(64, 48);

TEST(CheckImageTest, WholeImagesGiveTheirFormatAndSize) {
  const struct {
    const std::string& bytes;
    const char* format;
  } kCases[] = {{kPng, "PNG"}, {kJpeg, "JPEG"}, {kGif, "GIF"}, {kBmp, "BMP"}};
  for (const auto& c : kCases)
    for (ImageDepth depth : {ImageDepth::kStructure, ImageDepth::kDecode}) {
      const Checked checked = Check(c.bytes, depth);
      EXPECT_EQ(checked.verdict, ImageVerdict::kWhole) << c.format << ": " << checked.facts.fault;
      EXPECT_STREQ(ImageFormatName(checked.facts.format), c.format);
      EXPECT_EQ(checked.facts.width, 64u) << c.format;
      EXPECT_EQ(checked.facts.height, 48u) << c.format;
    }
}

// What both depths find, and what only decoding finds.
TEST(CheckImageTest, BrokenImagesAreToldWithTheirFault) {
  const struct {
    const char* what;
    std::string bytes;
    bool structureFinds;
    std::string fault;  // as decoding words it
  } kCases[] = {
      {"empty", "", true, "it is empty"},
      {"PNG signature alone", Cut(kPng, 8), true,
       "the file ends at byte 8, before the image is whole"},
      {"PNG cut in its data", Cut(kPng, kPng.size() / 2), true, "before the image is whole"},
      {"PNG without IEND", Cut(kPng, kPng.size() - 12), true, "before the image is whole"},
      {"PNG with a byte of its data changed", Flip(kPng, kPng.size() / 2), true, "CRC error"},
      {"JPEG cut in its scan", Cut(kJpeg, kJpeg.size() / 2), true, "Premature end of JPEG file"},
      {"JPEG without its last byte", Cut(kJpeg, kJpeg.size() - 1), true, "Premature end"},
      {"JPEG with a restart marker in a scan of none", Put(kJpeg, kJpeg.size() / 2, "\xFF\xD3"),
       false, "Corrupt JPEG data"},
      {"GIF cut in its colour table", Cut(kGif, 100), true,
       "the file ends at byte 100, before the image is whole"},
      {"GIF cut in its image", Cut(kGif, kGif.size() / 2), true, "before the image is whole"},
      {"GIF without its trailer", Cut(kGif, kGif.size() - 1), true,
       "the file ends at byte " + std::to_string(kGif.size() - 1) +
           ", without the trailer that ends a GIF"},
      {"BMP cut in its pixels", Cut(kBmp, kBmp.size() - 1), true,
       "its header declares 9216 bytes of pixels from byte 54, and the file ends at byte 9269"},
      {"BMP of 0 bits a pixel", Put(kBmp, 28, std::string(1, '\0')), true,
       "0 bits a pixel is no BMP's depth"},
  };
  for (const auto& c : kCases) {
    const Checked decoded = Check(c.bytes, ImageDepth::kDecode);
    EXPECT_EQ(decoded.verdict, ImageVerdict::kBroken) << c.what;
    EXPECT_NE(decoded.facts.fault.find(c.fault), std::string::npos)
        << c.what << ": " << decoded.facts.fault;
    const Checked walked = Check(c.bytes, ImageDepth::kStructure);
    EXPECT_EQ(walked.verdict, c.structureFinds ? ImageVerdict::kBroken : ImageVerdict::kWhole)
        << c.what << ": " << walked.facts.fault;
  }
}

// A chunk an image does without, its CRC wrong: decoders drop it, and so
// neither depth calls the image broken.
TEST(CheckImageTest, AnAncillaryChunkWithABadCrcIsPassedOver) {
  const std::string text("\0\0\0\4tEXtabcd\0\0\0\0", 16);
  const std::string png = kPng.substr(0, 33) + text + kPng.substr(33);
  for (ImageDepth depth : {ImageDepth::kStructure, ImageDepth::kDecode})
    EXPECT_EQ(Check(png, depth).verdict, ImageVerdict::kWhole) << Check(png, depth).facts.fault;
}

TEST(CheckImageTest, OtherBytesAndFailedReadsAreNotJudged) {
  EXPECT_EQ(Check("<svg/>", ImageDepth::kDecode).verdict, ImageVerdict::kOther);
  for (const std::string* bytes : {&kPng, &kJpeg, &kGif, &kBmp}) {
    MemoryFileSystem fs;
    int reads = 0;
    fs.before = [&](MemoryFileSystem::Op op, const std::string&) {
      return op != MemoryFileSystem::Op::Read || ++reads < 2;
    };
    EXPECT_EQ(Check(*bytes, ImageDepth::kDecode, &fs).verdict, ImageVerdict::kUnread);
  }
}

}  // namespace
}  // namespace nv
