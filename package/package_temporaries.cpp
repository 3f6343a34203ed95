// A package's temporary files, and a build's own files among a folder's.
#include "package/package_temporaries.h"

#include <algorithm>
#include <vector>

#include "package/fresh_token.h"
#include "run/stamp_trust.h"

namespace nv {

namespace {

// A temporary file's name ends in "." and the token's 16 hex digits, then ".tmp".
constexpr size_t kTokenDigits = 16;
constexpr size_t kTemporarySuffixSize = 1 + kTokenDigits + 4;

}  // namespace

std::string TemporaryPackagePath(const std::string& package, uint64_t token) {
  return package + "." + TokenDigits(token) + ".tmp";
}

bool IsTemporaryPackagePath(const std::string& package, const std::string& path) {
  const size_t token = package.size() + 1;
  auto isDigit = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  return path.size() == package.size() + kTemporarySuffixSize &&
         path.compare(0, package.size(), package) == 0 && path[package.size()] == '.' &&
         std::all_of(path.begin() + token, path.begin() + token + kTokenDigits, isDigit) &&
         path.compare(token + kTokenDigits, std::string::npos, ".tmp") == 0;
}

void RemoveStaleTemporaries(FileSystem& fs, const std::string& package, int64_t now) {
  const size_t cut = package.find_last_of(std::string("/") + kPathSeparator);
  const std::string folder = cut == std::string::npos ? "."
                             : cut == 0               ? package.substr(0, 1)
                                                      : package.substr(0, cut);
  const std::string packageName = package.substr(cut + 1);
  std::vector<std::string> names;
  std::string err;
  fs.ListFolder(folder, &names, &err);
  for (const std::string& name : names) {
    const std::string path = JoinPath(folder, name);
    FileStamp stamp;
    if (IsTemporaryPackagePath(packageName, name) && fs.Stamp(path, &stamp, &err) &&
        stamp.modified < TimeBefore(now, kStaleTemporaryNs))
      fs.RemoveFile(path, &err);
  }
}

OwnFiles::OwnFiles(FileSystem& fs, std::string package) : m_fs(fs), m_package(std::move(package)) {
  std::string absent;  // a package not made yet is no fault
  m_packageKnown = m_fs.Identify(m_package, &m_packageId, &absent);
}

bool OwnFiles::Holds(const std::string& name, const std::string& path) const {
  const std::string twin = name.size() < kTemporarySuffixSize
                               ? std::string()
                               : m_package + name.substr(name.size() - kTemporarySuffixSize);
  const bool temporaryShape = IsTemporaryPackagePath(m_package, twin);
  FileIdentity id, twinId;
  std::string unknown;  // a file that cannot be identified is no build's own
  if ((!m_packageKnown && !temporaryShape) || !m_fs.Identify(path, &id, &unknown)) return false;
  return (m_packageKnown && id == m_packageId) ||
         (temporaryShape && m_fs.Identify(twin, &twinId, &unknown) && id == twinId);
}

}  // namespace nv
