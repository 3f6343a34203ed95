// The package writer.
#include "build/package_writer.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include <thread>

#include "build/entry_producer.h"
#include "build/package_entry.h"
#include "build/package_format.h"

namespace nv {

namespace {

const char kInternalXmlError[] = "Error: Internal XML construction failed.\r\n";

// Ends the progress display however packing ends.
class ProgressScope {
 public:
  ProgressScope(BuildProgress* progress, const std::vector<FileJob>& jobs) : m_progress(progress) {
    if (!m_progress) return;
    uint64_t bytes = 0;
    for (const FileJob& job : jobs) bytes += job.size;
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
        m_package(PackagePath(folder)),
        m_temporary(m_package + ".tmp") {}

  void Write(TiXmlDocument* index) {
    m_run.log << "\r\nPacking files ...\r\n";
    index->InsertEndChild(IndexDeclaration());
    TiXmlElement files(kIndexRootName);
    ListFiles(&files);
    index->InsertEndChild(files);
    m_run.PublishLog();
    if (!m_flags->filesFound) return;
    if (!m_zlib) {
      m_run.log << "Error: Compression service unavailable.\r\n";
      return;
    }
    if (!CreateTemporary()) return;
    if (WriteHeader() && WriteIndexEntry(*index)) {
      m_flags->packageOk = true;
      WriteFileEntries(*index);
    }
    ClosePackage();
    // The closing pass is not performed: it would read everything after the
    // header back into memory at once, hand it to IStringUtil::TransformBuffer,
    // ignore the result and rewrite the header as it was read, which can
    // change no byte of the package.
    Finish();
  }

 private:
  // Gives each entry that passes the file test an id and a listing line.
  void ListFiles(TiXmlElement* files) {
    std::vector<std::string> names;
    std::string err;
    const ListResult listed = m_run.fs.ListFolder(m_folder, &names, &err);
    RememberOwnFiles();
    int32_t nextId = 1;
    for (const std::string& name : names) {
      const std::string path = JoinPath(m_folder, name);
      if (!IsPackable(path)) continue;
      files->InsertEndChild(IndexFileElement(name, nextId));
      m_run.log << nextId << ", " << name << "\r\n";
      ++nextId;
    }
    if (listed != ListResult::kComplete) m_run.Note(m_folder, "cannot list the folder: " + err);
    // A partial listing would make a package that lacks files without a word.
    if (listed == ListResult::kFailedPartWay)
      m_run.log << "Error: Unable to list folder: " << m_folder << ".\r\n";
    m_flags->filesFound = listed == ListResult::kComplete && nextId > 1;
  }

  // ".", "..", folders and files that others hold for writing fail the test
  // of files in the folder. The log says nothing of a file left out, so a
  // note does, and of one packed from outside the folder through a link.
  bool IsPackable(const std::string& path) {
    std::string why, target;
    if (!m_run.fs.IsReadableFile(path, &why)) {
      if (!why.empty()) m_run.Note(path, "left out: " + why);
      return false;
    }
    if (IsOwnFile(path)) return false;
    if (!m_run.fs.LeadsOutside(m_folder, path, &target)) return true;
    if (!m_run.outsideLinks) {
      m_run.Note(path, "left out: a link to " + target + ", outside the folder");
      return false;
    }
    m_run.Note(path, "packed from " + target + ", outside the folder");
    return true;
  }

  // The package and its temporary file may lie inside the folder (a root, or
  // a spelling like "ocean/."): they are known by identity, not by name.
  void RememberOwnFiles() {
    for (const std::string& own : {m_package, m_temporary}) {
      FileIdentity id;
      if (m_run.fs.Identify(own, &id)) m_own.push_back(id);
    }
  }

  bool IsOwnFile(const std::string& path) {
    FileIdentity id;
    return !m_own.empty() && m_run.fs.Identify(path, &id) &&
           std::find(m_own.begin(), m_own.end(), id) != m_own.end();
  }

  bool CreateTemporary() {
    std::string err;
    m_files->package = m_run.fs.CreateForWriting(m_temporary, &err);
    if (!m_files->package) {
      m_run.log << "Error: Unable to create file: " << m_package << ".\r\n";
      return false;
    }
    m_files->packageTemporary = m_temporary;
    return true;
  }

  bool WriteBytes(const uint8_t* data, size_t size) {
    std::string err;
    if (size == 0 || m_files->package->Write(data, size, &err)) return true;
    FailWriting();
    return false;
  }

  // Once a write has failed, nothing more is written to the package.
  void FailWriting() {
    m_run.log << "Error: Unable to write file: " << m_package << ".\r\n";
    m_flags->packageOk = false;
    m_stopped = true;
  }

  void Fail(const std::string& line) {
    m_run.log << line;
    m_flags->packageOk = false;
  }

  bool WriteHeader() {
    const PackageHeaderBytes header = ComposeHeader();
    return WriteBytes(header.data(), header.size());
  }

  bool WriteEntry(const Entry& entry) {
    const EntryRecordBytes record = ComposeRecord(entry.record);
    return WriteBytes(record.data(), record.size()) &&
           WriteBytes(entry.block.get(), entry.record.storedSize);
  }

  bool WriteIndexEntry(const TiXmlDocument& index) {
    const std::string text = PrintIndex(index);
    m_run.log << text << "\r\n\r\n";
    Entry entry;
    entry.record.entryId = kIndexEntryId;
    entry.record.originalSize = static_cast<uint32_t>(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (text.size() > UINT32_MAX || !CompressContent(*m_zlib, bytes, &entry)) {
      m_run.log << "Error: Compression failed: " << m_package << ".\r\n";
      m_stopped = true;
      return false;
    }
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
    std::vector<FileJob> jobs;
    for (const TiXmlElement* file = files->FirstChildElement(); file;
         file = file->NextSiblingElement())
      isJob.push_back(AddJob(*file, &jobs));
    ProgressScope progress(m_options.progress, jobs);
    EntryProducer producer(m_run.fs, *m_zlib, jobs, Workers());
    for (size_t i = 0, k = 0; i < isJob.size() && !m_stopped; ++i) {
      if (!isJob[i]) {
        Fail(kInternalXmlError);
        continue;
      }
      WriteFileEntry(jobs[k].source, producer.Take(k), &progress);
      ++k;
    }
  }

  // A job for an element with a numeric id and a name.
  bool AddJob(const TiXmlElement& element, std::vector<FileJob>* jobs) {
    int id = 0;
    const char* name = element.Attribute(kIndexNameAttribute);
    if (element.QueryIntAttribute(kIndexIdAttribute, &id) != TIXML_SUCCESS || !name) return false;
    const std::string source = JoinPath(m_folder, name);
    uint64_t size = 0;
    m_run.fs.FileSize(source, &size);
    jobs->push_back(FileJob{id, source, size});
    return true;
  }

  unsigned Workers() const {
    return m_options.jobs ? m_options.jobs : std::max(1u, std::thread::hardware_concurrency());
  }

  void WriteFileEntry(const std::string& source, const Entry& entry, ProgressScope* progress) {
    if (entry.fault != FileFault::kNone) {
      Fail(FaultText(entry.fault) + source + ".\r\n");
    } else if (WriteEntry(entry)) {
      progress->Packed(entry.record.originalSize);
    }
  }

  // Only a package about to replace the last good one need reach the disk
  // whole; any other is closed unchecked and removed.
  void ClosePackage() {
    std::unique_ptr<File> package = std::move(m_files->package);
    std::string err;
    if (m_flags->packageOk && !(package->Sync(&err) && package->Close(&err))) FailWriting();
  }

  void Finish() {
    std::string err;
    if (m_flags->packageOk && !m_run.fs.MoveOver(m_temporary, m_package, &err)) {
      m_run.log << "Error: Unable to create file: " << m_package << ".\r\n";
      m_flags->packageOk = false;
    }
    if (m_flags->packageOk) {
      m_run.log << m_package << " successfully created.\r\n";
    } else {
      m_run.fs.RemoveFile(m_temporary, &err);  // the last good package stays
    }
    m_files->packageTemporary.clear();
  }

  const RunContext& m_run;
  const std::string m_folder;
  IZlib* const m_zlib;
  const PackOptions m_options;
  OpenFiles* const m_files;
  RunFlags* const m_flags;
  const std::string m_package;
  const std::string m_temporary;
  std::vector<FileIdentity> m_own;
  bool m_stopped = false;
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
