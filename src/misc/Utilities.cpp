#include "misc/Utilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "misc/FileWriting.h"
#include "vemra_exception.h"

namespace fs = std::filesystem;

namespace {

// Paths written on other platforms use "\" as a separator too.
fs::path portablePath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return fs::path(path);
}

// What a file that is not a regular one is, for the message refusing it.
const char* fileKindOf(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return nullptr;
}

// An open regular file, closed when it leaves scope.
class InputFile {
public:
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    explicit InputFile(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    {
        if (fd < 0) {
            problem = systemReason(errno);
            return;
        }
        struct stat status {};
        if (::fstat(fd, &status) != 0) {
            problem = systemReason(errno);
        } else if (!S_ISREG(status.st_mode)) {
            const char* kind = fileKindOf(status.st_mode);
            problem = kind == nullptr ? std::string("it is not a regular file")
                                      : std::string("it is ") + kind + ", not a regular file";
        } else {
            size = static_cast<std::size_t>(status.st_size);
        }
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }

    // Empty when the file can be read; else why not.
    const std::string& whyNot() const { return problem; }
    std::size_t byteCount() const { return size; }

    // At most the size the file had when it was opened: a file that grows
    // while it is read is not followed.
    bool readAll(std::string& content)
    {
        content.resize(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t count = ::read(fd, &content[done], size - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                problem = systemReason(errno);
                return false;
            }
            if (count == 0) {
                break;
            }
            done += static_cast<std::size_t>(count);
        }
        content.resize(done);
        return true;
    }

private:
    int fd;
    std::string problem;
    std::size_t size = 0;
};

void refuseUnreadable(const InputFile& file, const std::string& path, const std::string& kind)
{
    if (!file.whyNot().empty()) {
        throw vemra_exception("Could not read " + kind + " file " + path + ": " + file.whyNot());
    }
}

void refuseEmpty(std::size_t size, const std::string& path, const std::string& kind)
{
    if (size == 0) {
        throw vemra_exception(kind + " file " + path + " is empty");
    }
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

std::string numberText(double value, int precision)
{
    std::ostringstream text;
    text.precision(precision);
    text << value;
    return text.str();
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
    InputFile file(path);
    std::string content;
    if (!file.whyNot().empty() || !file.readAll(content)) {
        return std::nullopt;
    }
    return content;
}

std::string readInputFile(const std::string& path, const std::string& kind)
{
    InputFile file(path);
    refuseUnreadable(file, path, kind);
    refuseEmpty(file.byteCount(), path, kind);
    std::string content;
    file.readAll(content);
    refuseUnreadable(file, path, kind);
    refuseEmpty(content.size(), path, kind);
    return content;
}

std::string fileInWorkingDirectory(const std::string& workingDirectory, const std::string& relative,
                                   const std::string& subject)
{
    const fs::path given = portablePath(relative);
    const std::string portable = given.string();
    const std::string file = workingDirectory + "/" + relative;
    // The stage writes its own paths with a leading "/" ("/geometry/raw/a.brep"):
    // such a path is taken below the working directory when it names a file
    // there, and as the absolute path it looks like otherwise. A drive or a
    // network share is absolute on the platforms that write them.
    const bool drive = portable.size() >= 3 && std::isalpha(static_cast<unsigned char>(portable[0])) != 0 &&
                       portable[1] == ':' && portable[2] == '/';
    std::error_code missing;
    const bool absolute = drive || portable.rfind("//", 0) == 0 ||
                          (given.has_root_directory() && !fs::exists(fs::symlink_status(file, missing)));
    if (absolute) {
        throw vemra_exception("Invalid " + subject + ": the path is absolute; name the file relative to the working "
                              "directory");
    }
    for (const auto& component : given) {
        if (component == "..") {
            throw vemra_exception("Invalid " + subject + ": the path must not contain \"..\"");
        }
    }
    // A symbolic link may still lead out.
    std::error_code error;
    const fs::path base = fs::canonical(workingDirectory, error);
    fs::path real;
    if (!error) {
        real = fs::weakly_canonical(file, error);
    }
    if (error) {
        throw vemra_exception("Invalid " + subject + ": its location cannot be resolved: " + error.message());
    }
    // The working directory itself passes here: the read refuses a directory.
    if (std::mismatch(base.begin(), base.end(), real.begin(), real.end()).first != base.end()) {
        throw vemra_exception("Invalid " + subject + ": it leads to " + real.string() +
                              ", outside the working directory " + base.string());
    }
    return file;
}
