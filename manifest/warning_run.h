// What the checks of the warnings pass share: the folder and the files the
// package will hold, where the manifest's elements stand, and the warnings
// found so far. Each check sits in a file of its own.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "manifest/diagnostic.h"
#include "manifest/image_reference.h"
#include "manifest/manifest_elements.h"
#include "manifest/warning_options.h"
#include "platform/file_system.h"
#include "xml/text_position.h"

class TiXmlDocument;
class TiXmlElement;
class TiXmlNode;

namespace nv {

// The name with ASCII letters made lower case, as Windows tells names apart.
std::string FoldCase(const std::string& name);

// Text from the folder in quotes, cut after its first 60 bytes: a name or
// value may be any length, and a warning stays one short line.
std::string Quote(const std::string& text);

struct WarningRun {
  WarningRun(FileSystem& fs, const std::string& folder, const std::string& text,
             const TiXmlDocument& manifest, const WarningOptions& options);

  bool IsPacked(const std::string& name) const { return packedNames.count(name) != 0; }
  // The packed file whose name differs from `name` in ASCII letter case
  // alone, or null.
  const std::string* PackedInOtherCase(const std::string& name) const;

  // `fix`: the "did you mean" of the notes, when they make one.
  void Warn(const char* name, TextPosition at, std::string message,
            std::vector<std::string> notes = {}, std::vector<LocatedNote> related = {},
            NameFix fix = {});
  void Warn(const char* name, const TiXmlNode& at, std::string message,
            std::vector<std::string> notes = {}, std::vector<LocatedNote> related = {},
            NameFix fix = {}) {
    Warn(name, positions.Of(at), std::move(message), std::move(notes), std::move(related),
         std::move(fix));
  }
  // Whether the caller reports the warning of that name.
  bool Wants(const char* name) const { return !options.wanted || options.wanted->count(name); }
  void WarnAboutFile(const char* name, const std::string& file, std::string message,
                     std::vector<std::string> notes = {});

  FileSystem& fs;
  const std::string& folder;
  const WarningOptions& options;
  const std::string manifest;  // its path, as the folder was typed
  const ElementPositions positions;
  // The files the package will hold, by name; listedWhole when the
  // listing reached its end, so that a name missing from it is missing.
  std::vector<std::string> packed;
  bool listedWhole = false;
  std::set<std::string> packedNames;
  std::map<std::string, std::string> packedByFoldedName;  // the first of each
  // The packed files that the elements the rules read name, and those of
  // them whose content was looked at, for each use.
  std::set<std::string> used;
  std::set<std::pair<std::string, ValueKind>> examined;
  std::vector<Diagnostic> warnings;
  // Every reference to a packed image, in document order; the facts of its
  // file are filled in by CheckImages.
  std::vector<ImageReference> images;
};

// Every element of the manifest, its attributes and values.
void CheckElements(const TiXmlDocument& manifest, WarningRun* run);

// The themes the text holds that the builder's parser never made elements
// of, as it stopped before them.
void CheckLostThemes(const std::string& text, const TiXmlDocument& manifest, WarningRun* run);

// A file that an attribute names: where it is and what it holds.
void CheckFileReference(const TiXmlElement& element, const char* attribute,
                        const std::string& value, ValueKind kind, WarningRun* run);

// What the files of the images referenced hold, each looked into once, on
// as many threads as the options allow; a broken image is warned of where
// it is first named.
void CheckImages(WarningRun* run);

// The files that the package will hold, whether named or not.
void CheckFolderFiles(WarningRun* run);

}  // namespace nv
