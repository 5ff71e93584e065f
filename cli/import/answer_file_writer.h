// The import process's end of an answer file (answer_file.h): it opens the
// file the request names through the host's descriptor table, and only a
// fresh, empty, sealable file of the named inode, so a stale or reused
// descriptor number is never written to.
#pragma once

#include <sys/types.h>

#include "cli/import/import_protocol.h"

namespace kvoimport {

// A descriptor open for writing on the host's answer file, or -1 (the answer
// then goes down the pipe). `host` is the process that holds the file.
int OpenAnswerFile(pid_t host, const AnswerFileRef& ref);

}  // namespace kvoimport
