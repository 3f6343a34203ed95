// Fuzzes looking into image files, which come with any theme: each input is
// a file's bytes, walked block by block and decoded. Neither may crash,
// hang or leak, whatever the bytes; a whole image has no fault, a broken
// one says what is wrong, both depths agree on the format, and what a
// build's walk calls broken, a check's decoding does too.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/image_check.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "image check broke its promise: %s\n", what);
  std::abort();
}

ImageFacts Check(MemoryFileSystem& fs, ImageDepth depth, ImageVerdict* verdict) {
  std::string err;
  std::unique_ptr<File> file = fs.OpenForReading("image", Sharing::kRead, &err);
  Require(file != nullptr, "the file opens");
  ImageFacts facts;
  *verdict = CheckImage(*file, depth, &facts, &err);
  Require(*verdict != ImageVerdict::kUnread, "a file in memory reads");
  Require((*verdict == ImageVerdict::kBroken) != facts.fault.empty(), "a fault told when broken");
  return facts;
}

}  // namespace
}  // namespace nv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nv::MemoryFileSystem fs;
  fs.AddFile("image", std::string(reinterpret_cast<const char*>(data), size));
  nv::ImageVerdict walk, decode;
  const nv::ImageFacts walked = nv::Check(fs, nv::ImageDepth::kStructure, &walk);
  const nv::ImageFacts decoded = nv::Check(fs, nv::ImageDepth::kDecode, &decode);
  nv::Require(walked.format == decoded.format, "one format at both depths");
  nv::Require(walk != nv::ImageVerdict::kBroken || decode == nv::ImageVerdict::kBroken,
              "what the walk calls broken, decoding does too");
  return 0;
}
