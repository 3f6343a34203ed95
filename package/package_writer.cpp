// The package writer.
//
// Each build writes its package to a file it creates new under a name of
// its own: the package's, a random token and ".tmp", beside the package so
// that the final move stays on one file system. Creating it new means it is
// never opened through a link, a pipe or a file already there, whoever put
// it there, so two builds of one folder cannot write one file, and no name
// laid in the way can make the build write elsewhere, block it or own its
// package. Only a whole package is moved over the last good one.
#include "package/package_writer.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "package/block_check.h"
#include "package/cached_build.h"
#include "package/entry_producer.h"
#include "package/fresh_token.h"
#include "package/package_entry.h"
#include "package/package_format.h"
#include "package/package_log_texts.h"
#include "package/package_temporaries.h"
#include "package/write_buffer.h"
#include "run/packed_files.h"

namespace nv {

namespace {

// What the writer writes at once of a block: small enough to stay in the
// processor's cache from its check to its write.
constexpr uint32_t kCheckedSlice = uint32_t{128} << 10;

// What the writer gathers before it writes: a folder of tens of thousands
// of small files costs a write a megabyte, not two a file. A block as
// large goes to the package as it is, never copied through it.
constexpr size_t kWriteBufferBytes = size_t{1} << 20;

// Names drawn before a build gives up: a clash means only that a file of the
// name drawn is there already, which random tokens make all but impossible.
constexpr int kCreateAttempts = 4;

// Ends the progress display however packing ends.
class ProgressScope {
 public:
  ProgressScope(BuildProgress* progress, const std::vector<EntryJob>& jobs) : m_progress(progress) {
    if (!m_progress) return;
    uint64_t bytes = 0;
    for (const EntryJob& job : jobs) bytes += job.size;
    m_progress->PackingStarted(jobs.size(), bytes);
  }
  ~ProgressScope() {
    if (m_progress) m_progress->PackingEnded();
  }
  void Packed(uint64_t bytes) {
    if (m_progress) m_progress->FilePacked(bytes);
  }

 private:
  BuildProgress* m_progress;
};

class PackageWriter {
 public:
  PackageWriter(const RunContext& run, const std::string& folder, IZlib* zlib, PackOptions options,
                OpenFiles* files, RunFlags* flags)
      : m_run(run),
        m_folder(folder),
        m_zlib(zlib),
        m_options(options),
        m_files(files),
        m_flags(flags),
        m_package(options.package.empty() ? PackagePath(folder) : options.package),
        m_cache(run, options.cache, m_package) {}

  void Write(TiXmlDocument* index) {
    m_run.log << kPackingHead;
    index->InsertEndChild(IndexDeclaration());
    // Linked, not copied: the listing of a large folder is hundreds of
    // megabytes of elements.
    auto* files = new TiXmlElement(kIndexRootName);
    index->LinkEndChild(files);
    ListFiles(files);
    m_run.PublishLog();
    if (!m_flags->filesFound) return;
    if (!m_zlib) {
      m_run.log << kNoCompressionService;
      return;
    }
    if (!CreateTemporary()) return;
    m_cache.Begin(*m_files->package);
    if (WriteHeader() && WriteIndexEntry(*index)) {
      m_flags->packageOk = true;
      WriteFileEntries(*index);
    }
    m_cache.LetGoOfLastBuild();
    ClosePackage();
    // The closing pass is not performed: it would read everything after the
    // header back into memory at once, hand it to IStringUtil::TransformBuffer,
    // ignore the result and rewrite the header as it was read, which can
    // change no byte of the package.
    Finish();
  }

