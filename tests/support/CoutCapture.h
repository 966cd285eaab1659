#pragma once

#include <iostream>
#include <sstream>
#include <string>

// Redirects std::cout into a buffer while it lives.
class CoutCapture {
public:
    CoutCapture() : previous(std::cout.rdbuf(buffer.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(previous); }
    CoutCapture(const CoutCapture&) = delete;
    CoutCapture& operator=(const CoutCapture&) = delete;

    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf* previous;
};
