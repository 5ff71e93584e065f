#include "cli/outputs/texture_copies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kvooutputs {

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir.empty() ? name : dir.back() == '/' ? dir + name : dir + "/" + name;
}

// What is at `path`: nothing, the same bytes, or something else (another
// file, a link, a folder: never replaced).
enum class Slot { kFree, kSame, kTaken };

Slot SlotAt(const std::string& path, const std::vector<uint8_t>& bytes) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? Slot::kFree : Slot::kTaken;
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) != bytes.size()) {
        return Slot::kTaken;
    }
    std::vector<uint8_t> there;
    std::string ignored;
    if (!ReadWholeFile(path, TextureCopies::kMaxBytes, there, ignored)) return Slot::kTaken;
    return there == bytes ? Slot::kSame : Slot::kTaken;
}

bool WriteAllBytes(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes `bytes` as `path`, which must not exist: a complete temporary file
// linked to the name (which fails, rather than replaces, when one appeared).
// kTaken when the name was taken meanwhile.
Slot WriteNew(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::string temporary = Join(fs::path(path).parent_path().string(), ".kvotex-XXXXXX");
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        error = std::string("cannot create a file beside ") + path + ": " + std::strerror(errno);
        return Slot::kFree;
    }
    const bool complete = WriteAllBytes(fd, bytes) && fchmod(fd, 0644) == 0;
    const int writeErrno = errno;
    const bool closed = close(fd) == 0;
    if (!complete || !closed) {
        unlink(temporary.c_str());
        error = "cannot write " + path + ": " + std::strerror(complete ? errno : writeErrno);
        return Slot::kFree;
    }
    const int linked = link(temporary.c_str(), path.c_str());
    const int linkErrno = errno;
    unlink(temporary.c_str());
    if (linked == 0) return Slot::kSame;
    if (linkErrno == EEXIST) return Slot::kTaken;
    error = "cannot write " + path + ": " + std::strerror(linkErrno);
    return Slot::kFree;
}

}  // namespace

std::string SuffixedName(const std::string& name, unsigned n) {
    const size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : "";
    return stem + "_" + std::to_string(n) + extension;
}

bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot read " + path + (fd < 0 ? std::string(": ") + std::strerror(errno) : "");
        if (fd >= 0) close(fd);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        close(fd);
        error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
        return false;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (done != bytes.size()) {
        error = "cannot read " + path + ": it changed while read";
        return false;
    }
    return true;
}

bool TextureCopies::CopyFile(const std::string& source, const std::string& dir,
                             const std::string& name, TextureCopy& out, std::string& error) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(source, ec);
    const std::string key = Join(dir, "") + "\n" + (ec ? source : canonical.string());
    const auto done = done_.find(key);
    if (done != done_.end()) {
        out = copies_[done->second];
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(source, kMaxBytes, bytes, error)) return false;
    return Limit(key, source, bytes, dir, name, out, error);
}

bool TextureCopies::WriteBytes(const std::string& source, const std::vector<uint8_t>& bytes,
                               const std::string& dir, const std::string& name, TextureCopy& out,
                               std::string& error) {
    const std::string key = Join(dir, "") + "\n" + source;
    const auto done = done_.find(key);
    if (done != done_.end()) {
        out = copies_[done->second];
        return true;
    }
    if (bytes.size() > kMaxBytes) {
        error = source + " is larger than " + std::to_string(kMaxBytes) + " bytes";
        return false;
    }
    return Limit(key, source, bytes, dir, name, out, error);
}

bool TextureCopies::Limit(const std::string& key, const std::string& source,
                          const std::vector<uint8_t>& bytes, const std::string& dir,
                          const std::string& name, TextureCopy& out, std::string& error) {
    if (!limits_.Any()) return Place(key, source, bytes, dir, name, out, error);
    ResizedTexture resized;
    std::string cause;
    switch (ResizeTexture(bytes, name, limits_, resized, cause)) {
        case ResizeOutcome::kFits:
            return Place(key, source, bytes, dir, name, out, error);
        case ResizeOutcome::kFailed:
            if (!Place(key, source, bytes, dir, name, out, error)) return false;
            copies_.back().notResized = out.notResized = cause;
            return true;
        case ResizeOutcome::kResized:
            break;
    }
    if (!Place(key, source, resized.bytes, dir, resized.name, out, error)) return false;
    TextureCopy& made = copies_.back();
    made.resized = true;
    made.from = resized.from;
    made.to = resized.to;
    out = made;
    return true;
}

bool TextureCopies::Place(const std::string& key, const std::string& source,
                          const std::vector<uint8_t>& bytes, const std::string& dir,
                          const std::string& name, TextureCopy& out, std::string& error) {
    // Past this many taken names something is wrong with the folder.
    constexpr unsigned kMaxTries = 1000;
    for (unsigned n = 0; n < kMaxTries; ++n) {
        const std::string candidate = n == 0 ? name : SuffixedName(name, n);
        const std::string path = Join(dir, candidate);
        // One file on Windows for names that differ only in letter case.
        const auto claim = claimed_.find(Lower(path));
        if (claim != claimed_.end() && claim->second != key) continue;
        Slot slot = SlotAt(path, bytes);
        bool written = false;
        if (slot == Slot::kFree) {
            slot = WriteNew(path, bytes, error);
            if (slot == Slot::kFree) return false;
            written = slot == Slot::kSame;
        }
        if (slot == Slot::kTaken) continue;
        claimed_[Lower(path)] = key;
        out = TextureCopy();
        out.source = source;
        out.file = path;
        out.name = candidate;
        out.written = written;
        out.renamed = n > 0;
        done_[key] = copies_.size();
        copies_.push_back(out);
        return true;
    }
    error = "no free name for " + name + " in " + dir;
    return false;
}

}  // namespace kvooutputs
