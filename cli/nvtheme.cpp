// The nvtheme command: subcommands dispatched to the build core and the
// package reader.
#include "cli/nvtheme.h"

#include "build/theme_builder.h"
#include "cli/command_line.h"
#include "cli/package_commands.h"
#include "cli/stream_publisher.h"
#include "services/component.h"

namespace nv {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct Services {
  Services() {
    KestCreateInstance(u"KestRTU.dll", u"IStringUtil", stringUtil.Put());
    KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  }
  ServiceRef<IStringUtil> stringUtil;
  ServiceRef<IZlib> zlib;
};

// Each operand is built as the dialog builds a field: when something of that
// name exists, the run gets the name unchanged.
int Build(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err) {
  Services services;
  StreamPublisher publisher(out);
  ThemeBuilder builder(fs, publisher, services.zlib.get(), services.stringUtil.get());
  bool allBuilt = true;
  for (const std::string& folder : line.operands) {
    if (!fs.PathExists(folder)) {
      err << "nvtheme: " << folder << ": no such file or folder\n" << std::flush;
      allBuilt = false;
      continue;
    }
    allBuilt &= builder.BuildFolder(folder).Succeeded();
  }
  return allBuilt ? kSuccess : kFailure;
}

int ReadPackage(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err) {
  const std::vector<std::string>& operands = line.operands;
  bool ok = line.command == "list"      ? ListPackage(fs, operands[0], out, err)
            : line.command == "extract" ? ExtractPackage(fs, operands[0], operands[1], err)
                                        : VerifyPackage(fs, operands[0], out, err);
  return ok ? kSuccess : kFailure;
}

}  // namespace

int RunNvtheme(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err) {
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(args, &line, &error)) {
    err << "nvtheme: " << error << "\nTry 'nvtheme --help' for more information.\n";
    return kUsageError;
  }
  if (line.help) {
    out << kUsage;
    return kSuccess;
  }
  if (line.version) {
    out << "nvtheme 1.0.0.1\n";
    return kSuccess;
  }
  if (line.command == "build") return Build(line, fs, out, err);
  return ReadPackage(line, fs, out, err);
}

}  // namespace nv
