// The verdicts of the images a run found whole: read, found, kept and
// written, field by field.
#include "builder/image_verdict_cache.h"

#include <cstddef>
#include <limits>
#include <new>
#include <utility>

#include "package/cache_fields.h"
#include "run/stamp_trust.h"
#include "run/fault_words.h"

namespace nv {

namespace {

using Verdict = ImageVerdictCache::Verdict;

constexpr char kMagic[] = "NVTIMAGE";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr uint32_t kLayoutVersion = 2;
// The fields of a file but its path's bytes and its images.
constexpr size_t kFixedSize = kMagicSize + 4 + 4 + 8 + 4 + kDigestFieldSize;
// An image's fields but its name's bytes.
constexpr size_t kImageFixedSize = 2 + kStampFieldsSize + 1 + 1 + 4 + 4;
// The head of a file, whatever path a system gives.
constexpr size_t kPrefixBytes = 16 << 10;

static_assert(static_cast<int>(ImageFormat::kPng) == 1 &&
                  static_cast<int>(ImageFormat::kJpeg) == 2 &&
                  static_cast<int>(ImageFormat::kGif) == 3 &&
                  static_cast<int>(ImageFormat::kBmp) == 4,
              "the file numbers the formats as ImageFormat does");
static_assert(static_cast<int>(ImageDepth::kStructure) + 1 == 1 &&
                  static_cast<int>(ImageDepth::kDecode) + 1 == 2,
              "the file numbers the depths as ImageDepth does, from 1");

bool Encode(const std::string& folder, int64_t readFrom, const std::map<std::string, Verdict>& kept,
            std::string* bytes, std::string* err) {
  FieldWriter out;
  out.Bytes(kMagic, kMagicSize);
  out.U32(kLayoutVersion);
  out.Text(folder);
  out.I64(readFrom);
  out.U32(static_cast<uint32_t>(kept.size()));
  for (const auto& image : kept) {
    out.U16(static_cast<uint16_t>(image.first.size()));
    out.Bytes(image.first.data(), image.first.size());
    out.Stamp(image.second.stamp);
    out.U8(static_cast<uint8_t>(static_cast<int>(image.second.depth) + 1));
    out.U8(static_cast<uint8_t>(image.second.facts.format));
    out.U32(image.second.facts.width);
    out.U32(image.second.facts.height);
  }
  if (!SealFields(&out, err)) return false;
  *bytes = std::move(out.Out());
  return true;
}

bool Decode(const std::string& bytes, std::string* folder, int64_t* readFrom,
            std::unordered_map<std::string, Verdict>* found, std::string* fault) {
  std::string body;
  if (!UnsealFile(bytes, std::string(kMagic, kMagicSize), "it is no image cache", &body, fault))
    return false;
  FieldReader in(body);
  in.Bytes(kMagicSize);
  const uint32_t version = in.U32();
  if (in.Ok() && version != kLayoutVersion) {
    *fault = "layout version " + std::to_string(version) + " is not this program's";
    return false;
  }
  *folder = in.Text();
  *readFrom = in.I64();
  const uint32_t count = in.U32();
  // The count is a claim: no more images are made than the bytes can hold.
  if (!in.Ok() || count > in.Left() / kImageFixedSize) {
    *fault = "it is cut short";
    return false;
  }
  for (uint32_t i = 0; i < count && in.Ok(); ++i) {
    std::string name = in.Bytes(in.U16());
    Verdict verdict;
    verdict.stamp = in.Stamp();
    const uint8_t depth = in.U8();
    verdict.depth = static_cast<ImageDepth>(depth - 1);
    const uint8_t format = in.U8();
    verdict.facts.format = static_cast<ImageFormat>(format);
    verdict.facts.width = in.U32();
    verdict.facts.height = in.U32();
    if (in.Ok() && (format == 0 || format > static_cast<int>(ImageFormat::kBmp))) {
      *fault = "image " + std::to_string(i + 1) + " is of no format it names";
      return false;
    }
    if (in.Ok() && (depth == 0 || depth > static_cast<int>(ImageDepth::kDecode) + 1)) {
      *fault = "image " + std::to_string(i + 1) + " is of no depth it names";
      return false;
    }
    if (in.Ok() && !found->emplace(std::move(name), verdict).second) {
      *fault = "an image is given twice";
      return false;
    }
  }
  if (!in.Ok() || in.Left() != 0) {
    *fault = in.Ok() ? "it has bytes past its end" : "it is cut short";
    return false;
  }
  return true;
}

// The theme folder a file describes, from its first bytes alone.
bool DescribedFolder(const std::string& prefix, std::string* folder) {
  FieldReader in(prefix);
  if (in.Bytes(kMagicSize) != kMagic || in.U32() != kLayoutVersion) return false;
  *folder = in.Text();
  return in.Ok() && !folder->empty();
}

}  // namespace

ImageVerdictCache::ImageVerdictCache(FileSystem& fs, std::string folder)
    : m_fs(fs), m_files(fs, std::move(folder), kImageCacheSuffix, "image cache") {}

template <typename Action>
void ImageVerdictCache::Guarded(const RunContext& run, Action action) {
  const std::string fault = FaultOf(action);
  if (fault.empty()) return;
  m_writing.reset();
  m_found.clear();
  run.Note(m_path.empty() ? m_files.Folder() : m_path, "image cache not used: " + fault);
}

void ImageVerdictCache::Begin(const RunContext& run, const std::string& themeFolder) {
  m_writing.reset();  // what a run that never finished began
  m_path.clear();
  m_found.clear();
  m_kept.clear();
  Guarded(run, [&] {
    std::string err;
    FileStamp created;
    // A folder whose full path cannot be had has no verdicts to take.
    if (!m_files.Usable(run) || !m_fs.FullPath(themeFolder, &m_fullPath, &err) ||
        !m_files.FileOf(m_fullPath, &m_path, &err) || !m_files.MakeFolder(run, m_path))
      return;
    m_writing = CacheFileWriting::Begin(m_fs, m_path, &err);
    if (!m_writing || !m_writing->Written().Stamp(&created, &err)) {
      m_writing.reset();
      run.Note(m_path, "image cache not written: " + err);
      return;
    }
    m_readFrom = created.changed;
    m_keptBytes = kFixedSize + m_fullPath.size();
    Read(run);
  });
}

// A file of another folder, whose path's digest met this one's, holds
// nothing for it. One that says its run began after this one (a clock
// set back, or the file says so falsely), or too early for the two
// seconds before it to be reckoned, can vouch for no image's stamp.
void ImageVerdictCache::Read(const RunContext& run) {
  std::string bytes, folder, fault;
  int64_t readFrom = 0;
  std::unordered_map<std::string, Verdict> found;
  if (!m_files.Read(run, m_path, kMaxImageCacheBytes, &bytes)) return;
  if (!Decode(bytes, &folder, &readFrom, &found, &fault)) {
    run.Note(m_path, "image cache ignored: " + fault);
    return;
  }
  if (folder != m_fullPath) return;
  if (m_readFrom < readFrom || readFrom < std::numeric_limits<int64_t>::min() + kRacyNanoseconds) {
    run.Note(m_path,
             std::string("image cache ignored: it is damaged: its run time ") +
                 (m_readFrom < readFrom ? "lies after this run's start" : "is out of range"));
    return;
  }
  m_foundReadFrom = readFrom;
  m_found = std::move(found);
}

bool ImageVerdictCache::Find(const std::string& name, const FileStamp& now, ImageDepth asked,
                             ImageDepth* kept, ImageFacts* facts) {
  const auto it = m_found.find(name);
  if (it == m_found.end() || !DepthAnswers(it->second.depth, asked) ||
      !StampVouches(it->second.stamp, now, m_foundReadFrom))
    return false;
  *kept = it->second.depth;
  *facts = it->second.facts;
  return true;
}

// What would take the file past its bound is not kept, nor what cannot
// be: the cache is advice, and a run never fails for it.
void ImageVerdictCache::Keep(const std::string& name, const FileStamp& stamped, ImageDepth depth,
                             const ImageFacts& facts) {
  const uint64_t bytes = kImageFixedSize + name.size();
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_writing || facts.format == ImageFormat::kNone ||
      name.size() > std::numeric_limits<uint16_t>::max() ||
      m_keptBytes + bytes > kMaxImageCacheBytes)
    return;
  try {
    if (m_kept.emplace(name, Verdict{stamped, depth, facts}).second) m_keptBytes += bytes;
  } catch (const std::bad_alloc&) {
  }
}

void ImageVerdictCache::Finish(const RunContext& run) {
  if (!m_writing) return;
  Guarded(run, [&] {
    std::string bytes, err;
    if (!Encode(m_fullPath, m_readFrom, m_kept, &bytes, &err) || !m_writing->Finish(bytes, &err)) {
      run.Note(m_path, "image cache not written: " + err);
      return;
    }
    m_files.Prune(m_path, m_readFrom, kPrefixBytes, DescribedFolder);
  });
  m_writing.reset();
  m_found.clear();
  m_kept.clear();
}

}  // namespace nv
