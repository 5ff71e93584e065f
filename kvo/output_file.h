// Where a writer puts a whole file. A target that is absent or a regular file
// is written to a temporary file beside it, renamed over it once complete (a
// symbolic link in its place is replaced, never followed). A character device
// or a FIFO (/dev/null, a pipe someone reads) is written through: the bytes are
// staged in an anonymous temporary file, then copied to it, so the device
// stays. A directory, block device or socket is refused.
#pragma once

#include <cstdio>
#include <string>

class OutputFolder;

struct OutputFile {
    FILE* stream = nullptr;  // where the writer puts the bytes: seekable, binary
    // Where the system has memory streams, `stream` is one (over `staged`) and
    // the bytes go to `sink` (the temporary file) or `device` in one write when
    // committed.
    FILE* sink = nullptr;
    struct StagedBytes* staged = nullptr;
    std::string target;                    // the name given
    std::string temporaryPath;             // renamed over the target; empty when written through
    int device = -1;                       // the device or FIFO written through, open for writing
    const OutputFolder* folder = nullptr;  // the open folder the target lies in, if given
};

// Makes `file` ready for the bytes of `target`; false with `error` set when the
// target is refused or nothing can be opened. A FIFO that no process reads is
// refused at once rather than waited for. With `folder` (held open for the
// run), a target directly in it is looked at, created, renamed and removed
// relative to the open folder, never through its path.
bool OpenOutputFile(const std::string& target, OutputFile& file, std::string& error,
                    const OutputFolder* folder = nullptr);

// Closes the stream and puts its bytes in place: renames the temporary file
// over the target, or copies them to the device. false with `error` set, and
// no temporary file left, when anything failed.
bool CommitOutputFile(OutputFile& file, std::string& error);

// Drops what was written: closes everything and removes the temporary file.
void DiscardOutputFile(OutputFile& file);
