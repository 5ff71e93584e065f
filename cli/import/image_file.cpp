#include "cli/import/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_LINEAR
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace kvoimport {

bool IsImageFile(const std::string& path) {
    // Non-blocking, so that a FIFO is refused instead of waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        close(fd);
        return false;
    }
    int width = 0, height = 0, channels = 0;
    const bool image = stbi_info_from_file(file, &width, &height, &channels) != 0;
    std::fclose(file);
    return image && width > 0 && height > 0;
}

}  // namespace kvoimport
