// nvtheme list, extract and verify.
#include "cli/package_commands.h"

#include <functional>
#include <new>

#include "cli/error_line.h"
#include "package/entry_name.h"
#include "package/package_reader.h"
#include "platform/interrupt.h"

namespace nv {

namespace {

bool Report(std::ostream& err, const std::string& package, const std::string& fault) {
  WriteErrorLine(err, package + ": " + fault);
  return false;
}

// Runs a command on the package. Every claim of a package is checked against
// its size before memory is taken for it, but a large enough package may
// still need more than the machine has left: that is reported like any
// other fault of it, not left to end the program.
bool ReportingOutOfMemory(std::ostream& err, const std::string& package,
                          const std::function<bool()>& command) {
  try {
    return command();
  } catch (const std::bad_alloc&) {
    return Report(err, package, "out of memory");
  }
}

bool List(FileSystem& fs, const std::string& package, std::ostream& out, std::ostream& err) {
  PackageReader reader;
  std::string fault;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return Report(err, package, fault);
  for (const PackedFile& file : reader.Files()) {
    out << file.id << '\t' << file.originalSize << '\t' << file.storedSize << '\t'
        << EscapeName(file.name) << '\n';
  }
  return true;
}

bool Extract(FileSystem& fs, const std::string& package, const std::string& folder,
             ExistingFiles existing, std::ostream& err) {
  PackageReader reader;
  std::string fault;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return Report(err, package, fault);
  FolderExtraction extraction(fs, folder, existing);
  // An interruption while files are made is a failure the extraction
  // undoes, however many files it made; the caller tells of it.
  const InterruptsDeferred deferred;
  bool done = false;
  try {
    done = extraction.Run(reader, &fault);
  } catch (...) {
    extraction.Undo(err);
    throw;
  }
  if (done) return true;
  if (!InterruptRequested()) Report(err, package, fault);
  extraction.Undo(err);
  return false;
}

// A faulty file does not hide the next: each is named.
bool Verify(FileSystem& fs, const std::string& package, std::ostream& out, std::ostream& err) {
  PackageReader reader;
  std::string fault;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return Report(err, package, fault);
  ContentSink discard = [](const uint8_t*, size_t, std::string*) { return true; };
  bool sound = true;
  for (const PackedFile& file : reader.Files()) {
    if (reader.ReadContent(file, discard, &fault)) continue;
    Report(err, package, fault);
    sound = false;
  }
  if (sound) out << package << ": OK, " << reader.Files().size() << " files\n";
  return sound;
}

}  // namespace

bool ListPackage(FileSystem& fs, const std::string& package, std::ostream& out, std::ostream& err) {
  return ReportingOutOfMemory(err, package, [&] { return List(fs, package, out, err); });
}

bool ExtractPackage(FileSystem& fs, const std::string& package, const std::string& folder,
                    ExistingFiles existing, std::ostream& err) {
  return ReportingOutOfMemory(err, package,
                              [&] { return Extract(fs, package, folder, existing, err); });
}

bool VerifyPackage(FileSystem& fs, const std::string& package, std::ostream& out,
                   std::ostream& err) {
  return ReportingOutOfMemory(err, package, [&] { return Verify(fs, package, out, err); });
}

}  // namespace nv
