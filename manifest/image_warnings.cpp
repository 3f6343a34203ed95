// Warnings about the images a manifest names: one that is broken, and one
// that is no image at all; each file looked into once, on several threads,
// unless an earlier look of it still holds.
#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "manifest/warning_run.h"

namespace nv {

namespace {

struct Look {
  std::string name;
  TextPosition at;  // where it is first named
  ImageVerdict verdict = ImageVerdict::kUnread;
  ImageFacts facts;
};

// A look takes what an earlier one, as deep or deeper, found of a whole
// image whose file is as it was then, and keeps it as deep as it was
// found, so that a build after a check leaves the check its decodes. The
// stamp is the one the file had before it was read: a file changed while it
// is read is kept under a stamp it no longer has, and read again next time.
void LookInto(FileSystem& fs, const std::string& path, const WarningOptions& options, Look* look) {
  std::string err;
  ImageVerdicts* const kept = options.imageVerdicts;
  ImageDepth depth = options.imageDepth;
  FileStamp stamp;
  const bool stamped = kept && fs.Stamp(path, &stamp, &err);
  if (stamped && kept->Find(look->name, stamp, options.imageDepth, &depth, &look->facts)) {
    look->verdict = ImageVerdict::kWhole;
  } else {
    std::unique_ptr<File> file = fs.OpenForReading(path, Sharing::kReadWrite, &err);
    if (!file) return;  // the build's notes tell of a file it cannot read
    look->verdict = CheckImage(*file, options.imageDepth, &look->facts, &err);
    file->Close(&err);  // a file only read loses nothing if closing fails
  }
  if (stamped && look->verdict == ImageVerdict::kWhole)
    kept->Keep(look->name, stamp, depth, look->facts);
}

// work(i) for each i below count, each on the next thread free. What a
// thread throws is thrown again here once all have stopped.
void ForEachOnThreads(size_t count, unsigned jobs, const std::function<void(size_t)>& work) {
  std::atomic<size_t> next{0};
  std::exception_ptr thrown;
  std::mutex guard;
  const auto worker = [&] {
    try {
      for (size_t i = next++; i < count; i = next++) work(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(guard);
      if (!thrown) thrown = std::current_exception();
      next = count;
    }
  };
  const size_t wanted = jobs ? jobs : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (size_t t = 1; t < std::min(wanted, count); ++t) threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads) thread.join();
  if (thrown) std::rethrow_exception(thrown);
}

void Warn(const Look& look, WarningRun* run) {
  const std::string format = ImageFormatName(look.facts.format);
  if (look.verdict == ImageVerdict::kBroken)
    run->Warn("broken-image", look.at,
              Quote(look.name) + (format.empty()
                                      ? " is empty"
                                      : " is a broken " + format + " image: " + look.facts.fault),
              {"the media application cannot show it; save the image again from the program "
               "that made it"});
  if (look.verdict == ImageVerdict::kOther)
    run->Warn(
        "not-an-image", look.at,
        Quote(look.name) + " is not an image: it begins as no PNG, JPEG, GIF or BMP file does",
        {"the application shows images in those formats alone; save it in one of them"});
}

}  // namespace

void CheckImages(WarningRun* run) {
  std::vector<Look> looks;
  std::map<std::string, size_t> byName;
  for (const ImageReference& reference : run->images)
    if (byName.emplace(reference.name, looks.size()).second)
      looks.push_back({reference.name, reference.at});
  ForEachOnThreads(looks.size(), run->options.jobs, [run, &looks](size_t i) {
    LookInto(run->fs, JoinPath(run->folder, looks[i].name), run->options, &looks[i]);
  });
  for (const Look& look : looks) Warn(look, run);
  for (ImageReference& reference : run->images) {
    const ImageFacts& facts = looks[byName[reference.name]].facts;
    reference.format = ImageFormatName(facts.format);
    reference.width = facts.width;
    reference.height = facts.height;
  }
}

}  // namespace nv
