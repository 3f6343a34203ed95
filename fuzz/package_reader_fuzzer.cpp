// Fuzzes reading packages that may come from anywhere: nvtheme's list,
// verify and extract on the in-memory disk. None may crash or hang; list and
// verify agree with the reader, extraction succeeds exactly when
// verification does and gives back every file whole, one that fails leaves
// nothing behind, and nothing is written outside the extraction's folder or
// over a file already there, unless --force replaces it.
//
// An input that begins "NP", as every package does, is a package's bytes as
// they stand. Any other is a recipe for one: an index text, then the packed
// files' contents, split at zero bytes, which this composes with sound
// framing and true sizes, so that mutations reach the index and the names
// as readily as the records.
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/package_commands.h"
#include "package/package_format.h"
#include "package/package_reader.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

const std::string kDownloads = "downloads";
const std::string kPackage = JoinPath(kDownloads, "theme.nvp");
const std::string kFolder = JoinPath(kDownloads, "theme");
// Beside the package: what a name climbing out of the folder would reach.
const std::string kNeighbour = JoinPath(kDownloads, "main.xml");

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "\nbroken: %s\n", what);
  std::abort();
}

std::vector<std::string> SplitAtZeros(const std::string& recipe) {
  std::vector<std::string> parts(1);
  for (char c : recipe) {
    if (c == '\0')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

std::string Deflated(const std::string& content) {
  std::string out(compressBound(static_cast<uLong>(content.size())), '\0');
  uLongf length = static_cast<uLongf>(out.size());
  compress2(reinterpret_cast<Bytef*>(&out[0]), &length,
            reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()), 6);
  out.resize(length);
  return out;
}

// The package of a recipe: its index as entry 0, then files 1, 2, 3, ...
std::string Compose(const std::vector<std::string>& parts) {
  const PackageHeaderBytes header = ComposeHeader();
  std::string package(header.begin(), header.end());
  for (size_t id = 0; id < parts.size(); ++id) {
    const std::string block = Deflated(parts[id]);
    const EntryRecordBytes record =
        ComposeRecord({static_cast<int32_t>(id), static_cast<uint32_t>(block.size()),
                       static_cast<uint32_t>(parts[id].size())});
    package.append(record.begin(), record.end());
    package += block;
  }
  return package;
}

// Whether the path names a file directly inside the extraction's folder.
bool InFolder(const std::string& path) {
  const std::string prefix = kFolder + kPathSeparator;
  if (path.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string name = path.substr(prefix.size());
  return !name.empty() && name != "." && name != ".." &&
         name.find(kPathSeparator) == std::string::npos;
}

// Lets the commands create the folder and new files inside it, write those,
// move them over names inside it and remove them again, remove the folder,
// and nothing else that changes the disk.
void GuardWrites(MemoryFileSystem& fs, std::set<std::string>* created) {
  fs.before = [&fs, created](Op op, const std::string& path) {
    switch (op) {
      case Op::CreateFolder:
        Require(path == kFolder, "only the extraction's folder is created");
        break;
      case Op::RemoveFolder:
        Require(path == kFolder, "only the extraction's folder is removed");
        break;
      case Op::CreateNew:
      case Op::CreateForWriting:
        Require(InFolder(path), "files are created only inside the folder");
        if (!fs.HasFile(path)) created->insert(path);
        break;
      case Op::Write:
      case Op::RemoveFile:
        Require(created->count(path) == 1, "only files made by the extraction change");
        break;
      case Op::MoveOver:
        Require(InFolder(path), "files are moved only inside the folder");
        break;
      default:
        break;
    }
    return true;
  };
}

// The files in the extraction's folder, by name.
std::map<std::string, std::string> Extracted(MemoryFileSystem& fs) {
  std::map<std::string, std::string> files;
  std::vector<std::string> names;
  std::string err;
  fs.ListFolder(kFolder, &names, &err);
  for (const std::string& name : names)
    if (fs.HasFile(JoinPath(kFolder, name))) files[name] = fs.Contents(JoinPath(kFolder, name));
  return files;
}

// A whole extraction gives back every file as packed; one that failed
// leaves no file cut short.
void CheckExtracted(MemoryFileSystem& fs, const PackageReader& reader, bool whole,
                    const std::vector<std::string>* recipe) {
  const std::map<std::string, std::string> files = Extracted(fs);
  if (whole) Require(files.size() == reader.Files().size(), "every packed file is extracted");
  for (const PackedFile& packed : reader.Files()) {
    auto file = files.find(packed.name);
    if (file == files.end()) continue;
    Require(file->second.size() == packed.originalSize, "extracted files are whole");
    if (recipe) Require(file->second == (*recipe)[packed.id], "extracted files round-trip");
  }
  size_t listed = 0;
  for (const auto& file : files) {
    for (const PackedFile& packed : reader.Files()) listed += packed.name == file.first;
  }
  Require(listed == files.size(), "only packed files are extracted");
}

// List and verify agree with the reader; extraction with verification.
void CheckCommands(MemoryFileSystem& fs, const std::vector<std::string>* recipe) {
  std::ostringstream out, err;
  PackageReader posix, windows;
  std::string fault;
  const bool opens = posix.Open(fs, kPackage, NameRules::kPosix, &fault);
  const bool opensOnWindows = windows.Open(fs, kPackage, NameRules::kWindows, &fault);
  Require(!opensOnWindows || opens, "Windows' rules are the stricter");
  Require(ListPackage(fs, kPackage, out, err) == opens, "list shows what the reader opens");
  const bool verified = VerifyPackage(fs, kPackage, out, err);
  Require(!verified || opens, "verify opens the package");
  const bool extracted = ExtractPackage(fs, kPackage, kFolder, ExistingFiles::kRefuse, err);
  Require(extracted == verified, "extraction succeeds exactly when verification does");
  std::string absent;
  Require(extracted || !fs.PathExists(kFolder, &absent), "a failed extraction leaves nothing");
  if (opens) CheckExtracted(fs, posix, extracted, recipe);

  // Again into the same folder: every file is there already, and stays,
  // refused or replaced by the same bytes.
  const std::map<std::string, std::string> before = Extracted(fs);
  const bool again = ExtractPackage(fs, kPackage, kFolder, ExistingFiles::kRefuse, err);
  Require(!(extracted && again), "a second extraction overwrites nothing");
  Require(Extracted(fs) == before, "files already there are left as they were");
  const bool forced = ExtractPackage(fs, kPackage, kFolder, ExistingFiles::kReplace, err);
  Require(forced == extracted, "a forced extraction succeeds exactly when the first did");
  Require(Extracted(fs) == before, "a forced extraction puts back the same files, and no more");
}

void Run(const std::string& package, const std::vector<std::string>* recipe) {
  MemoryFileSystem fs;
  fs.AddFolder(kDownloads);
  fs.AddFile(kPackage, package);
  fs.AddFile(kNeighbour, "left alone");
  std::set<std::string> created;
  GuardWrites(fs, &created);
  CheckCommands(fs, recipe);
  Require(fs.Contents(kNeighbour) == "left alone", "nothing beside the folder changes");
  Require(fs.Contents(kPackage) == package, "the package is only read");
  Require(fs.OpenFiles() == 0, "every file is closed");
}

}  // namespace
}  // namespace nv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nv;
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (input.compare(0, 2, "NP") == 0) {
    Run(input, nullptr);
  } else {
    const std::vector<std::string> recipe = SplitAtZeros(input);
    Run(Compose(recipe), &recipe);
  }
  return 0;
}
