// Assimp's OBJ reader parses numbers with a fast routine that is not always
// correctly rounded (a value can come out one unit in the last place off).
// This table maps each value that routine gives for the numbers of a file's
// v, vn and vt lines to the correctly rounded float of the same text, so the
// exported positions are exactly the file's.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace kvoscene {

class ObjExactNumbers {
public:
    // Reads the file's numbers; false when it cannot be read.
    bool Load(const std::string& path);
    // The correctly rounded value for a value the importer gave, or the
    // value itself when it was right or is ambiguous.
    float Fix(float parsed) const;
    bool Empty() const { return fixes_.empty(); }

    // Adds one number's text (the reader's unit of work, for tests).
    void AddNumber(const char* text, size_t length);

private:
    std::unordered_map<uint32_t, uint32_t> fixes_;  // bits to bits
    std::unordered_set<uint32_t> ambiguous_;
};

bool IsObjPath(const std::string& path);

}  // namespace kvoscene
