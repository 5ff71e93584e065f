// Assimp's file access for an export: every file the exporter writes goes
// through an OutputFile (kvo/output_file.h), so a device or FIFO is written
// through, a directory refused, and a regular file replaced only by a
// complete new one. Nothing is put in place before Commit, so a failed export
// leaves every target as it was.
#pragma once

#include <assimp/DefaultIOSystem.h>

#include <memory>
#include <string>
#include <vector>

#include "kvo/output_file.h"

namespace kvoview {

class OutputIOSystem : public Assimp::DefaultIOSystem {
public:
    ~OutputIOSystem() override;
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;
    void Close(Assimp::IOStream* stream) override;

    // Puts every file written in place, in the order opened; false with
    // `error` set at the first that fails (the rest are dropped).
    bool Commit(std::string* error);
    // Drops every file written.
    void Discard();
    // Why the first file to write could not be opened; empty when none failed.
    const std::string& OpenFailure() const { return openFailure_; }

private:
    std::vector<std::unique_ptr<OutputFile>> outputs_;
    std::string openFailure_;
};

}  // namespace kvoview
