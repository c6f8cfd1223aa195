#pragma once

// Standard output as scripts rely on it: a listing that could not be written whole is a failure,
// not a success, and a closed descriptor is never mistaken for a file opened later.

namespace umbra::cli {

// Call first. A standard descriptor the program was started without (">&-") gets /dev/null,
// opened for reading only, so that no file the program opens lands on it and writing to it still
// fails as it would have.
void GuardStandardStreams();

// Standard output was closed when the program started.
bool StandardOutputIsClosed();

// Flushes standard output: status when all of it was written; else one line on stderr and
// kExitError, or the closed-pipe ending when its reader has gone.
int FinishStandardOutput(int status);

} // namespace umbra::cli
