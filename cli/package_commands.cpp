// nvtheme list, extract and verify.
#include "cli/package_commands.h"

#include "build/entry_name.h"
#include "build/package_reader.h"

namespace nv {

namespace {

bool Report(std::ostream& err, const std::string& package, const std::string& fault) {
  err << "nvtheme: " << package << ": " << fault << "\n" << std::flush;
  return false;
}

// Creates the file anew (one already there, or a link of that name, is never
// written through) and fills it. A file cut short is removed, not left to
// pass for whole.
bool ExtractFile(FileSystem& fs, PackageReader& reader, const PackedFile& file,
                 const std::string& path, std::string* fault) {
  std::string err;
  std::unique_ptr<File> out = fs.CreateNew(path, &err);
  if (!out) {
    *fault = "cannot create " + path + ": " + err;
    return false;
  }
  ContentSink write = [&](const uint8_t* data, size_t size, std::string* why) {
    if (out->Write(data, size, why)) return true;
    *why = "cannot write " + path + ": " + *why;
    return false;
  };
  bool ok = reader.ReadContent(file, write, fault);
  if (ok && !out->Close(&err)) {
    *fault = "cannot write " + path + ": " + err;
    ok = false;
  }
  if (!ok) {
    out.reset();
    fs.RemoveFile(path, &err);
  }
  return ok;
}

}  // namespace

bool ListPackage(FileSystem& fs, const std::string& package, std::ostream& out,
                 std::ostream& err) {
  PackageReader reader;
  std::string fault;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return Report(err, package, fault);
  for (const PackedFile& file : reader.Files()) {
    out << file.id << '\t' << file.originalSize << '\t' << file.storedSize << '\t'
        << EscapeName(file.name) << '\n';
  }
  return true;
}

bool ExtractPackage(FileSystem& fs, const std::string& package, const std::string& folder,
                    std::ostream& err) {
  PackageReader reader;
  std::string fault;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return Report(err, package, fault);
  if (!fs.PathExists(folder) && !fs.CreateFolder(folder, &fault))
    return Report(err, package, "cannot create the folder " + folder + ": " + fault);
  for (const PackedFile& file : reader.Files()) {
    if (!ExtractFile(fs, reader, file, JoinPath(folder, file.name), &fault))
      return Report(err, package, fault);
  }
  return true;
}

bool VerifyPackage(FileSystem& fs, const std::string& package, std::ostream& out,
                   std::ostream& err) {
  PackageReader reader;
  std::string fault;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return Report(err, package, fault);
  ContentSink discard = [](const uint8_t*, size_t, std::string*) { return true; };
  for (const PackedFile& file : reader.Files()) {
    if (!reader.ReadContent(file, discard, &fault)) return Report(err, package, fault);
  }
  out << package << ": OK, " << reader.Files().size() << " files\n";
  return true;
}

}  // namespace nv
