// "geometry.ini": an objects block with one entry per exported object file.
#pragma once

#include <string>

#include "generators/i_logger.h"

class GenerateGeometry : public ILogger {
public:
    // Writes the objects block's closing line before the base closes the file.
    ~GenerateGeometry() override;

    // Appends the entry of one object; fileName is the object's file without directory.
    void AddObject(const std::string& name, const std::string& fileName);

protected:
    void WriteHeader() override;
};
