// Fixture files of the tests: scratch folders of the test build, and
// whole-file reads and writes, byte for byte.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadAll(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A scratch folder of the test build, made empty.
inline std::filesystem::path FreshTestFolder(const std::string &name)
{
    std::filesystem::path dir = std::filesystem::path(TAILPATCH_TEST_WORK) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}
