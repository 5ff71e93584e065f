// A program started with standard input, output or error closed would hand
// those numbers to the first files and pipes it opens, and then print into
// them; they are opened on /dev/null first.
#pragma once

namespace kvocli {

// Opens /dev/null on each of descriptors 0-2 that is closed; false when that fails.
bool OpenClosedStandardDescriptors();

}  // namespace kvocli
