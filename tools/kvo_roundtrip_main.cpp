// Round-trip command: loads a KVO file and, when asked, saves it again in the
// writer's chunk order. Exits with status 0 whatever the load and the save
// give (they print their own ERROR line); only a failed write to standard
// output makes it 1.
#include <cstdio>

#include "kvo/kvo_geode.h"
#include "tools/standard_output.h"

namespace {

void Run(int argc, char** argv) {
    std::printf("KVO Exporter\n");
    std::printf("------------\n");
    if (argc < 2) {
        std::printf("Usage: KVO-Exporter [in_file] ([out_file])\n\n");
        return;
    }
    KvoGeode geode(argv[1]);
    if (!geode.Load()) {
        std::printf("ERROR: Failed to load %s\n", argv[1]);
        return;
    }
    if (argc > 2 && !geode.Save(argv[2])) {
        std::printf("ERROR: Failed to save to %s\n", argv[2]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    IgnoreFileSizeSignal();
    Run(argc, argv);
    return FinishOutput("kvo-roundtrip", 0);
}
