// Round-trip command: loads a KVO file and, when asked, saves it again in the
// writer's chunk order. Always exits with status 0.
#include <cstdio>

#include "kvo/kvo_geode.h"

int main(int argc, char** argv) {
    std::printf("KVO Exporter\n");
    std::printf("------------\n");
    if (argc < 2) {
        std::printf("Usage: KVO-Exporter [in_file] ([out_file])\n\n");
        return 0;
    }
    KvoGeode geode(argv[1]);
    if (!geode.Load()) {
        std::printf("ERROR: Failed to load %s\n", argv[1]);
        return 0;
    }
    if (argc > 2 && !geode.Save(argv[2])) {
        std::printf("ERROR: Failed to save to %s\n", argv[2]);
    }
    return 0;
}
