#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

// The whole content of a file; empty when it cannot be read.
inline std::string contentOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Replaces a file's content by the text, byte for byte.
inline void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The names of the entries of a directory, sorted; none when it is not one.
inline std::set<std::string> filesIn(const std::filesystem::path& directory)
{
    std::set<std::string> names;
    std::error_code ignored;
    if (std::filesystem::is_directory(directory, ignored)) {
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}