 private:
  // Gives each file the build packs an id and a listing line.
  void ListFiles(TiXmlElement* files) {
    int32_t nextId = 1;
    std::string err;
    const ListResult listed = ListPackedFiles(
        m_run.fs, m_folder, FileRule(),
        [&](const std::string& name) {
          files->InsertEndChild(IndexFileElement(name, nextId));
          m_run.log << nextId << ", " << name << "\r\n";
          ++nextId;
        },
        &err);
    // A partial listing would make a package that lacks files without a word.
    if (listed == ListResult::kFailedPartWay)
      m_run.log << kUnableToList << m_folder << kErrorLineEnd;
    m_flags->filesFound = listed == ListResult::kComplete && nextId > 1;
  }

  // The run's rule of the files a build packs. The build's own files are
  // told by its package as it stands once the folder is listed, when the
  // first file is asked about.
  PackedFileRule FileRule() {
    PackedFileRule rule;
    rule.outsideLinks = m_run.outsideLinks;
    rule.notes = m_run.notes;
    rule.ownFile = [this](const std::string& name, const std::string& path) {
      if (!m_own) m_own = std::make_unique<OwnFiles>(m_run.fs, m_package);
      return m_own->Holds(name, path);
    };
    return rule;
  }

  // A device, a pipe or a socket at the package's path is the system's,
  // not a package: moving the package over it would destroy it (/dev/null,
  // for a build run as root).
  bool RefusesDevice() {
    if (!m_run.fs.IsDevice(m_package)) return false;
    m_run.log << kUnableToCreate << m_package << kErrorLineEnd;
    m_run.Note(m_package, kNoteDevice);
    return true;
  }

  bool CreateTemporary() {
    if (RefusesDevice()) return false;
    std::string path, err, absent;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
      path = TemporaryPackagePath(m_package, FreshToken());
      // Named before it exists: an interruption just after it is created
      // must find it to remove.
      m_files->removedOnInterrupt = std::make_unique<RemovedOnInterrupt>(path);
      m_files->package = m_run.fs.CreateNew(path, &err);
      if (m_files->package) {
        m_temporary = path;
        m_files->packageTemporary = path;
        return true;
      }
      m_files->removedOnInterrupt.reset();
      // Not a clash: another name fares no better.
      if (!m_run.fs.PathExists(path, &absent)) break;
    }
    m_run.log << kUnableToCreate << m_package << kErrorLineEnd;
    m_run.Note(path, err);
    return false;
  }

  // Gathered in the buffer, unless `through` (the buffer then holds
  // nothing). A write that fails, now or when the buffer is flushed, stops
  // the package.
  bool WriteBytes(const uint8_t* data, size_t size, bool through = false) {
    std::string err;
    m_written += size;
    if (size == 0 || (through ? m_files->package->Write(data, size, &err)
                              : m_buffer.Write(*m_files->package, data, size, &err)))
      return true;
    FailWriting(m_temporary, err);
    return false;
  }

  // What the buffer holds is written before the package is copied into,
  // moved in, cut or synced, and before the log says more: a write that
  // fails is then told at the place in the log, and with the notes, that
  // it was told at when each record and block was written as it came.
  bool Flush() {
    if (m_stopped) return false;
    std::string err;
    if (m_buffer.Flush(*m_files->package, &err)) return true;
    FailWriting(m_temporary, err);
    return false;
  }

  // Once a write has failed, nothing more is written to the package. The
  // log names the package; the note, the file the system refused and why.
  void FailWriting(const std::string& path, const std::string& err) {
    m_run.log << kUnableToWrite << m_package << kErrorLineEnd;
    m_run.Note(path, err);
    m_flags->packageOk = false;
    m_stopped = true;
  }

  // Whether the line was told: not when a write before it fails.
  bool Fail(const std::string& line) {
    if (!Flush()) return false;
    m_run.log << line;
    m_flags->packageOk = false;
    return true;
  }

  bool WriteHeader() {
    const PackageHeaderBytes header = ComposeHeader();
    return WriteBytes(header.data(), header.size());
  }

