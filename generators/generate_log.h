// The export log "kvoexp_log.txt": a two-line header, then the lines the export prints.
#pragma once

#include "generators/i_logger.h"

class GenerateLog : public ILogger {
public:
    ~GenerateLog() override;

protected:
    void WriteHeader() override;
};
