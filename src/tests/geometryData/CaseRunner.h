#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

// Rebuilds the working copy of a reference case, runs the geometry stage on it
// and compares the produced document with the case's result.json. Prints on
// standard output and returns the process exit code: 0 passed, 1 otherwise.
// The raw document and the expected one are refused when nested too deeply
// (misc/JsonLimits.h).
int runCase(const std::string& referenceDirectory, const std::string& workingDirectory);

// The driver's run: runCase after installing the fatal-signal handlers
// (misc/FatalSignals.h), so that a fault no check caught ends in
// "Exception  " and exit code 1 too.
int runDriver(const std::string& referenceDirectory, const std::string& workingDirectory);

// Prints the verdict on `produced` against `expected`; returns 0 when they are
// equal, 1 otherwise. `colours` adds ANSI colours around the verdict.
int reportVerdict(const nlohmann::json& produced, const nlohmann::json& expected, std::ostream& out,
                  bool colours);

// Runs `body` and returns its exit code; any error it raises is printed as
// "Exception  " + its description and gives 1.
int runReportingErrors(const std::function<int()>& body, std::ostream& out);
