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

}  // namespace nv
