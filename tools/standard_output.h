// The end of a console tool: a failed write to standard output (a full disk,
// a closed pipe, /dev/full) is a failure, not a success.
#pragma once

// Flushes standard output; when that or an earlier write failed, prints
// "PROGRAM: cannot write to standard output: CAUSE" on stderr and returns 1
// unless `status` already tells a failure. Otherwise returns `status`.
int FinishOutput(const char* program, int status);

// Keeps a file-size limit from killing the process: writes past it then fail
// with EFBIG and are reported (no-op where the signal does not exist).
void IgnoreFileSizeSignal();
