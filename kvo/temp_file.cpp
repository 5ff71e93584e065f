#include "kvo/temp_file.h"

std::string TemporaryPathBeside(const std::string& target, uint64_t seed, const char* separators) {
    const size_t cut = target.find_last_of(separators);
    std::string path = cut == std::string::npos ? "" : target.substr(0, cut + 1);
    // splitmix64 spreads neighbouring seeds over the whole name space.
    uint64_t z = seed + 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    static const char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    path += ".kvo-";
    for (int i = 0; i < 6; ++i) {
        path += kLetters[z % 36];
        z /= 36;
    }
    return path + ".tmp";
}
