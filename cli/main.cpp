// The nvtheme program.
#include <iostream>

#include "cli/nvtheme.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  nv::SetBinaryStandardStreams();
  std::vector<std::string> args(argv + 1, argv + argc);
  return nv::RunNvtheme(args, nv::RealFileSystem(), std::cout, std::cerr);
}
