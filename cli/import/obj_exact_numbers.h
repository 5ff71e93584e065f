// Assimp's OBJ reader parses numbers with a fast routine that is not always
// correctly rounded (a value can come out one unit in the last place off).
// This table maps each value that routine gives for the numbers of a file's
// v lines to the correctly rounded float of the same text, so the exported
// positions are exactly the file's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvoimport {

class ObjExactNumbers {
public:
    // Reads the file's numbers; false when it cannot be read.
    bool Load(const std::string& path);
    // The correctly rounded value for a value the importer gave, or the
    // value itself when it was right or is ambiguous.
    float Fix(float parsed) const;
    bool Empty() const { return wrong_ == 0; }

    // Adds one number's text (the reader's unit of work, for tests).
    void AddNumber(const char* text, size_t length);

    // The size of the pieces the file is read in.
    static constexpr size_t kChunk = size_t{1} << 20;

private:
    // Open addressing over the importer's values: key and correct value as
    // bits; kEmpty marks a free slot, kAmbiguous a value with several texts.
    static constexpr uint32_t kEmpty = 0xffffffffu;
    static constexpr uint32_t kAmbiguous = 0xfffffffeu;
    void AddLine(const char* begin, const char* end);
    size_t Slot(uint32_t key) const;
    void Grow();
    std::vector<uint32_t> keys_, values_;
    size_t used_ = 0;
    size_t wrong_ = 0;  // entries whose correct value differs
};

bool IsObjPath(const std::string& path);

}  // namespace kvoimport
