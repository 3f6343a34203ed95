// The files of the build cache's folder, one a package built and one a
// theme folder checked, each named after a digest of the full path of what
// it describes: how each kind is named, read, written and pruned, and what
// the folder holds of them all.
//
// They are trusted as the user's own files are: a folder or file of the
// cache that another user owns or may write to is passed over, with a note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "run/run_context.h"

namespace nv {

// The kinds of file: "KEY.cache" for a package, "KEY.images" for a theme
// folder, KEY 32 lowercase hex digits; "NAME.TOKEN.tmp" while one is
// written, TOKEN 16 of them.
constexpr char kPackageCacheSuffix[] = ".cache";
constexpr char kImageCacheSuffix[] = ".images";

// Whether a name in the folder is a file of any kind, or one of them
// being written.
bool IsCacheFileName(const std::string& name);

// A cache file being written: made beside its place for the user alone,
// and moved there whole, so that a run reading it meanwhile finds the old
// file or the new one. It is not synced: one cut short by a power cut
// fails its seal. Let go unfinished, or the process interrupted, it is
// removed.
class CacheFileWriting {
 public:
  // Null, saying why, when it cannot be created.
  static std::unique_ptr<CacheFileWriting> Begin(FileSystem& fs, const std::string& path,
                                                 std::string* err);
  ~CacheFileWriting();
  CacheFileWriting(const CacheFileWriting&) = delete;
  CacheFileWriting& operator=(const CacheFileWriting&) = delete;

  // The file as it is being written: until it is, its change time is when
  // it was created, by the disk's clock.
  File& Written() { return *m_file; }
  // Writes the bytes, closes the file and moves it into place; false,
  // saying why, when any of it fails.
  bool Finish(const std::string& bytes, std::string* err);

 private:
  CacheFileWriting(FileSystem& fs, std::string path, std::string temporary,
                   std::unique_ptr<File> file);

  FileSystem& m_fs;
  const std::string m_path;
  const std::string m_temporary;
  std::unique_ptr<File> m_file;
  RemovedOnInterrupt m_removed;
  bool m_finished = false;
};

class CacheFiles {
 public:
  // The files of one kind, named KEY + `suffix`, in `folder`; `what` names
  // the kind in notes, as in "build cache not used: ...".
  CacheFiles(FileSystem& fs, std::string folder, std::string suffix, std::string what);

  const std::string& Folder() const { return m_folder; }

  // The file that describes what has this full path; false, saying why,
  // when the system could not hash the path.
  bool FileOf(const std::string& fullPath, std::string* file, std::string* err) const;

  // Whether a run may use the folder at all: it is the user's alone, or is
  // not there yet. Noted when not.
  bool Usable(const RunContext& run) const;

  // The bytes of the file at `path`, when it is there, is the user's alone
  // and holds no more than `maxBytes`; false otherwise, noted unless the
  // file is not there. The file read is asked whose it is, not its path,
  // which may name another by then.
  bool Read(const RunContext& run, const std::string& path, uint64_t maxBytes,
            std::string* bytes) const;

  // Makes the folder where it is not there, for the user alone, as the XDG
  // rules make the folders they name, and checks that it is the user's
  // alone still: another user may have made it since the run began. False,
  // noted as the file at `path` not written, when either fails.
  bool MakeFolder(const RunContext& run, const std::string& path) const;

  // Lets go of the files of this kind whose thing described no longer
  // exists, of those that cannot be read as this program's or are not the
  // user's alone, of temporary files that killed runs left, and of the
  // oldest beyond a hundred; never of `kept`. `describes` gives the full
  // path a file describes from its first `prefixBytes` bytes, or false.
  // Another run may prune at the same time: what cannot be removed is left
  // for later.
  void Prune(
      const std::string& kept, int64_t now, size_t prefixBytes,
      const std::function<bool(const std::string& prefix, std::string* path)>& describes) const;

 private:
  bool IsFileName(const std::string& name) const;
  bool IsTemporaryName(const std::string& name) const;

  FileSystem& m_fs;
  const std::string m_folder;
  const std::string m_suffix;
  const std::string m_what;
};

// Up to `size` bytes read from where the file stands into *bytes, fewer
// when it ends first.
bool ReadAll(File& file, size_t size, std::string* bytes, std::string* err);

}  // namespace nv
