#include "cli/import/huge_pages.h"

#include <sys/prctl.h>
#include <sys/stat.h>

#include "cli/import/obj_exact_numbers.h"

namespace kvoimport {

namespace {

bool IsSmallObjFile(const std::string& path) {
    struct stat st;
    return IsObjPath(path) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_size < kSmallObjBytes;
}

}  // namespace

void StartWithoutHugePages() {
    prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
}

void AllowHugePagesFor(const std::string& path) {
    if (!IsSmallObjFile(path)) prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
}

}  // namespace kvoimport
