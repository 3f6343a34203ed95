// The build run: one source folder's manifest loaded and checked, its themes
// validated and its files packed, every step reported in the operation log.
#pragma once

#include <memory>
#include <string>

#include "build/operation_log.h"
#include "platform/file_system.h"
#include "services/component.h"

class TiXmlDocument;

namespace nv {

// The four flags of a run, all false when it starts.
struct RunFlags {
  bool manifestLoaded = false;
  bool themesValid = false;
  bool filesFound = false;
  bool packageOk = false;

  // Whether the run wrote its closing success lines.
  bool Succeeded() const { return manifestLoaded && themesValid && filesFound && packageOk; }
};

// The files the package writer has open, kept where the run's catch-all can
// close them, and the package's temporary file while it exists, which the
// catch-all removes.
struct OpenFiles {
  std::unique_ptr<File> source;
  std::unique_ptr<File> package;
  std::string packageTemporary;
};

extern const char kFatalErrorText[];

class ThemeBuilder {
 public:
  // The services may be null; a run then packs nothing.
  ThemeBuilder(FileSystem& fs, LogPublisher& publisher, IZlib* zlib, IStringUtil* stringUtil);

  // Builds one folder, named exactly as the user typed it. Never throws.
  RunFlags BuildFolder(std::string folder);

  const std::string& Log() const { return m_log.Text(); }

 private:
  void RunStages(const std::string& folder, OpenFiles* files, RunFlags* flags);
  bool LoadManifest(const std::string& path, TiXmlDocument* manifest);
  void PublishLog() { m_publisher.PublishLog(m_log.Text()); }

  FileSystem& m_fs;
  LogPublisher& m_publisher;
  IZlib* m_zlib;
  IStringUtil* m_stringUtil;
  OperationLog m_log;
};

}  // namespace nv
