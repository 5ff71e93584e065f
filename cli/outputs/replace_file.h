// Writing a whole small file (the depfile, the report) so that a failure never
// leaves a cut file in place of a good earlier one.
#pragma once

#include <string>

namespace kvooutputs {

// Writes `bytes` to `path`. A regular file (or none) is replaced at once by a
// complete temporary file renamed over it; a device, a FIFO or another
// special file is written through, never replaced. On failure `error` names
// the cause and any earlier file stays as it was.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace kvooutputs
