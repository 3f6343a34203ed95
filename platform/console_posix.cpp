// The standard streams on POSIX systems, which never translate bytes, and
// the signal of the file-size limit.
#include "platform/console.h"

#include <signal.h>
#include <unistd.h>

namespace nv {

void SetBinaryStandardStreams() {}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

// Ignored, SIGXFSZ leaves the write that crossed the limit to fail with EFBIG.
void TreatFileSizeLimitAsWriteError() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace nv
