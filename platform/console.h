// The standard streams of a console program, and how it meets the limits
// its process runs under.
#pragma once

#include <cstdio>

namespace nv {

// Makes standard input, output and error pass bytes unchanged: the log's
// CR LF must not become CR CR LF on Windows, nor a protocol's lengths change.
void SetBinaryStandardStreams();

// Whether the stream is an interactive terminal.
bool IsTerminal(FILE* stream);

// Whether colour written to the stream as ANSI escape sequences shows as
// colour: a terminal other than TERM=dumb on POSIX; on Windows a console
// whose virtual-terminal processing is on, turned on here when it can be.
bool ColourCapable(FILE* stream);

// Makes a write past the file-size limit (ulimit -f) fail as a write to a
// full disk does, to be reported and cleaned up after, instead of ending
// the process without a word.
void TreatFileSizeLimitAsWriteError();

}  // namespace nv
