// Warnings about the mistakes that pass the manifest rules: a file the
// package will lack or that only one platform finds, an element or value the
// rules pass over or read otherwise than written, a file that is no image or
// layout, debris or names that would be packed. They are an output of their
// own: the operation log, the verdicts and the package stay as they are.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "manifest/diagnostic.h"
#include "platform/file_system.h"

class TiXmlDocument;

namespace nv {

// A warning the pass gives, as the command line lists it and takes it in
// "-W NAME".
struct WarningName {
  const char* name;
  const char* description;  // one line
  bool defaultOn;
};

// Every warning the pass gives, each once.
const std::vector<WarningName>& WarningNames();

// The warning of that name, or null.
const WarningName* FindWarningName(const std::string& name);

struct WarningOptions {
  // As the run's: whether a file that leads outside the folder is packed.
  bool outsideLinks = true;
  // Whether extract on Windows takes a name, as CheckEntryName under
  // NameRules::kWindows tells, with the reason in *fault when it does not.
  // Those rules live with the package's entry names, a layer this one does
  // not use, so the caller passes them; without them a name is held to
  // ASCII and to letter case alone.
  std::function<bool(const std::string& name, std::string* fault)> windowsNameCheck;
  // Whether the folder's file `name`, at `path`, is the build's own output
  // (its package, or a temporary file of it, in a folder that holds its
  // package), which the writer never packs. Those files are the package
  // layer's to tell, so the caller passes the test; without it, none is.
  std::function<bool(const std::string& name, const std::string& path)> ownFile;
};

// The warnings about a folder whose manifest loaded (its root checked):
// those about the manifest in document order, then those about the folder's
// files in listing order. `folder` is as typed, `text` the manifest's text
// as read and `manifest` the document parsed from it. A file that cannot be
// read, or a listing cut short, is no warning of its own (the build's notes
// tell of them); what depends on it is not judged.
std::vector<Diagnostic> ManifestWarnings(FileSystem& fs, const std::string& folder,
                                         const std::string& text, const TiXmlDocument& manifest,
                                         const WarningOptions& options = {});

}  // namespace nv
