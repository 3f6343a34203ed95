// The verdicts of the images a check decoded whole, or a build found whole
// by their structure, kept for the next run of the same theme folder: an
// author checks on every save, and decoding the images is most of a
// check's time; a rebuild would read every image again for its warnings.
//
// They live in the build cache's folder, under its trust (a folder or file
// of it that another user owns or may write to is passed over), one file a
// theme folder, named after a digest of the folder's full path, KEY.images.
// All integers are little-endian; a stamp is as in the build cache's file.
//
//   0    8        magic "NVTIMAGE"
//   8    u32      layout version, 2
//   12   u32 + P  the theme folder's full path: its length, its bytes
//   ..   i64      read-from: the change time of this file, as a temporary
//                 file, when the run that wrote it created it, before it
//                 looked into any image
//   ..   u32      N, the number of images, then N times, by name:
//          u16 + L  the image's name as the manifest gives it
//          stamp    its file's stamp before that run read it
//          u8       how deep it was found whole: 1 its structure walked,
//                   2 decoded
//          u8       its format: 1 PNG, 2 JPEG, 3 GIF, 4 BMP
//          u32 u32  its width and height
//   end  digest   SHA-256 of every byte before it
//
// An image's verdict is taken from it only while the image's file has the
// stamp it had, last changed more than two seconds before that run began
// reading, as a build trusts its files, and only for a look no deeper than
// the one that found it: a check decodes an image a build only walked.
// Broken images, files that are no image and files that could not be read
// are looked into every time, so that what is said of them is said afresh.
// A file damaged, cut short or not of this layout is passed over whole,
// with a note. The cache's own faults never fail a run, and what it says
// is what a look says.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "manifest/image_verdicts.h"
#include "package/cache_files.h"
#include "run/run_context.h"

namespace nv {

// No file of it is read, or written, that is larger than this.
constexpr uint64_t kMaxImageCacheBytes = uint64_t{16} << 20;

class ImageVerdictCache : public ImageVerdicts {
 public:
  // An image found whole: its file's stamp before it was read, how deep
  // the look went, and what it found.
  struct Verdict {
    FileStamp stamp;
    ImageDepth depth = ImageDepth::kDecode;
    ImageFacts facts;
  };

  // The cache in `folder`, the build cache's folder.
  ImageVerdictCache(FileSystem& fs, std::string folder);

  // Before a check or build of the theme folder looks into its images:
  // what the cache keeps of the folder is read, and the file that is to
  // keep this run's verdicts is begun, its creation giving the time this
  // run began reading. Where the cache cannot be used (noted), nothing is
  // found or kept.
  void Begin(const RunContext& run, const std::string& themeFolder);

  bool Find(const std::string& name, const FileStamp& now, ImageDepth asked, ImageDepth* kept,
            ImageFacts* facts) override;
  void Keep(const std::string& name, const FileStamp& stamped, ImageDepth depth,
            const ImageFacts& facts) override;

  // Once the run has looked into every image: the verdicts it kept take
  // the place of those the cache held, and the files of theme folders that
  // are gone, and of the oldest beyond a hundred, are let go.
  void Finish(const RunContext& run);

 private:
  void Read(const RunContext& run);
  template <typename Action>
  void Guarded(const RunContext& run, Action action);

  FileSystem& m_fs;
  const CacheFiles m_files;
  std::string m_fullPath;  // of the theme folder
  std::string m_path;      // of its file
  std::unique_ptr<CacheFileWriting> m_writing;
  int64_t m_readFrom = 0;
  // What the last run kept; read before the images are looked into, and
  // only read while they are.
  int64_t m_foundReadFrom = 0;
  std::unordered_map<std::string, Verdict> m_found;
  // What this run keeps, by name, and the bytes its file will take.
  std::mutex m_mutex;
  std::map<std::string, Verdict> m_kept;
  uint64_t m_keptBytes = 0;
};

}  // namespace nv
