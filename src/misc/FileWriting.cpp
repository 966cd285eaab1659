#include "misc/FileWriting.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "vemra_exception.h"

std::string systemReason(int errorNumber)
{
    // Unlike strerror, safe on every thread.
    return std::generic_category().message(errorNumber);
}

void writeFileContent(const std::string& path, std::string_view content)
{
    const auto failure = [&path](int errorNumber) {
        return vemra_exception("Could not write file " + path + ": " + systemReason(errorNumber));
    };
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) {
        throw failure(errno);
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t count = ::write(file, content.data() + written, content.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int errorNumber = errno;
            ::close(file);
            throw failure(errorNumber);
        }
        written += static_cast<std::size_t>(count);
    }
    // A delayed write error (a full disk over the network, say) shows here.
    if (::close(file) != 0 && errno != EINTR) {
        throw failure(errno);
    }
}
