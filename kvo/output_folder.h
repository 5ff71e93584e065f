// The output folder of an export run, opened once and held for the run. On
// POSIX the files directly in it are created, renamed and removed relative to
// the open folder, so a folder renamed or replaced by a link meanwhile still
// gets them where it now is. On Windows the held handle keeps the folder from
// being renamed or removed, and files go by path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class OutputFolder {
public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens the folder `path` names; false with `error` set when it cannot be.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return native_ != kNone; }
    const std::string& Path() const { return path_; }

    // When `target` is this folder's path, a separator and a name without
    // separators, sets `name` and returns true.
    bool NameIn(const std::string& target, std::string& name) const;

#ifndef _WIN32
    int Descriptor() const {
        return static_cast<int>(native_);
    }
#endif

private:
    static constexpr intptr_t kNone = -1;
    std::string path_;
    intptr_t native_ = kNone;  // a descriptor on POSIX, a HANDLE on Windows
};

#ifndef _WIN32
// The descriptor and name through which `path` is reached: the open folder's
// and the bare name when `path` lies directly in `folder`, else AT_FDCWD and
// the path itself, for the *at calls.
int PlaceOf(const std::string& path, const OutputFolder* folder, std::string& name);
#endif

// std::fopen(path, "wb"), relative to `folder` when `path` lies directly in
// it (POSIX): a link of that name is followed as fopen does.
std::FILE* OpenForWriting(const std::string& path, const OutputFolder* folder);
