#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "misc/Utilities.h"

// A fresh directory below the temp base, removed with everything in it.
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

// Sets or unsets an environment variable and restores it afterwards.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::string variable) : name(std::move(variable))
    {
        if (const char* value = std::getenv(name.c_str())) {
            saved = value;
        }
    }
    EnvironmentGuard(std::string variable, const std::optional<std::string>& value) : EnvironmentGuard(std::move(variable))
    {
        set(value);
    }
    ~EnvironmentGuard() { set(saved); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

    void set(const std::optional<std::string>& value) const
    {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

private:
    std::string name;
    std::optional<std::string> saved;
};
