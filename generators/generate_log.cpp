#include "generators/generate_log.h"

GenerateLog::~GenerateLog() = default;

void GenerateLog::WriteHeader() {
    Print("Valdrin KVO Exporter Log\n");
    Print("======================\n");
}
