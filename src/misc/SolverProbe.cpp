#include "misc/SolverProbe.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "vemra_exception.h"

namespace {

struct PipeCloser {
    void operator()(FILE* pipe) const noexcept { ::pclose(pipe); }
};
using Pipe = std::unique_ptr<FILE, PipeCloser>;

bool namesCores(const std::string& line) { return line.find("Core") != std::string::npos; }

} // namespace

void printGetDpCpuInfo()
{
    // The BLAS library reports its cores only when asked; the solver inherits the setting.
    if (::setenv("OPENBLAS_VERBOSE", "2", 1) != 0) {
        throw vemra_exception("SetEnvironmentVariable failed (" + std::to_string(errno) + ")\n");
    }
    std::cout << "Opening pipe" << std::endl;

    const Pipe pipe(::popen("getdp -version 2>&1", "r"));
    if (!pipe) {
        throw vemra_exception("Error: Failed to Open GetDP pipe.\n");
    }
    // Lines are filtered whole, by bytes: a long line arrives in several
    // reads, the word may straddle two of them, and a NUL is text like any
    // other. A CR before the line feed is dropped, as a text-mode pipe does.
    std::string info;
    std::string line;
    const auto endLine = [&] {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (namesCores(line)) {
            // The lines are shown on one line, parted by spaces.
            info += line + ' ';
        }
        line.clear();
    };
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) {
        for (std::size_t i = 0; i < count; ++i) {
            if (buffer[i] == '\n') {
                endLine();
            } else {
                line += buffer[i];
            }
        }
    }
    if (!std::feof(pipe.get())) {
        throw vemra_exception("Error: Failed to Read GetDP pipe to the end.\n");
    }
    // A last line without its line feed is a line all the same.
    if (namesCores(line)) {
        info += line + ' ';
    }
    if (info.empty()) {
        info = "<no-info>";
    }
    std::cout << "GetDP CPU info : [ " << info << "]" << std::endl;
}
