#include "misc/Utilities.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "vemra_exception.h"

namespace fs = std::filesystem;

namespace {

// Paths written on other platforms use "\" as a separator too.
fs::path portablePath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return fs::path(path);
}

} // namespace

bool fileExists(const std::string& path)
{
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0;
}

void createDirectory(const std::string& path)
{
    const fs::path directory(path);
    std::error_code error;
    if (fs::exists(directory, error)) {
        // Something that is not a directory would make every later write fail silently.
        if (!fs::is_directory(directory, error)) {
            throw vemra_exception("Could not create directory " + path);
        }
        return;
    }
    if (!fs::create_directory(directory)) {
        throw vemra_exception("Could not create directory " + path);
    }
}

std::optional<std::string> getConfigPath()
{
    const char* value = std::getenv("VEMRA_CONFIG");
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string getAppName()
{
    const char* value = std::getenv("VEMRA_APP");
    return value == nullptr ? std::string() : std::string(value);
}

std::string extensionOf(const std::string& path)
{
    return portablePath(path).extension().string();
}

std::string fileNameOf(const std::string& path)
{
    return portablePath(path).filename().string();
}

std::string tempBaseDirectory()
{
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "/tmp";
}

std::string tempDirSuffix(std::string_view directory)
{
    constexpr std::string_view word = "vemra";
    if (directory.size() >= word.size() && directory.substr(directory.size() - word.size()) == word) {
        return "/";
    }
    return "/vemra/";
}

std::string datedTempPath()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::ostringstream date;
    date << (local.tm_year + 1900) << "-" << std::setw(2) << std::setfill('0') << (local.tm_mon + 1) << "-"
         << std::setw(2) << std::setfill('0') << local.tm_mday;
    const std::string base = tempBaseDirectory();
    return base + tempDirSuffix(base) + date.str();
}

bool consoleMayColour()
{
    return ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
}

std::optional<std::string> readFileContent(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    if (!file || !(bytes << file.rdbuf())) {
        return std::nullopt;
    }
    return bytes.str();
}
