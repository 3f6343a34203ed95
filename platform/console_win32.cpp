// The standard streams on Windows, whose C runtime turns LF into CR LF in
// text mode.
#include "platform/console.h"

#include <fcntl.h>
#include <io.h>

namespace nv {

void SetBinaryStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

// Windows has no file-size limit that ends a process: a write beyond what
// the disk allows fails as it is.
void TreatFileSizeLimitAsWriteError() {}

}  // namespace nv
