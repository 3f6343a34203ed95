// Open documents' texts laid over the disk.
#include "cli/edited_files.h"

#include <algorithm>
#include <cstring>

namespace nv {

namespace {

// A document's text, open for reading as a file is.
class TextFile : public File {
 public:
  explicit TextFile(std::shared_ptr<const std::string> text) : m_text(std::move(text)) {}

  bool Read(void* buffer, size_t size, size_t* got, std::string*) override {
    *got = std::min(size, m_text->size() - std::min(m_at, m_text->size()));
    if (*got) std::memcpy(buffer, m_text->data() + m_at, *got);
    m_at += *got;
    return true;
  }
  bool Write(const void*, size_t, std::string* err) override { return Refused("write", err); }
  bool Size(uint64_t* size, std::string*) override {
    *size = m_text->size();
    return true;
  }
  bool Stamp(FileStamp* stamp, std::string*) override {
    *stamp = FileStamp{};
    stamp->size = m_text->size();
    return true;
  }
  bool Seek(uint64_t offset, std::string*) override {
    m_at = static_cast<size_t>(std::min<uint64_t>(offset, m_text->size()));
    return true;
  }
  bool Truncate(uint64_t, std::string* err) override { return Refused("truncate", err); }
  bool Sync(std::string*) override { return true; }
  bool Close(std::string*) override { return true; }
  bool IsPrivate(std::string*) override { return true; }

 private:
  static bool Refused(const char* what, std::string* err) {
    *err = std::string(what) + ": the document is open for reading only";
    return false;
  }

  std::shared_ptr<const std::string> m_text;
  size_t m_at = 0;
};

}  // namespace

const std::string* EditedFiles::TextOf(const std::string& path) const {
  const auto found = m_texts.find(path);
  return found == m_texts.end() ? nullptr : found->second.get();
}

bool EditedFiles::PathExists(const std::string& path, std::string* err) {
  return TextOf(path) || Inner().PathExists(path, err);
}

bool EditedFiles::IsReadableFile(const std::string& path, std::string* err) {
  return TextOf(path) || Inner().IsReadableFile(path, err);
}

bool EditedFiles::IsDevice(const std::string& path) {
  return !TextOf(path) && Inner().IsDevice(path);
}

bool EditedFiles::LeadsOutside(const std::string& folder, const std::string& path,
                               std::string* target, std::string* err) {
  std::string missing;
  if (TextOf(path) && !Inner().PathExists(path, &missing)) {
    err->clear();
    return false;
  }
  return Inner().LeadsOutside(folder, path, target, err);
}

std::unique_ptr<File> EditedFiles::OpenForReading(const std::string& path, Sharing sharing,
                                                  std::string* err) {
  const auto found = m_texts.find(path);
  if (found != m_texts.end()) return std::make_unique<TextFile>(found->second);
  return Inner().OpenForReading(path, sharing, err);
}

// A document not saved yet is listed among the folder's files, where the
// platform lists them: in byte order on POSIX, last elsewhere.
ListResult EditedFiles::ListFolder(const std::string& folder, std::vector<std::string>* names,
                                   std::string* err) {
  std::vector<ListedEntry> entries;
  const ListResult result = ListEntries(folder, &entries, err);
  for (ListedEntry& entry : entries) names->push_back(std::move(entry.name));
  return result;
}

ListResult EditedFiles::ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                                    std::string* err) {
  const ListResult result = Inner().ListEntries(folder, entries, err);
  for (const auto& text : m_texts) {
    const std::string parent = ParentOf(text.first);
    if (parent != StripTrailingSeparators(folder)) continue;
    const std::string name = text.first.substr(parent.size() + 1);
    const auto listed = std::find_if(entries->begin(), entries->end(),
                                     [&](const ListedEntry& e) { return e.name == name; });
    if (listed != entries->end()) {
      *listed =
          ListedEntry{name, ListedEntry::Kind::kFile, false, {}};  // its stamp is asked of Stamp
      continue;
    }
    ListedEntry added{name, ListedEntry::Kind::kFile, false, {}};
    const auto place = kPlatformNameRules == NameRules::kPosix
                           ? std::lower_bound(entries->begin(), entries->end(), added,
                                              [](const ListedEntry& a, const ListedEntry& b) {
                                                return a.name < b.name;
                                              })
                           : entries->end();
    entries->insert(place, std::move(added));
  }
  return result;
}

bool EditedFiles::FileSize(const std::string& path, uint64_t* size, std::string* err) {
  if (const std::string* text = TextOf(path)) {
    *size = text->size();
    return true;
  }
  return Inner().FileSize(path, size, err);
}

// The disk's stamp where the file is saved, so that it still names the
// file, with the document's size.
bool EditedFiles::Stamp(const std::string& path, FileStamp* stamp, std::string* err) {
  const std::string* text = TextOf(path);
  if (!text) return Inner().Stamp(path, stamp, err);
  std::string unsaved;
  if (!Inner().Stamp(path, stamp, &unsaved)) *stamp = FileStamp{};
  stamp->size = text->size();
  return true;
}

}  // namespace nv
