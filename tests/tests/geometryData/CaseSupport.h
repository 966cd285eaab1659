#pragma once

// Copies of the stored cases run through the driver's case runner: the run
// with its printed output, the documents the cases read, and the one
// "Exception  " line a failing run prints.

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/Files.h"
#include "tests/geometryData/CaseRunner.h"

// The stored cases below the source tree; tests only ever copy them.
inline const std::filesystem::path storedCases = std::filesystem::path(VEMRA_SOURCE_DIR) / "src/tests/geometryData/tests";

struct RunResult {
    int exitCode;
    std::string output;
};

// Runs the case with its standard output captured.
inline RunResult run(const std::filesystem::path& reference, const std::filesystem::path& working)
{
    testing::internal::CaptureStdout();
    const int exitCode = runCase(reference.string(), working.string());
    return {exitCode, testing::internal::GetCapturedStdout()};
}

inline nlohmann::json readJson(const std::filesystem::path& file)
{
    std::ifstream stream(file);
    return nlohmann::json::parse(stream);
}

// Reads the document, lets `edit` change it and writes it back indented.
inline void editJson(const std::filesystem::path& file, const std::function<void(nlohmann::json&)>& edit)
{
    nlohmann::json document = readJson(file);
    edit(document);
    writeText(file, document.dump(4));
}

inline std::filesystem::path rawFile(const std::filesystem::path& reference)
{
    return reference / "geometry/raw/RawGeometryData.json";
}

// Edits the case's raw geometry document.
inline void editRaw(const std::filesystem::path& reference, const std::function<void(nlohmann::json&)>& edit)
{
    editJson(rawFile(reference), edit);
}

// The output from its first "Exception  " to the end of that line; none when
// nothing was reported.
inline std::optional<std::string> exceptionLine(const std::string& output)
{
    const auto at = output.find("Exception  ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return output.substr(at, output.find('\n', at) - at);
}
