#include "tests/geometryData/CaseRunner.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <Standard_Failure.hxx>
#include <easylogging++.h>

#include "geometryData/GeometryData.h"
#include "misc/CurrentStage.h"
#include "misc/FatalSignals.h"
#include "misc/FileWriting.h"
#include "misc/JsonLimits.h"
#include "misc/Timer.h"
#include "misc/Utilities.h"
#include "topology/KernelGuard.h"

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

// The advisory lock that keeps a second run off a case: an exclusive flock on
// the working copy's directory, which the run therefore empties instead of
// deleting, so that every run on one case meets the same directory. Runs on
// other working copies beside it go on in parallel. It is held until the run
// returns; the system drops it when the process ends, however it ends. It
// writes nothing.
class CaseTreeLock {
public:
    explicit CaseTreeLock(const std::string& workingDirectory) : tree(workingDirectory)
    {
        // A directory that cannot be opened holds no other run either: the
        // run's next step reports why it cannot be written. Any other failure
        // to lock (no locks on this file system) lets the run go on too.
        descriptor = ::open(tree.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        taken = descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    }
    ~CaseTreeLock()
    {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
    CaseTreeLock(const CaseTreeLock&) = delete;
    CaseTreeLock& operator=(const CaseTreeLock&) = delete;

    bool busy() const { return taken; }
    const std::string& directory() const { return tree; }

private:
    std::string tree;
    int descriptor = -1;
    bool taken = false;
};

// Removes everything below the directory, naming the first entry that stays.
std::error_code emptyDirectory(const fs::path& directory, fs::path& atFault)
{
    std::error_code error;
    for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error)) {
        // Erasing while iterating is allowed for directory_iterator's entries.
        atFault = entry->path();
        fs::remove_all(atFault, error);
        if (error) {
            return error;
        }
    }
    atFault = directory;
    return error;
}

// The file system's own error, as fs::copy raises it, with the two paths of
// the file at fault.
fs::filesystem_error copyFailure(const fs::path& source, const fs::path& target, const std::error_code& error)
{
    return fs::filesystem_error("cannot copy", source, target, error);
}

// fs::copy's recursive copy (symbolic links followed), naming the file at
// fault: the library's own error names only the two top directories.
void copyTree(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    for (fs::directory_iterator entry(from, error), end; !error && entry != end; entry.increment(error)) {
        const fs::path source = entry->path();
        const fs::path target = to / source.filename();
        std::error_code ignored;
        if (fs::is_directory(source, ignored)) {
            if (!fs::create_directory(target, error) && !error) {
                error = std::make_error_code(std::errc::file_exists);
            }
            if (error) {
                throw copyFailure(source, target, error);
            }
            copyTree(source, target);
        } else if (!fs::copy_file(source, target, error) || error) {
            throw copyFailure(source, target, error ? error : std::make_error_code(std::errc::file_exists));
        }
    }
    if (error) {
        throw copyFailure(from, to, error);
    }
}

// Closed when the process started: the log file, opened first, then took its
// descriptor, and everything printed would go into the log.
bool standardOutputClosed()
{
    struct stat output {};
    if (::fstat(STDOUT_FILENO, &output) != 0) {
        return true;
    }
    const std::string logFile =
        el::Loggers::getLogger("default")->typedConfigurations()->filename(el::Level::Error);
    struct stat log {};
    return ::stat(logFile.c_str(), &log) == 0 && log.st_dev == output.st_dev && log.st_ino == output.st_ino;
}

} // namespace

void copyCase(const std::string& referenceDirectory, const std::string& workingDirectory)
{
    copyTree(referenceDirectory, workingDirectory);
}

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
        out << "Exception  CAD kernel failure: " << kernelFailureText(failure) << std::endl;
    } catch (...) {
        out << "Exception  unknown error" << std::endl;
    }
    return 1;
}

int runCase(const std::string& referenceDirectory, const std::string& workingDirectory)
{
    std::error_code error;
    if (!fs::is_directory(workingDirectory, error)) {
        error.clear();
        if (!fs::create_directories(workingDirectory, error)) {
            // Without an error, something that is no directory stands there.
            std::cout << "could not create directory " << workingDirectory << ": "
                      << (error ? error.message() : std::string("it already exists")) << std::endl;
            return 1;
        }
    }
    const CaseTreeLock lock(workingDirectory);
    if (lock.busy()) {
        std::cout << "Exception  The case tree " << lock.directory()
                  << " is in use by another run; try again when it has ended" << std::endl;
        return 1;
    }
    fs::path atFault;
    error = emptyDirectory(workingDirectory, atFault);
    if (error) {
        std::cout << "could not delete directory " << atFault.string() << ": " << error.message() << std::endl;
        return 1;
    }
    return runReportingErrors(
        [&] {
            setCurrentStage("copying the reference case");
            copyCase(referenceDirectory, workingDirectory);
            return runPipeline(workingDirectory);
        },
        std::cout);
}

bool standardOutputWritten(std::ostream& errors)
{
    std::cout.flush();
    if (std::cout && std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return true;
    }
    // The failure's reason is gone by now: one more byte asks the system again.
    const int reason = ::write(STDOUT_FILENO, "\n", 1) < 0 ? errno : EIO;
    errors << "Exception  Could not write to standard output: " << systemReason(reason) << std::endl;
    return false;
}

int runDriver(const std::string& referenceDirectory, const std::string& workingDirectory)
{
    // A reader that went away makes a write fail instead of killing the run.
    std::signal(SIGPIPE, SIG_IGN);
    if (standardOutputClosed()) {
        std::cerr << "Exception  Could not write to standard output: " << systemReason(EBADF) << std::endl;
        return 1;
    }
    if (!installFatalSignalHandlers()) {
        std::cout << "Exception  Could not install the handlers of fatal signals" << std::endl;
        return 1;
    }
    const int code = runCase(referenceDirectory, workingDirectory);
    return standardOutputWritten(std::cerr) ? code : 1;
}
