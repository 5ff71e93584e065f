#include "cli/obj_exact_numbers.h"

#include <assimp/fast_atof.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kvoscene {

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

}  // namespace

bool IsObjPath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".obj";
}

void ObjExactNumbers::AddNumber(const char* text, size_t length) {
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
    const float exact = std::strtof(buffer, nullptr);
    const uint32_t from = Bits(fast), to = Bits(exact);
    if (ambiguous_.count(from)) return;
    const auto found = fixes_.find(from);
    if (found != fixes_.end()) {
        if (found->second != to) {
            fixes_.erase(found);
            ambiguous_.insert(from);
        }
        return;
    }
    // Kept also when right, so that a later text with the same fast value
    // and another exact one is seen to be ambiguous.
    fixes_.emplace(from, to);
}

bool ObjExactNumbers::Load(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<char> line(1 << 16);
    while (std::fgets(line.data(), static_cast<int>(line.size()), file)) {
        const char* p = line.data();
        while (IsBlank(*p)) ++p;
        if (p[0] != 'v' || !(IsBlank(p[1]) || ((p[1] == 'n' || p[1] == 't') && IsBlank(p[2])))) {
            continue;
        }
        p += p[1] == 'n' || p[1] == 't' ? 2 : 1;
        for (;;) {
            while (IsBlank(*p)) ++p;
            if (*p == '\0' || *p == '\n' || *p == '#') break;
            const char* start = p;
            while (*p && *p != '\n' && !IsBlank(*p)) ++p;
            AddNumber(start, static_cast<size_t>(p - start));
        }
    }
    std::fclose(file);
    // Values that were right everywhere need no entry.
    for (auto it = fixes_.begin(); it != fixes_.end();) {
        it = it->first == it->second ? fixes_.erase(it) : std::next(it);
    }
    return true;
}

float ObjExactNumbers::Fix(float parsed) const {
    const auto found = fixes_.find(Bits(parsed));
    return found == fixes_.end() ? parsed : FromBits(found->second);
}

}  // namespace kvoscene
