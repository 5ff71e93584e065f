// Settings of the program's allocator, for kvoexp and for the benchmark of the
// import floor, which must parse with the same allocator as the import workers.
#pragma once

#include <mimalloc.h>
#include <stdlib.h>

#include <cstddef>

namespace kvocli {

// An export fills hundreds of MiB of fresh memory. Where the kernel faults it in
// 4 KiB pages (costly in virtual machines), the first touch outweighs the work:
// large allocations go to 2 MiB pages, and freed memory stays mapped for the
// next run's allocations. MIMALLOC_LARGE_OS_PAGES and MIMALLOC_ALLOW_DECOMMIT in
// the environment still decide.
// The import workers read the environment when they start, before any
// allocation, which an option set from the program is too late for.
//
// Large blocks freed back to the system would be faulted in afresh by the next
// stage (decode, host scene, geobs, verification), so a first 512 MiB come
// from an arena that keeps what is freed: committed, since an uncommitted
// arena gives freed blocks back as well. It is address space until touched;
// where it cannot be had, allocations come from the system as before.
inline void TuneAllocator() {
    setenv("MIMALLOC_LARGE_OS_PAGES", "1", 0);
    setenv("MIMALLOC_ALLOW_DECOMMIT", "0", 0);
    mi_option_set_enabled_default(mi_option_large_os_pages, true);
    mi_option_set_enabled_default(mi_option_allow_decommit, false);
    if (getenv("MIMALLOC_RESERVE_OS_MEMORY") == nullptr) {
        mi_reserve_os_memory(size_t{512} << 20, /*commit=*/true, /*allow_large=*/true);
    }
}

}  // namespace kvocli
