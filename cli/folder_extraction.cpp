// Extracting into a folder all at once or not at all.
#include "cli/folder_extraction.h"

#include "cli/error_line.h"

namespace nv {

bool FolderExtraction::Run(PackageReader& reader, std::string* fault) {
  if (!Start(reader.Files(), fault)) return false;
  for (const PackedFile& file : reader.Files())
    if (!Extract(reader, file, fault)) return false;
  return true;
}

void FolderExtraction::Undo(std::ostream& err) {
  for (const std::string& path : m_created) Remove(path, err);
  std::string why;
  if (m_folderCreated && !m_fs.RemoveFolder(m_folder, &why))
    WriteErrorLine(err, m_folder + ": left behind: " + why);
  m_created.clear();
  m_folderCreated = false;
}

// Every name is checked before the first is written, so that a refused
// extraction writes nothing. A folder missing holds none of the names.
bool FolderExtraction::Start(const std::vector<PackedFile>& files, std::string* fault) {
  // Room to note every file made, so that none is made and then not noted.
  m_created.reserve(files.size());
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

// Whether a file may be extracted to `path`: nothing is there. Where the
// system ignores letter case, so does the look-up.
bool FolderExtraction::Admits(const std::string& path, std::string* fault) {
  std::string err;
  if (!m_fs.PathExists(path, &err)) return true;
  *fault = path + " already exists: nothing was extracted";
  return false;
}

bool FolderExtraction::Extract(PackageReader& reader, const PackedFile& file, std::string* fault) {
  const std::string target = JoinPath(m_folder, file.name);
  std::unique_ptr<File> out = Create(target, fault);
  if (!out) return false;
  ContentSink write = [&](const uint8_t* data, size_t size, std::string* why) {
    if (out->Write(data, size, why)) return true;
    *why = "cannot write " + target + ": " + *why;
    return false;
  };
  if (!reader.ReadContent(file, write, fault)) return false;
  std::string err;
  if (!out->Close(&err)) {
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

void FolderExtraction::Remove(const std::string& path, std::ostream& err) {
  std::string why;
  if (!m_fs.RemoveFile(path, &why)) WriteErrorLine(err, path + ": left behind: " + why);
}

}  // namespace nv
