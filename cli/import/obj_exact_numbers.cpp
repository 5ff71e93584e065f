#include "cli/import/obj_exact_numbers.h"

#include <assimp/fast_atof.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace kvoimport {

namespace {

// The importer's routine reports bad numbers by throwing this.
struct NotANumber {
    template <class... Args>
    explicit NotANumber(Args&&...) {}
};

uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float FromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Whether a line that starts with `text` can still be a vertex line.
bool MayBeVertexLine(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) return true;
    if (text[i] != 'v') return false;
    return i + 1 == text.size() || IsBlank(text[i + 1]);
}

uint32_t Mix(uint32_t key) {
    uint64_t h = key * 0x9e3779b97f4a7c15ull;
    return static_cast<uint32_t>(h >> 32);
}

}  // namespace

size_t ObjExactNumbers::Slot(uint32_t key) const {
    const size_t mask = keys_.size() - 1;
    size_t at = Mix(key) & mask;
    while (keys_[at] != kEmpty && keys_[at] != key) at = (at + 1) & mask;
    return at;
}

void ObjExactNumbers::Grow() {
    std::vector<uint32_t> keys = std::move(keys_), values = std::move(values_);
    keys_.assign(keys.empty() ? 1024 : keys.size() * 2, kEmpty);
    values_.assign(keys_.size(), 0);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == kEmpty) continue;
        const size_t at = Slot(keys[i]);
        keys_[at] = keys[i];
        values_[at] = values[i];
    }
}

void ObjExactNumbers::AddNumber(const char* text, size_t length) {
    // The importer's routine stops at the first character that cannot
    // continue a number; a copy gives it a terminator.
    char buffer[64];
    if (length == 0 || length >= sizeof buffer) return;
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    float fast = 0;
    try {
        Assimp::fast_atoreal_move<float, NotANumber>(buffer, fast);
    } catch (const NotANumber&) {
        return;
    }
    const char* start = buffer[0] == '+' ? buffer + 1 : buffer;
    float exact = 0;
    const auto parsed = std::from_chars(start, buffer + length, exact);
    if (parsed.ec != std::errc() || parsed.ptr == start) return;
    const uint32_t from = Bits(fast), to = Bits(exact);
    if (from == kEmpty) return;
    if ((used_ + 1) * 2 > keys_.size()) Grow();
    const size_t at = Slot(from);
    if (keys_[at] == kEmpty) {
        keys_[at] = from;
        values_[at] = to;
        ++used_;
        wrong_ += from != to;
    } else if (values_[at] != to && values_[at] != kAmbiguous) {
        // Two texts, one importer value, two correct values: leave it alone.
        wrong_ -= values_[at] != from;
        values_[at] = kAmbiguous;
    }
}

// The numbers of one line, when it is a vertex line ("v x y z").
void ObjExactNumbers::AddLine(const char* p, const char* end) {
    while (p < end && IsBlank(*p)) ++p;
    if (end - p < 2 || p[0] != 'v' || !IsBlank(p[1])) return;
    ++p;
    for (;;) {
        while (p < end && IsBlank(*p)) ++p;
        if (p == end || *p == '#') return;
        const char* start = p;
        while (p < end && !IsBlank(*p)) ++p;
        AddNumber(start, static_cast<size_t>(p - start));
    }
}

// Read in pieces, not mapped: a file cut short while it is read ends the
// reading early instead of raising SIGBUS.
bool ObjExactNumbers::Load(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    std::vector<char> chunk(kChunk);
    std::string carry;      // the start of a line that goes on in the next piece
    bool skipping = false;  // in a line that is no vertex line, up to its end
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        const char* p = chunk.data();
        const char* const end = p + n;
        while (p < end) {
            const char* newline = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* lineEnd = newline ? newline : end;
            if (skipping) {
                skipping = newline == nullptr;
            } else if (newline && carry.empty()) {
                AddLine(p, lineEnd);
            } else {
                carry.append(p, lineEnd);
                if (newline) {
                    AddLine(carry.data(), carry.data() + carry.size());
                    carry.clear();
                } else if (!MayBeVertexLine(carry)) {
                    carry.clear();
                    skipping = true;
                }
            }
            p = newline ? newline + 1 : end;
        }
    }
    close(fd);
    if (ok && !carry.empty()) AddLine(carry.data(), carry.data() + carry.size());
    return ok;
}

float ObjExactNumbers::Fix(float parsed) const {
    if (wrong_ == 0) return parsed;
    const uint32_t key = Bits(parsed);
    const size_t at = Slot(key);
    if (keys_[at] != key || values_[at] == kAmbiguous) return parsed;
    return FromBits(values_[at]);
}

}  // namespace kvoimport