  // The block goes in slices, each checked for the build cache, when it
  // wants the check, while the slice is still in the processor's cache;
  // the slices of a block as large as the buffer pass it by.
  bool WriteEntry(const Entry& entry, uint32_t* check = nullptr) {
    const EntryRecordBytes record = ComposeRecord(entry.record);
    if (!WriteBytes(record.data(), record.size())) return false;
    const bool through = entry.record.storedSize >= kWriteBufferBytes;
    if (through && !Flush()) return false;
    if (!check) return WriteBytes(entry.block.get(), entry.record.storedSize, through);
    for (uint32_t done = 0, n = 0; done < entry.record.storedSize; done += n) {
      n = std::min<uint32_t>(entry.record.storedSize - done, kCheckedSlice);
      *check = BlockCheck(entry.block.get() + done, n, *check);
      if (!WriteBytes(entry.block.get() + done, n, through)) return false;
    }
    return true;
  }

  bool WriteIndexEntry(const TiXmlDocument& index) {
    const std::string text = PrintIndex(index);
    if (!Flush()) return false;  // the header, before the log shows the index
    m_run.log << text << "\r\n\r\n";
    Entry entry;
    entry.record.entryId = kIndexEntryId;
    entry.record.originalSize = static_cast<uint32_t>(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (text.size() > UINT32_MAX || !CompressContent(*m_zlib, bytes, &entry)) {
      m_run.log << kCompressionFailed << m_package << kErrorLineEnd;
      m_stopped = true;
      return false;
    }
    m_cache.IndexWritten(entry);
    return WriteEntry(entry);
  }

  void WriteFileEntries(const TiXmlDocument& index) {
    const TiXmlElement* files = index.FirstChildElement();
    if (index.NoChildren() || !files || files->NoChildren()) {
      Fail(kInternalXmlError);
      return;
    }
    // Each element becomes a job, or an internal fault reported where it
    // stands in the index.
    std::vector<bool> isJob;
    std::vector<EntryJob> jobs;
    std::vector<std::string> names;  // of the jobs
    size_t elements = 0;
    for (const TiXmlElement* file = files->FirstChildElement(); file;
         file = file->NextSiblingElement())
      ++elements;
    jobs.reserve(elements);
    names.reserve(elements);
    for (const TiXmlElement* file = files->FirstChildElement(); file;
         file = file->NextSiblingElement())
      isJob.push_back(AddJob(*file, &jobs, &names));
    ProgressScope progress(m_options.progress, jobs);
    if (std::find(isJob.begin(), isJob.end(), false) == isJob.end() &&
        m_cache.PackageHoldsAll(jobs)) {
      KeepLastPackage(jobs, &progress);
      return;
    }
    EntryProducer producer(m_run.fs, *m_zlib, jobs, Workers(), EntryProducer::kDefaultBudget,
                           m_cache.Memo());
    TakenRun run;
    for (size_t i = 0, k = 0; i < isJob.size() && !m_stopped; ++i) {
      if (!isJob[i]) {
        WriteRun(&run, jobs, names, &progress);
        Fail(kInternalXmlError);
        continue;
      }
      Entry entry = producer.Take(k);
      if (!run.Extends(entry)) WriteRun(&run, jobs, names, &progress);
      if (TakenRun::Joins(entry))
        run.Add(k, std::move(entry));
      else
        WriteFileEntry(jobs[k], names[k], std::move(entry), &progress);
      ++k;
    }
    WriteRun(&run, jobs, names, &progress);
    CutAtEnd();
  }

  // Files taken from the last package that lie one after another there,
  // each under the id it has now: their records and blocks are one range
  // of its bytes, copied at once.
  struct TakenRun {
    static bool Joins(const Entry& entry) {
      return entry.taken && entry.fault == FileFault::kNone &&
             entry.record.entryId == entry.taken->record.entryId;
    }
    bool Extends(const Entry& entry) const {
      return entries.empty() || (Joins(entry) && from + size == entry.taken->recordOffset);
    }
    void Add(size_t k, Entry entry) {
      if (entries.empty()) from = entry.taken->recordOffset;
      size += kEntryRecordSize + entry.record.storedSize;
      entries.emplace_back(k, std::move(entry));
    }
    uint64_t from = 0, size = 0;
    std::vector<std::pair<size_t, Entry>> entries;  // job and entry
  };

  // One file's run is written as any file is; a longer one is copied at
  // once, or, where it cannot be, written over one file at a time.
  void WriteRun(TakenRun* run, const std::vector<EntryJob>& jobs,
                const std::vector<std::string>& names, ProgressScope* progress) {
    std::vector<std::pair<size_t, Entry>> entries = std::move(run->entries);
    const uint64_t from = run->from, size = run->size;
    *run = TakenRun();
    if (entries.size() > 1 && !Flush()) return;
    if (entries.size() > 1 &&
        m_cache.Previous()->CopyRange(from, size, *m_files->package) == BlockCopy::kCopied) {
      for (const auto& taken : entries) {
        progress->Packed(taken.second.record.originalSize);
        m_cache.FileWritten(names[taken.first], m_written, taken.second);
        m_written += kEntryRecordSize + taken.second.record.storedSize;
      }
      return;
    }
    if (entries.size() > 1 && !WriteOver(m_written)) return;
    for (auto& taken : entries)
      if (!m_stopped)
        WriteFileEntry(jobs[taken.first], names[taken.first], std::move(taken.second), progress);
  }

  // The package in place is what this build would write, byte for byte:
  // it stays, and is neither written again nor synced.
  void KeepLastPackage(const std::vector<EntryJob>& jobs, ProgressScope* progress) {
    m_keptLast = true;
    for (const EntryJob& job : jobs) progress->Packed(job.size);
  }

  // A job for an element with a numeric id and a name.
  bool AddJob(const TiXmlElement& element, std::vector<EntryJob>* jobs,
              std::vector<std::string>* names) {
    int id = 0;
    const char* name = element.Attribute(kIndexNameAttribute);
    if (element.QueryIntAttribute(kIndexIdAttribute, &id) != TIXML_SUCCESS || !name) return false;
    const std::string source = JoinPath(m_folder, name);
    jobs->push_back(m_cache.Job(id, name, source));
    names->push_back(name);
    return true;
  }

  unsigned Workers() const {
    return m_options.jobs ? m_options.jobs : std::max(1u, std::thread::hardware_concurrency());
  }

  void WriteFileEntry(const EntryJob& job, const std::string& name, Entry entry,
                      ProgressScope* progress) {
    const uint64_t at = m_written;
    if (entry.taken) {
      const BlockCopy copy = CopyTakenEntry(entry);
      if (copy == BlockCopy::kWriteFailed || (copy == BlockCopy::kNotTaken && !WriteOver(at)))
        return;
      if (copy == BlockCopy::kNotTaken)
        entry = ProduceFileEntry(m_run.fs, *m_zlib, job.source, job.id, nullptr, m_cache.Memo());
    }
    if (entry.fault != FileFault::kNone) {
      if (Fail(FaultText(entry.fault) + job.source + kErrorLineEnd) && !entry.reason.empty())
        m_run.Note(job.source, entry.reason);
    } else if (entry.taken ||
               WriteEntry(entry, m_cache.WantsChecks() ? &entry.memo.blockCheck : nullptr)) {
      progress->Packed(entry.record.originalSize);
      m_cache.FileWritten(name, at, entry);
    }
  }

  BlockCopy CopyTakenEntry(const Entry& entry) {
    const EntryRecordBytes record = ComposeRecord(entry.record);
    if (!WriteBytes(record.data(), record.size()) || !Flush()) return BlockCopy::kWriteFailed;
    std::string err;
    const BlockCopy copy = m_cache.Previous()->CopyBlock(*entry.taken, *m_files->package, &err);
    if (copy == BlockCopy::kWriteFailed) FailWriting(m_temporary, err);
    if (copy == BlockCopy::kCopied) m_written += entry.record.storedSize;
    return copy;
  }

  // A block the last package no longer holds as the cache says is made
  // anew and written over what was copied of it; the package is cut where
  // its last entry ends once all are written.
  bool WriteOver(uint64_t at) {
    std::string err;
    if (!Flush()) return false;
    if (!m_files->package->Seek(at, &err)) {
      FailWriting(m_temporary, err);
      return false;
    }
    m_written = at;
    m_cutAtEnd = true;
    return true;
  }

  void CutAtEnd() {
    std::string err;
    if (m_cutAtEnd && Flush() && !m_files->package->Truncate(m_written, &err))
      FailWriting(m_temporary, err);
  }

  // Only a package about to replace the last good one need reach the disk
  // whole; any other is closed unchecked and removed. Either holds every
  // byte written to it before the writer stopped.
  void ClosePackage() {
    Flush();
    std::unique_ptr<File> package = std::move(m_files->package);
    std::string err;
    if (m_flags->packageOk && !m_keptLast && !(package->Sync(&err) && package->Close(&err)))
      FailWriting(m_temporary, err);
  }

  void Finish() {
    std::string err;
    if (m_flags->packageOk && m_keptLast) {
      if (!m_run.fs.RemoveFile(m_temporary, &err)) m_run.Note(m_temporary, "left behind: " + err);
      m_run.log << m_package << kPackageCreated;
      m_files->packageTemporary.clear();
      m_files->removedOnInterrupt.reset();
      return;
    }
    if (m_flags->packageOk && RefusesDevice()) {
      m_flags->packageOk = false;  // one laid there while the package was written
    } else if (m_flags->packageOk && !m_run.fs.MoveOver(m_temporary, m_package, &err)) {
      m_run.log << kUnableToCreate << m_package << kErrorLineEnd;
      m_run.Note(m_package, err);
      m_flags->packageOk = false;
    } else if (m_flags->packageOk) {
      m_files->packageTemporary.clear();  // it is the package now
      m_files->removedOnInterrupt.reset();
      // The new package is in place and whole, but until its folder is
      // synced a power cut may undo the move and bring back the last good
      // one: its being there is not assured, so the run cannot succeed.
      if (!m_run.fs.SyncFolderOf(m_package, &err)) FailWriting(m_package, err);
    }
    if (m_flags->packageOk) {
      m_run.log << m_package << kPackageCreated;
      m_cache.Remember();
    } else if (!m_files->packageTemporary.empty() && !m_run.fs.RemoveFile(m_temporary, &err)) {
      // The last good package stays; the log says nothing of what is left.
      m_run.Note(m_temporary, "left behind: " + err);
    }
    m_files->packageTemporary.clear();
    m_files->removedOnInterrupt.reset();
  }

  const RunContext& m_run;
  const std::string m_folder;
  IZlib* const m_zlib;
  const PackOptions m_options;
  OpenFiles* const m_files;
  RunFlags* const m_flags;
  const std::string m_package;
  std::string m_temporary;          // once created
  std::unique_ptr<OwnFiles> m_own;  // once the folder is listed
  bool m_stopped = false;
  WriteBuffer m_buffer{kWriteBufferBytes};
  uint64_t m_written = 0;  // bytes of the package so far, the buffer's too
  CachedBuild m_cache;
  bool m_cutAtEnd = false;  // whether an entry was written over another
  bool m_keptLast = false;  // the package in place holds what this build writes
};

}  // namespace

std::string PackagePath(const std::string& folder) {
  return StripTrailingSeparators(folder) + ".nvp";
}

void WritePackage(const RunContext& run, const std::string& folder, IZlib* zlib,
                  PackOptions options, TiXmlDocument* index, OpenFiles* files, RunFlags* flags) {
  PackageWriter(run, folder, zlib, options, files, flags).Write(index);
}

}  // namespace nv
