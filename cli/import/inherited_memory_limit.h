// The memory limit an import worker actually gets: the one asked for, or the
// address-space limit the program inherited when that is smaller (a worker
// cannot raise it, and should not), so messages name the limit that applied.
#pragma once

#include <cstdint>

namespace kvoimport {

// `requested` 0 means none asked for; the result 0 means no limit at all.
uint64_t EffectiveWorkerMemoryLimit(uint64_t requested);

}  // namespace kvoimport
