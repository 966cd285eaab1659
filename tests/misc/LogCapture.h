#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <easylogging++.h>

// Collects the lines logged while it lives, from any thread, as (level, message).
class LogCapture {
public:
    using Line = std::pair<el::Level, std::string>;

    LogCapture()
    {
        clearLines();
        el::Helpers::installLogDispatchCallback<Collector>("LogCapture");
    }
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

private:
    class Collector : public el::LogDispatchCallback {
    protected:
        void handle(const el::LogDispatchData* data) override
        {
            std::lock_guard<std::mutex> lock(mutex());
            storage().emplace_back(data->logMessage()->level(), data->logMessage()->message());
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
    static void clearLines()
    {
        std::lock_guard<std::mutex> lock(mutex());
        storage().clear();
    }
};
