// The basic shader file "kvoexp.shd": one shader block per distinct material name.
#pragma once

#include <string>
#include <vector>

#include "generators/i_logger.h"

struct KvoMaterial;

class GenerateShader : public ILogger {
public:
    ~GenerateShader() override;

    // Writes the material's shader block, with one layer per texture file, unless a block
    // of that name was written before while this generator lives.
    void AddShader(const KvoMaterial& material);

    // True when the name was seen before; otherwise records it and returns false.
    // Names are compared byte for byte, case-sensitive.
    bool AlreadyWritten(const std::string& name);

protected:
    void WriteHeader() override;

private:
    // Names of the blocks written, in order; recorded also while the file is not open.
    std::vector<std::string> writtenNames;
};
