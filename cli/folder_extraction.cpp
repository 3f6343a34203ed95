// Extracting into a folder all at once or not at all.
#include "cli/folder_extraction.h"

#include <cstdint>

#include "cli/error_line.h"
#include "package/fresh_token.h"
#include "platform/interrupt.h"

namespace nv {

namespace {

// Names drawn before giving up: a clash means only that a file of the name
// drawn is there already, which random names make all but impossible.
constexpr int kCreateAttempts = 4;

// A name for a temporary file in the folder: random, so that two
// extractions into one folder, or a name laid there in advance, do not meet
// it; CreateNew makes sure of it.
std::string TemporaryName() { return ".nvtheme-" + TokenDigits(FreshToken()) + ".tmp"; }

bool Interrupted(std::string* fault) {
  if (!InterruptRequested()) return false;
  *fault = "interrupted";
  return true;
}

}  // namespace

// An interruption, deferred while this runs, is a failure like the others:
// it is met between files and between the pieces of each, so that Undo
// removes what was made. The moves into place are not cut short: each
// takes a moment, and stopping among them would leave some files replaced.
bool FolderExtraction::Run(PackageReader& reader, std::string* fault) {
  if (!Start(reader.Files(), fault)) return false;
  for (const PackedFile& file : reader.Files())
    if (Interrupted(fault) || !Extract(reader, file, fault)) return false;
  return !Interrupted(fault) && MoveIntoPlace(fault);
}

void FolderExtraction::Undo(std::ostream& err) {
  for (size_t k = m_moved; k < m_staged.size(); ++k) Remove(m_staged[k].temporary, err);
  for (const std::string& path : m_created) Remove(path, err);
  std::string why;
  if (m_folderCreated && !m_fs.RemoveFolder(m_folder, &why))
    WriteErrorLine(err, m_folder + ": left behind: " + why);
  m_staged.clear();
  m_created.clear();
  m_moved = 0;
  m_folderCreated = false;
}

// Every name is checked before the first is written, so that a refused
// extraction writes nothing. A folder missing holds none of the names.
bool FolderExtraction::Start(const std::vector<PackedFile>& files, std::string* fault) {
  // Room to note every file made, so that none is made and then not noted.
  m_created.reserve(files.size());
  m_staged.reserve(m_existing == ExistingFiles::kReplace ? files.size() : 0);
  std::string err;
  if (m_fs.PathExists(m_folder, &err)) {
    for (const PackedFile& file : files)
      if (!Admits(JoinPath(m_folder, file.name), fault)) return false;
    return true;
  }
  if (!m_fs.CreateFolder(m_folder, &err)) {
    *fault = "cannot create the folder " + m_folder + ": " + err;
    return false;
  }
  m_folderCreated = true;
  return true;
}

// Whether a file may be extracted to `path`: nothing is there, or, when
// files may be replaced, a file (a folder would stop the moves part-way).
// Where the system ignores letter case, so does the look-up.
bool FolderExtraction::Admits(const std::string& path, std::string* fault) {
  std::string err;
  if (!m_fs.PathExists(path, &err)) return true;
  if (m_existing == ExistingFiles::kRefuse) {
    *fault = path + " already exists: nothing was extracted (--force replaces it)";
    return false;
  }
  if (!m_fs.IsReadableFile(path, &err) && err.empty()) {
    *fault = path + " is a folder: nothing was extracted (--force replaces only files)";
    return false;
  }
  m_replaced.insert(path);
  return true;
}

// A file replacing another reaches the disk before its move, so that a power
// cut leaves one of the two whole, never a new name with no bytes behind it.
bool FolderExtraction::Extract(PackageReader& reader, const PackedFile& file, std::string* fault) {
  const std::string target = JoinPath(m_folder, file.name);
  const bool staged = m_existing == ExistingFiles::kReplace;
  std::unique_ptr<File> out = staged ? CreateTemporary(target, fault) : Create(target, fault);
  if (!out) return false;
  ContentSink write = [&](const uint8_t* data, size_t size, std::string* why) {
    if (Interrupted(why)) return false;
    if (out->Write(data, size, why)) return true;
    *why = "cannot write " + target + ": " + *why;
    return false;
  };
  if (!reader.ReadContent(file, write, fault)) return false;
  std::string err;
  if ((staged && !out->Sync(&err)) || !out->Close(&err)) {
    *fault = "cannot write " + target + ": " + err;
    return false;
  }
  return true;
}

// Created new: one already there, or a link of that name, is never written
// through.
std::unique_ptr<File> FolderExtraction::Create(const std::string& target, std::string* fault) {
  std::string err;
  std::unique_ptr<File> out = m_fs.CreateNew(target, &err);
  if (out) {
    m_created.push_back(target);
  } else {
    *fault = "cannot create " + target + ": " + err;
  }
  return out;
}

std::unique_ptr<File> FolderExtraction::CreateTemporary(const std::string& target,
                                                        std::string* fault) {
  std::string path, err, absent;
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    path = JoinPath(m_folder, TemporaryName());
    std::unique_ptr<File> out = m_fs.CreateNew(path, &err);
    if (out) {
      m_staged.push_back({path, target});
      return out;
    }
    // Not a clash: another name fares no better.
    if (!m_fs.PathExists(path, &absent)) break;
  }
  *fault = "cannot create a temporary file for " + target + ": " + err;
  return nullptr;
}

// Every file is whole by now. A move that fails still leaves each file
// whole, old or new; those moved before it that were new are removed by
// Undo, but the ones they replaced are gone, which the fault says.
bool FolderExtraction::MoveIntoPlace(std::string* fault) {
  size_t replaced = 0;
  for (; m_moved < m_staged.size(); ++m_moved) {
    const Staged& file = m_staged[m_moved];
    const bool there = m_replaced.count(file.target) != 0;
    std::string err;
    if (!m_fs.MoveOver(file.temporary, file.target, &err)) {
      *fault = (there ? "cannot replace " : "cannot create ") + file.target + ": " + err;
      if (replaced == 1) *fault += " (1 file before it was replaced already)";
      if (replaced > 1)
        *fault += " (" + std::to_string(replaced) + " files before it were replaced already)";
      return false;
    }
    if (there) {
      ++replaced;
    } else {
      m_created.push_back(file.target);
    }
  }
  return true;
}

void FolderExtraction::Remove(const std::string& path, std::ostream& err) {
  std::string why;
  if (!m_fs.RemoveFile(path, &why)) WriteErrorLine(err, path + ": left behind: " + why);
}

}  // namespace nv
