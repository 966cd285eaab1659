#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "misc/Utilities.h"

// The test environment's TEMP, or the build tree's test folder without it.
inline std::filesystem::path testTempDirectory()
{
    const char* temp = std::getenv("TEMP");
    return std::filesystem::path(temp != nullptr ? temp : VEMRA_BINARY_DIR "/test-temp");
}

// A fresh, empty directory at this relative path below the test temp directory.
inline std::string freshDirectory(const std::string& relative)
{
    const std::filesystem::path directory = testTempDirectory() / relative;
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory.string();
}

// This relative path below the test temp directory, with nothing left at it.
inline std::filesystem::path clearedPath(const std::string& relative)
{
    const std::filesystem::path path = testTempDirectory() / relative;
    std::filesystem::remove_all(path);
    return path;
}

// A fresh directory of a unique name below the temp base, removed with
// everything in it.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = tempBaseDirectory() + "/scratch-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed for " + pattern);
        }
        directory = buffer.data();
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::permissions(directory, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(directory, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return directory; }

private:
    std::string directory;
};
