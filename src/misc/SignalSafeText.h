#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

// Text and output for code that may run in a signal handler: nothing here
// allocates or takes a lock.

// Text built in a fixed buffer without allocating; too long a text is marked
// as such rather than cut silently.
class FixedText {
public:
    FixedText(char* buffer, std::size_t capacity) : buffer(buffer), capacity(capacity) { terminate(); }

    FixedText& add(const char* text)
    {
        while (*text != '\0') {
            put(*text++);
        }
        return *this;
    }

    FixedText& addNumber(unsigned long long value, unsigned base = 10, int width = 1)
    {
        char digits[32];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0 && count < 32);
        for (int i = count; i < width; ++i) {
            put('0');
        }
        while (count > 0) {
            put(digits[--count]);
        }
        return *this;
    }

    FixedText& addSigned(long long value)
    {
        if (value < 0) {
            put('-');
            return addNumber(0ULL - static_cast<unsigned long long>(value));
        }
        return addNumber(static_cast<unsigned long long>(value));
    }

    bool fits() const { return !overflow; }
    const char* text() const { return buffer; }
    std::size_t size() const { return length; }

private:
    void put(char c)
    {
        if (length + 1 < capacity) {
            buffer[length++] = c;
            terminate();
        } else {
            overflow = true;
        }
    }
    void terminate() { buffer[length < capacity ? length : capacity - 1] = '\0'; }

    char* buffer;
    std::size_t capacity;
    std::size_t length = 0;
    bool overflow = false;
};

// Writes all of the data, resuming after interruptions; false when a write fails.
inline bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
