#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets or unsets an environment variable and restores it afterwards.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::string variable) : name(std::move(variable))
    {
        if (const char* value = std::getenv(name.c_str())) {
            saved = value;
        }
    }
    EnvironmentGuard(std::string variable, const std::optional<std::string>& value)
        : EnvironmentGuard(std::move(variable))
    {
        set(value);
    }
    // A null value unsets the variable.
    EnvironmentGuard(std::string variable, const char* value)
        : EnvironmentGuard(std::move(variable), value != nullptr ? std::optional<std::string>(value) : std::nullopt)
    {
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
