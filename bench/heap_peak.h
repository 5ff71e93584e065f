// Peak heap use of one measured run, counted by the benchmark program's own
// malloc family: bytes live now, and the most live since the last reset.
// A process-wide high-water mark (VmHWM) cannot serve: memory that earlier
// runs freed stays resident in the allocator, so a later run's peak hides in it.
#pragma once

#include <cstddef>

namespace heap_peak {

// Bytes handed out by malloc and not yet freed, in usable-size units.
size_t LiveBytes();
// Starts a new window: the peak becomes the bytes live now.
void ResetPeak();
// The most bytes live at once since the last reset.
size_t PeakBytes();

}  // namespace heap_peak
