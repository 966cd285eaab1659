// The solver probe runs a stand-in "getdp" script placed first on PATH.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "misc/SolverProbe.h"
#include "support/CoutCapture.h"
#include "support/Environment.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

// The word straddles the end of the first 127-character piece.
const std::string longLine = std::string(125, 'x') + "Core" + std::string(40, 'y');

TEST(SolverProbe, PrintsTheSolversCoreLines)
{
    const char nulText[] = "Core A\0 tail x\0Core B ";
    const std::string withNuls(nulText, sizeof nulText - 1);
    struct Case {
        std::string what;
        std::string script; // body of the stand-in; none: no solver on PATH
        std::string info;
    };
    const std::vector<Case> cases = {
        {"core lines on both streams among others",
         "[ \"$1\" = -version ] || { echo \"Core: unexpected option $1\"; exit 1; }\n"
         "echo 'GetDP 3.2.0'\n"
         "echo \"Core: verbose=$OPENBLAS_VERBOSE\"\n"
         "echo 'core in lower case is not the word'\n"
         "echo '" + longLine + "' >&2\n"
         "echo 'trailing noise'\n",
         "Core: verbose=2 " + longLine + " "},
        {"no line holds the word", "echo 'GetDP 3.2.0'\necho 'threads: 4' >&2\n", "<no-info>"},
        {"last line without its line feed", "echo 'GetDP 3.2.0'\nprintf 'Core count 4'\n", "Core count 4 "},
        {"solver fails without output", "exit 3\n", "<no-info>"},
        // A CR only goes with the line feed after it.
        {"DOS line ends", "printf 'GetDP 3.2.0\\r\\nCore A\\r\\nCore\\rB\\r\\n'\n", "Core A Core\rB "},
        // A NUL neither ends a line nor glues the next one onto it.
        {"NUL inside lines", "printf 'noise\\000x\\nCore A\\000 tail\\nx\\000Core B\\n'\n",
         withNuls},
        {"no solver on the path", "", "<no-info>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory bin;
        if (!c.script.empty()) {
            const fs::path solver = fs::path(bin.path()) / "getdp";
            writeText(solver, "#!/bin/sh\n" + c.script);
            fs::permissions(solver, fs::perms::owner_all);
        }
        // Without a stand-in, the path holds no directory that could hold a solver.
        const char* path = std::getenv("PATH");
        const EnvironmentGuard pathGuard(
            "PATH", c.script.empty() ? bin.path() : bin.path() + ":" + (path != nullptr ? path : ""));
        const EnvironmentGuard verboseGuard("OPENBLAS_VERBOSE", nullptr);

        CoutCapture output;
        printGetDpCpuInfo();
        EXPECT_EQ(output.text(), "Opening pipe\nGetDP CPU info : [ " + c.info + "]\n");
        // The setting stays for every later child process.
        const char* verbose = std::getenv("OPENBLAS_VERBOSE");
        EXPECT_EQ(verbose != nullptr ? std::string(verbose) : "<unset>", "2");
    }
}

} // namespace
