// The console host's signals. SIGINT, SIGTERM and SIGHUP (Ctrl-C, a CI
// abort, a closed terminal) all press Cancel: the run ends cleanly and the
// program exits with 128 + the signal. A second one ends the program at once,
// still removing the private configuration directory and the writer's
// temporary files. SIGXFSZ is ignored, so a file-size limit fails a write
// instead of killing the program.
#pragma once

#include <csignal>
#include <string>

namespace kvocli {

// The first signal's number, 0 until one arrives.
extern volatile sig_atomic_t gInterruptSignal;

void InstallSignalHandlers();

// The exit status for the signal that arrived: 128 + its number.
int InterruptedExitStatus();
// "interrupted", or "interrupted by SIGTERM" for another signal than Ctrl-C.
std::string InterruptedMessage();

// What a second signal removes: the private configuration directory (its
// files, then itself) and the writer's temporary files and the lock file in
// the output directory being written, which is opened here: it is cleaned
// where it is, even once renamed or replaced by a link. Empty strings forget them.
void SetCleanupConfigDir(const std::string& dir);
void SetCleanupOutputDir(const std::string& dir);

// Does what a second signal does, without exiting (for tests of the handler's work).
void RemoveLeftoversNow();

}  // namespace kvocli
