// The nvtheme program.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/nvtheme.h"
#include "cli/progress_line.h"
#include "platform/console.h"
#include "platform/heap.h"
#include "platform/interrupt.h"

namespace {

double Seconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  nv::ReturnFreedMemoryAtOnce();
  nv::SetBinaryStandardStreams();
  nv::TreatFileSizeLimitAsWriteError();
  nv::EndOnInterrupt("nvtheme: interrupted\n");
  std::vector<std::string> args(argv + 1, argv + argc);
  // Progress only for a person watching: never into a file or a pipe.
  std::unique_ptr<nv::ProgressLine> progress;
  if (nv::IsTerminal(stderr)) progress = std::make_unique<nv::ProgressLine>(std::cerr, Seconds);
  // Colour unless NO_COLOR, set to anything, asks for none.
  const char* noColour = std::getenv("NO_COLOR");
  const bool colour = nv::ColourCapable(stderr) && !(noColour && *noColour);
  return nv::RunNvtheme(args, nv::RealFileSystem(), std::cout, std::cerr, progress.get(),
                        nv::CacheSettingsFromEnvironment(), nv::KestCreateInstance, colour);
}
