// Why the plug-in could not save a node's file. The plug-in keeps the cause
// to itself, so the host finds it out the way the save would have met it: the
// name's own rule, then the name's length, then a probe file written beside
// the target and removed again.
#pragma once

#include <string>

namespace kvochecks {

// The likely cause, e.g. "Permission denied" or "No space left on device";
// "" when the probe succeeds and no cause can be told.
std::string SaveFailureCause(const std::string& path, const std::string& nodeName);

}  // namespace kvochecks
