#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

// Rebuilds the working copy of a reference case, runs the geometry stage on it
// and compares the produced document with the case's result.json. Prints on
// standard output and returns the process exit code: 0 passed, 1 otherwise.
// The raw document and the expected one are refused when nested too deeply
// (misc/JsonLimits.h). A working copy that another run holds locked is
// refused before anything in it changes; the run empties it, not deletes it.
int runCase(const std::string& referenceDirectory, const std::string& workingDirectory);

// The driver's run: runCase after installing the fatal-signal handlers
// (misc/FatalSignals.h), so that a fault no check caught ends in
// "Exception  " and exit code 1 too. A standard output that is closed or
// cannot be written ends the run with exit code 1 and a line on standard error.
int runDriver(const std::string& referenceDirectory, const std::string& workingDirectory);

// Copies the reference case into the (empty) working directory, following
// symbolic links; a failure raises the file system's error for "cannot copy"
// with the system's reason and the paths of the file at fault (fs::copy's
// own error names only the two top directories).
void copyCase(const std::string& referenceDirectory, const std::string& workingDirectory);

// True when everything written to std::cout reached standard output; else
// prints "Exception  Could not write to standard output: <the system's
// reason>" on `errors` and returns false.
bool standardOutputWritten(std::ostream& errors);

// Prints the verdict on `produced` against `expected`; returns 0 when they are
// equal, 1 otherwise. `colours` adds ANSI colours around the verdict.
int reportVerdict(const nlohmann::json& produced, const nlohmann::json& expected, std::ostream& out,
                  bool colours);

// Runs `body` and returns its exit code; any error it raises is printed as
// "Exception  " + its description and gives 1.
int runReportingErrors(const std::function<int()>& body, std::ostream& out);
