#include "tests/geometryData/CaseRunner.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <Standard_Failure.hxx>
#include <Standard_Type.hxx>

#include "geometryData/GeometryData.h"
#include "misc/CurrentStage.h"
#include "misc/FatalSignals.h"
#include "misc/JsonLimits.h"
#include "misc/Timer.h"
#include "misc/Utilities.h"

namespace fs = std::filesystem;

namespace {

// The console attributes of the verdict: 2 green, 12 light red, 15 back to
// the terminal's own default (a forced white would vanish on light terminals).
constexpr const char* green = "\x1b[32m";
constexpr const char* lightRed = "\x1b[91m";
constexpr const char* reset = "\x1b[0m";

nlohmann::json parseFile(const std::string& path)
{
    // Every refusal names the file.
    return parseJsonFile(path);
}

int runPipeline(const std::string& workingDirectory)
{
    Timer timer;
    timer.setScopeMessage("Testing Quillmark.");

    timer.start(" Parsing json.");
    setCurrentStage("parsing the raw geometry document");
    const nlohmann::json raw = parseFile(workingDirectory + "/geometry/raw/RawGeometryData.json");
    timer.stop();

    // The model's constructor names its own phases.
    GeometryData geometryData(raw, workingDirectory);

    timer.start("Constructing geometryData.json.");
    setCurrentStage("converting the model to JSON");
    const nlohmann::json produced = geometryData.toJson();
    timer.stop();

    setCurrentStage("parsing the expected result");
    const nlohmann::json expected = parseFile(workingDirectory + "/result.json");
    setCurrentStage("comparing the result with the expected one");
    return reportVerdict(produced, expected, std::cout, consoleMayColour());
}

} // namespace

int reportVerdict(const nlohmann::json& produced, const nlohmann::json& expected, std::ostream& out,
                  bool colours)
{
    const nlohmann::json patch = nlohmann::json::diff(produced, expected);
    if (patch.empty()) {
        out << (colours ? green : "") << "TEST01 passed" << std::endl;
        out << (colours ? reset : "") << std::flush;
        return 0;
    }
    // Serialised before printing, so an invalid string leaves no half verdict.
    const std::string patchText = patch.dump();
    const std::string producedText = produced.dump();
    out << (colours ? lightRed : "") << "TEST01 failed" << std::endl;
    out << "json diff :: " << patchText << std::endl;
    out << std::endl;
    out << producedText << std::endl;
    out << (colours ? reset : "") << std::flush;
    return 1;
}

int runReportingErrors(const std::function<int()>& body, std::ostream& out)
{
    try {
        return body();
    } catch (const std::exception& error) {
        out << "Exception  " << error.what() << std::endl;
    } catch (const Standard_Failure& failure) {
        // The CAD kernel's failures are not standard exceptions.
        out << "Exception  " << failure.DynamicType()->Name() << ": " << failure.GetMessageString() << std::endl;
    } catch (...) {
        out << "Exception  unknown error" << std::endl;
    }
    return 1;
}

int runCase(const std::string& referenceDirectory, const std::string& workingDirectory)
{
    std::error_code error;
    if (fs::exists(workingDirectory, error)) {
        fs::remove_all(workingDirectory, error);
        if (error) {
            std::cout << "could not delete directory " << error.value() << std::endl;
        }
    }
    error.clear();
    if (!fs::create_directories(workingDirectory, error)) {
        std::cout << "could not create directory " << error.value() << std::endl;
        return 1;
    }
    return runReportingErrors(
        [&] {
            setCurrentStage("copying the reference case");
            fs::copy(referenceDirectory, workingDirectory, fs::copy_options::recursive);
            return runPipeline(workingDirectory);
        },
        std::cout);
}

int runDriver(const std::string& referenceDirectory, const std::string& workingDirectory)
{
    if (!installFatalSignalHandlers()) {
        std::cout << "Exception  Could not install the handlers of fatal signals" << std::endl;
        return 1;
    }
    return runCase(referenceDirectory, workingDirectory);
}
