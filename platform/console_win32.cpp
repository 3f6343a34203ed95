// The standard streams on Windows, whose C runtime turns LF into CR LF in
// text mode, and the console's colour, which its virtual-terminal mode gives.
#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Older SDKs lack the flag that Windows 10 brought.
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace nv {

void SetBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

// A console before Windows 10 refuses the mode, and shows the sequences as
// text; what is no console (a file, a pipe) has no mode at all.
bool ColourCapable(FILE* stream) {
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// Windows has no file-size limit that ends a process: a write beyond what
// the disk allows fails as it is.
void TreatFileSizeLimitAsWriteError() {}

}  // namespace nv
