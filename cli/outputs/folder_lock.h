// One export per output folder at a time: an invocation takes an exclusive
// flock on `.kvoexp.lock` in each folder it exports into and holds it to its
// end; a second invocation into a locked folder fails at once with a message
// (waiting could deadlock two invocations that lock folders in other orders).
#pragma once

#include <string>
#include <vector>

namespace kvooutputs {

constexpr const char* kLockFileName = ".kvoexp.lock";

class FolderLocks {
public:
    FolderLocks() = default;
    ~FolderLocks();
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

    // Locks the existing folder `dir` (at once when this invocation holds it
    // already); false with the message when another process holds it or the
    // lock file cannot be made.
    bool Lock(const std::string& dir, std::string& error);
    // Removes the lock file of `dir` (as given to Lock) and releases it.
    void Release(const std::string& dir);
    // Removes the lock files and releases the locks.
    void ReleaseAll();

private:
    struct Held {
        std::string path;
        int fd;
        int dirFd;                         // the folder, open
        unsigned long long device, inode;  // of the folder
    };
    // Removes the lock file from the open folder and closes both.
    static void Let(const Held& held);
    std::vector<Held> held_;
};

}  // namespace kvooutputs
