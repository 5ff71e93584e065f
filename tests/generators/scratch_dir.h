// A fresh directory per test for the generated files, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class ScratchDir {
public:
    ScratchDir() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "kvoexp_generators_";
        name += info != nullptr ? info->name() : "test";
        name += "_" + std::to_string(std::random_device{}());
        for (char& c : name) {
            if (c == '/') c = '_';  // parameterised test names
        }
        root = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& relative) const { return (root / relative).string(); }

private:
    std::filesystem::path root;
};

// The whole file as bytes; empty when it does not exist.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Every LF is preceded by CR and every CR is followed by LF.
inline bool AllLinesEndCrLf(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
    }
    return true;
}
