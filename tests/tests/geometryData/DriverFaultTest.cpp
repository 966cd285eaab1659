// A fault inside the pipeline that no check catches, provoked on purpose: the
// driver's run must end in "Exception  " with what the stage was doing and
// exit code 1, not in a bare signal.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include <easylogging++.h>
#include <nlohmann/json.hpp>

#include "CaseSupport.h"
#include "support/DirectorySnapshot.h"
#include "support/Files.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// Faults when the pipeline warns about the operation "fault": a place inside
// the model's constructor that the test can reach without changing the code.
class FaultOnWarning : public el::LogDispatchCallback {
protected:
    void handle(const el::LogDispatchData* data) override
    {
        if (data->logMessage()->message().find("Unknown operation \"fault\"") != std::string::npos) {
            void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            *static_cast<volatile int*>(page) = 1;
        }
    }
};

TEST(DriverFault, FaultInsideThePipelineEndsInTheExceptionLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Fixed names: the child runs this test again and must find the same ones.
    const std::string root = freshDirectory("driver-fault");
    const std::string reference = root + "/reference";
    const std::string working = root + "/current";
    const std::string temp = root + "/temp";
    fs::create_directories(temp);
    fs::copy(storedCases / "test02", reference, fs::copy_options::recursive);
    editRaw(reference, [](json& raw) { raw["operate"] = {{{"function", "fault"}}}; });
    const auto before = directorySnapshot(reference);

    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            ::setenv("TEMP", temp.c_str(), 1);
            ::setenv("NO_COLOR", "1", 1);
            el::Helpers::installLogDispatchCallback<FaultOnWarning>("FaultOnWarning");
            std::_Exit(runDriver(reference, working) + 10);
        },
        ::testing::ExitedWithCode(1),
        "Parsing json\\. [^\n]* s\\.\n.*Crash dump written to: " + temp +
            "/vemra/[^\n]*\\.dmp\nException  Fatal signal SIGSEGV \\(invalid memory access\\) while reading the "
            "operations\n$");

    EXPECT_EQ(filesIn(temp + "/vemra").size(), 1u);
    EXPECT_EQ(directorySnapshot(reference), before);
    EXPECT_EQ(filesIn(root), (std::set<std::string>{"current", "reference", "temp"}));
    fs::remove_all(root);
}

} // namespace
