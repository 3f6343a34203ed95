// Where a build may not put its package.
#include "cli/package_destination.h"

#include <tinyxml.h>

#include <vector>

#include "manifest/manifest.h"
#include "manifest/read_text_file.h"
#include "package/package_format.h"
#include "run/build_notes.h"

namespace nv {

namespace {

bool Refuse(const std::string& package, const std::string& reason, std::string* why) {
  *why = package + ": not written: " + reason;
  return false;
}

bool IsIn(FileSystem& fs, const std::string& path, const std::string& folder) {
  std::string full, fullFolder, unknown;  // what cannot be resolved holds nothing yet
  if (folder.empty() || !fs.FullPath(path, &full, &unknown) ||
      !fs.FullPath(StripTrailingSeparators(folder), &fullFolder, &unknown))
    return false;
  const std::string prefix = JoinPath(StripTrailingSeparators(fullFolder), "");
  return full.compare(0, prefix.size(), prefix) == 0;
}

bool IsFile(FileSystem& fs, const std::string& path, const FileIdentity& id) {
  FileIdentity other;
  std::string absent;
  return fs.Identify(path, &other, &absent) && other == id;
}

bool SamePath(FileSystem& fs, const std::string& a, const std::string& b) {
  std::string fullA, fullB, unknown;
  return fs.FullPath(a, &fullA, &unknown) && fs.FullPath(b, &fullB, &unknown) && fullA == fullB;
}

// Whether the file begins as every package does: a package, not a source.
bool HoldsAPackage(FileSystem& fs, const std::string& path) {
  std::string err;
  std::unique_ptr<File> file = fs.OpenForReading(path, Sharing::kReadWrite, &err);
  PackageHeaderBytes header;
  size_t got = 0;
  return file && file->Read(header.data(), header.size(), &got, &err) && got == header.size() &&
         CheckHeader(header, &err);
}

// The files the manifest names, as the build would look for them.
std::vector<std::string> NamedPaths(FileSystem& fs, const std::string& folder) {
  std::string text, err;
  TiXmlDocument manifest;
  if (ReadTextFile(fs, JoinPath(folder, "main.xml"), &text, &err, kMaxManifestBytes) ==
      TextRead::kRead)
    ParseManifest(text, &manifest);
  std::vector<std::string> paths;
  for (const std::string& name : NamedFiles(manifest)) paths.push_back(JoinPath(folder, name));
  return paths;
}

// What of the build's own files the package, existing as `id`, is.
bool CheckIdentity(FileSystem& fs, const std::string& folder, const std::string& package,
                   const FileIdentity& id, std::string* why) {
  const std::string manifest = JoinPath(folder, "main.xml");
  if (IsFile(fs, manifest, id))
    return Refuse(package, "it is " + manifest + ", the manifest, which the build reads", why);
  for (const std::string& path : NamedPaths(fs, folder))
    if (IsFile(fs, path, id))
      return Refuse(package, "it is " + path + ", which the manifest names", why);
  std::vector<std::string> names;
  std::string err;
  fs.ListFolder(folder, &names, &err);
  for (const std::string& name : names) {
    const std::string path = JoinPath(folder, name);
    if (name == "." || name == ".." || !IsFile(fs, path, id)) continue;
    if (SamePath(fs, path, package) && HoldsAPackage(fs, path)) continue;
    return Refuse(package, "it is " + path + ", which the package would hold", why);
  }
  return true;
}

}  // namespace

bool CheckPackageDestination(FileSystem& fs, const std::string& folder, const std::string& package,
                             const std::string& cacheFolder, std::string* why) {
  if (fs.IsDevice(package)) return Refuse(package, kNoteDevice, why);
  if (IsIn(fs, package, cacheFolder))
    return Refuse(package, "it is in the build cache's folder, whose files the cache removes", why);
  FileIdentity id;
  std::string absent;  // nothing there: nothing to lose
  return !fs.Identify(package, &id, &absent) || CheckIdentity(fs, folder, package, id, why);
}

}  // namespace nv
