// Imports a list of scenes in long-lived worker processes, several at once,
// and hands them out in the order given, so the export that follows stays
// sequential and its bytes do not depend on the number of workers. At most
// `jobs` scenes are imported and waiting at any time, which bounds memory.
#pragma once

#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/import/assimp_import.h"
#include "cli/import/embedded_images.h"
#include "cli/import/import_protocol.h"
#include "scene/compact_scene.h"

namespace kvoimport {

struct ImportPoolSettings {
    std::string workerProgram;  // the kvoexp program, run with --import-worker
    unsigned jobs = 1;
    double timeoutSeconds = 60;     // per scene
    uint64_t memoryLimitBytes = 0;  // shared by all import processes; 0: none
    ImportSettings import;
    bool decode = true;      // decode each answer into ImportedScene::scene
    bool keepBytes = false;  // keep the scene form in ImportedScene::bytes
    const volatile sig_atomic_t* interrupted = nullptr;  // polled; non-zero stops the pool
};

struct ImportedScene {
    std::string path;
    bool ok = false;
    std::string error;   // why not, when not ok
    double seconds = 0;  // from the request to the decoded scene
    kvoscene::Scene scene;
    AnswerBytes bytes;
    // The files the import read: the scene, the files it refers to, the
    // textures it names that exist.
    std::vector<std::string> filesRead;
    // The images the scene file holds that its materials' diffuse maps name.
    std::vector<EmbeddedImage> embeddedImages;
};

class ImportPool {
public:
    ImportPool(ImportPoolSettings settings, std::vector<std::string> paths);
    ~ImportPool();
    ImportPool(const ImportPool&) = delete;
    ImportPool& operator=(const ImportPool&) = delete;

    // The next scene in the given order once it is imported; false when every
    // scene was handed out or the pool was interrupted.
    bool Next(ImportedScene& out);

private:
    struct Slot;
    void RunSlot(Slot& slot);
    ImportedScene ImportOne(Slot& slot, const std::string& path);
    // Decodes a scene form when the settings ask; false with the cause in `result`.
    bool DecodeForm(const uint8_t* data, size_t size, ImportedScene& result) const;
    bool Stopping() const;

    const ImportPoolSettings settings_;
    const std::vector<std::string> paths_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;      // the next scene a slot takes
    size_t consumed_ = 0;  // the next scene Next() hands out
    bool stop_ = false;
    std::vector<std::unique_ptr<ImportedScene>> results_;
    int wake_[2] = {-1, -1};  // written to on destruction: wakes slots waiting on a worker
    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<std::thread> threads_;
    size_t ahead_ = 1;          // how many scenes may be imported ahead of Next()
    uint64_t workerLimit_ = 0;  // each import process's share of the memory budget
    std::string startError_;    // why a slot's thread could not be started
};

// Formats a number of seconds for messages: "0.001 s", "60 s", "1.5 s".
std::string FormatSeconds(double seconds);

}  // namespace kvoimport
