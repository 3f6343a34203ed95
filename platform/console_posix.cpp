// The standard streams on POSIX systems, which never translate bytes, whether
// a terminal shows colour, and the signal of the file-size limit.
#include "platform/console.h"

#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace nv {

void SetBinaryStandardStreams() {}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

// A terminal that names no type, or "dumb", may not know the sequences.
bool ColourCapable(FILE* stream) {
  const char* term = getenv("TERM");
  return IsTerminal(stream) && term && *term && strcmp(term, "dumb") != 0;
}

// Ignored, SIGXFSZ leaves the write that crossed the limit to fail with EFBIG.
void TreatFileSizeLimitAsWriteError() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace nv
