// Watches that the output folder stays where it was opened. The plug-in
// writes each run's files relative to the folder it opened, but the user's
// path no longer leads to them once the folder is renamed or replaced (by a
// link into another tree): the host checks the path against the open folder
// while the export runs and stops it when they part, then removes any
// temporary files from the folder it opened.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kvooutputs {

class FolderGuard {
public:
    FolderGuard() = default;
    ~FolderGuard();
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;

    // Opens the folder; false (and no guarding) when it cannot be opened.
    bool Open(const std::string& dir);
    // Whether the path no longer leads to the folder opened.
    bool Moved() const;
    // Cheap enough for every pump call (inline, it mostly counts): looks at the
    // path at most every millisecond; true once it has seen the folder moved.
    bool Poll() {
        if (moved_ || fd_ < 0 || ++calls_ < kCallsPerClockRead) return moved_;
        return PollSlow();
    }
    // Removes the writer's temporary files (.kvo-XXXXXX.tmp) from the opened
    // folder, wherever it is now; returns their names.
    std::vector<std::string> RemoveTemporaries() const;

private:
    // The clock is read every so many calls.
    static constexpr unsigned kCallsPerClockRead = 64;
    bool PollSlow();

    std::string dir_;
    int fd_ = -1;
    unsigned long long device_ = 0, inode_ = 0;
    unsigned calls_ = 0;
    bool moved_ = false;
    std::chrono::steady_clock::time_point lastLook_{};
};

}  // namespace kvooutputs
