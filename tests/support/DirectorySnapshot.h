#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "support/Files.h"

// Every file below a directory with its content, to show that nothing changed.
inline std::map<std::string, std::string> directorySnapshot(const std::filesystem::path& directory)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), directory).string()] = contentOf(entry.path());
        }
    }
    return files;
}
