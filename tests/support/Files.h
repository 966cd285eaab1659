#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
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

// The text with the first match of the pattern's group 1 replaced; none when
// nothing matches. `lineNumber`, when given, receives the line (from 1) where
// the match starts.
inline std::optional<std::string> replacedGroup(const std::string& text, const std::regex& pattern,
                                                const std::string& replacement, std::size_t* lineNumber = nullptr)
{
    std::smatch match;
    if (!std::regex_search(text, match, pattern)) {
        return std::nullopt;
    }
    if (lineNumber != nullptr) {
        *lineNumber = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + match.position(0), '\n'));
    }
    return text.substr(0, static_cast<std::size_t>(match.position(1))) + replacement +
           text.substr(static_cast<std::size_t>(match.position(1) + match.length(1)));
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
