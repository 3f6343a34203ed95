// Fuzzes the build cache with cache files made over against a real
// package: a folder is built with the cache, bytes of its cache file are
// changed as the input says and the file sealed again with a sound
// checksum, so that the changes reach past it, and the folder is built
// again. Whatever the cache file says, the second build must succeed and
// write the log and the package that a build without the cache writes.
//
// The input is a list of changes of three bytes each: where in the cache
// file, before its checksum (two bytes, little-endian, taken modulo its
// size), and the byte to put there. A first byte of 0xFF also cuts the
// file short at the first change's place.
#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "package/build_cache.h"
#include "package/package_writer.h"
#include "testing/memory_file_system.h"
#include "testing/recording_notes.h"

namespace nv {
namespace {

constexpr int64_t kMinute = int64_t{60} * 1000 * 1000 * 1000;
const std::string kFolder = JoinPath("themes", "ocean");
const std::string kPackage = kFolder + ".nvp";
const std::string kPlain = JoinPath("themes", "plain.nvp");
const std::string kCacheFolder = "/cache";
constexpr size_t kChecksum = 32;

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "\nbroken: %s\n", what);
  std::abort();
}

IZlib& Zlib() {
  static ServiceRef<IZlib> zlib;
  if (!zlib) KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  return *zlib.get();
}

// The log of one build of the folder into `package`.
std::string Build(MemoryFileSystem& fs, const std::string& package, BuildCache* cache) {
  OperationLog log;
  SilentPublisher publisher;
  RecordingNotes notes;
  OpenFiles files;
  RunFlags flags;
  TiXmlDocument index;
  WritePackage(RunContext{fs, log, publisher, &notes}, kFolder, &Zlib(),
               PackOptions{2, nullptr, package, cache}, &index, &files, &flags);
  Require(flags.packageOk, "a build failed");
  return log.Text();
}

// The cache file's bytes as the input makes them over, sealed again.
std::string MadeOver(std::string bytes, const std::string& input) {
  std::string body = bytes.substr(0, bytes.size() - kChecksum);
  size_t cut = body.size();
  for (size_t i = 0; i + 3 <= input.size() && !body.empty(); i += 3) {
    const size_t at =
        (static_cast<uint8_t>(input[i]) | static_cast<uint8_t>(input[i + 1]) << 8) % body.size();
    if (i == 0 && static_cast<uint8_t>(input[0]) == 0xFF) cut = at;
    body[at] = input[i + 2];
  }
  body.resize(cut);
  ContentDigest sum{};
  std::string err;
  HashContent(body.data(), body.size(), &sum, &err);
  return body + std::string(reinterpret_cast<const char*>(sum.data()), sum.size());
}

void Run(const std::string& input) {
  MemoryFileSystem fs;
  fs.AddFolder("themes");
  fs.AddFolder(kFolder);
  fs.AddFile(JoinPath(kFolder, "main.xml"), "<nuvarinepackage/>");
  fs.AddFile(JoinPath(kFolder, "back.png"), std::string("\x89PNG\r\n\x1a\n", 8) + "back");
  fs.AddFile(JoinPath(kFolder, "grid.xml"), std::string(3000, 'g'));
  fs.AddFile(JoinPath(kFolder, "sand.png"), std::string(3000, 's'));
  fs.PassTime(kMinute);
  BuildCache cache(fs, kCacheFolder, "nvtheme fuzz", Zlib());
  Build(fs, kPackage, &cache);
  std::string file, err;
  Require(cache.FileFor(kPackage, &file, &err) && fs.HasFile(file),
          "the first build kept no cache");
  fs.RewriteFile(file, MadeOver(fs.Contents(file), input));
  fs.PassTime(kMinute);
  std::string cached = Build(fs, kPackage, &cache);
  std::string plain = Build(fs, kPlain, nullptr);
  plain.replace(plain.rfind(kPlain), kPlain.size(), kPackage);
  Require(cached == plain, "the log differs from a build without the cache");
  Require(fs.Contents(kPackage) == fs.Contents(kPlain),
          "the package differs from a build without the cache");
}

}  // namespace
}  // namespace nv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nv::Run(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
