#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <easylogging++.h>

// Collects the lines logged while it lives, from any thread, as (level, message);
// given a level, only the lines of that level.
class LogCapture {
public:
    using Line = std::pair<el::Level, std::string>;

    LogCapture() : LogCapture(std::nullopt) {}
    explicit LogCapture(el::Level level) : LogCapture(std::optional<el::Level>(level)) {}
    ~LogCapture() { el::Helpers::uninstallLogDispatchCallback<Collector>("LogCapture"); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> lines() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return storage();
    }

    std::vector<std::string> messages(el::Level level) const
    {
        std::vector<std::string> result;
        for (const auto& line : lines()) {
            if (line.first == level) {
                result.push_back(line.second);
            }
        }
        return result;
    }

    // The recorded messages that contain the text.
    std::vector<std::string> containing(const std::string& text) const
    {
        std::vector<std::string> found;
        for (const auto& line : lines()) {
            if (line.second.find(text) != std::string::npos) {
                found.push_back(line.second);
            }
        }
        return found;
    }

private:
    explicit LogCapture(std::optional<el::Level> level)
    {
        {
            std::lock_guard<std::mutex> lock(mutex());
            storage().clear();
            onlyLevel() = level;
        }
        el::Helpers::installLogDispatchCallback<Collector>("LogCapture");
    }

    class Collector : public el::LogDispatchCallback {
    protected:
        void handle(const el::LogDispatchData* data) override
        {
            std::lock_guard<std::mutex> lock(mutex());
            const el::Level level = data->logMessage()->level();
            if (!onlyLevel() || *onlyLevel() == level) {
                storage().emplace_back(level, data->logMessage()->message());
            }
        }
    };

    static std::mutex& mutex()
    {
        static std::mutex instance;
        return instance;
    }
    static std::vector<Line>& storage()
    {
        static std::vector<Line> instance;
        return instance;
    }
    static std::optional<el::Level>& onlyLevel()
    {
        static std::optional<el::Level> instance;
        return instance;
    }
};
