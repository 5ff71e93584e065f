// libFuzzer entry point: decodes arbitrary bytes as the compact scene form,
// as the console host does with the import process's answer. The sanitizers
// catch bad accesses; the checks below catch a decoder that accepts or
// refuses inconsistently.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"
#include "scene/scene_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvoscene::Scene scene;
    std::string error;
    if (kvoscene::DecodeScene(data, size, scene, error)) {
        const std::vector<uint8_t> again = kvoscene::EncodeScene(scene);
        uint32_t version = 0;
        std::memcpy(&version, data + sizeof kvoscene::kSceneMagic, sizeof version);
        if (version == kvoscene::kCodecVersion) {
            // A plain form is consistent enough to give the same bytes again.
            if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
        } else {
            // The list of losses is read tolerantly (any order, unknown keys
            // skipped); what it gives must encode to a form that reads back as itself.
            kvoscene::Scene back;
            if (!kvoscene::DecodeScene(again.data(), again.size(), back, error) ||
                kvoscene::EncodeScene(back) != again) {
                std::abort();
            }
        }
    } else if (error.empty() || !scene.nodes.empty() || !scene.materials.empty()) {
        std::abort();  // a refusal must leave an empty scene and a cause
    }
    return 0;
}
