#pragma once

#include <optional>
#include <string>
#include <string_view>

// Small file, directory and environment helpers.

// True when the file system reports a status for the path.
bool fileExists(const std::string& path);
// Creates one directory level; an existing directory is left as it is.
void createDirectory(const std::string& path);
// VEMRA_CONFIG, read afresh on every call; absent when unset.
std::optional<std::string> getConfigPath();
// VEMRA_APP, read afresh on every call; "" when unset.
std::string getAppName();
// Extension of the last path component with its dot ("" when none); "\" separates too.
std::string extensionOf(const std::string& path);
// A number for a message, with the stream's default six significant digits
// or as many as asked.
std::string numberText(double value, int precision = 6);
// Last path component; "\" separates too.
std::string fileNameOf(const std::string& path);
// Base directory of temporary files: TEMP, else TMPDIR, else "/tmp".
std::string tempBaseDirectory();
// "/" when the directory already ends in "vemra", else "/vemra/".
std::string tempDirSuffix(std::string_view directory);
// Temp base + suffix + today's date (YYYY-MM-DD); creates nothing.
std::string datedTempPath();
// The whole content of a regular file, read no further than its size ("" for
// an empty one); none when it cannot be opened or read or is no regular file
// (a FIFO, device, socket or directory: never blocks on one).
std::optional<std::string> readFileContent(const std::string& path);
// The whole content of an input file of the given kind ("STEP", "BREP"), read
// as readFileContent does. Refused, naming the path: a file that cannot be
// opened or read ("Could not read <kind> file <path>: <reason>"), one that is
// not a regular file, and an empty one ("<kind> file <path> is empty").
std::string readInputFile(const std::string& path, const std::string& kind);
// Working directory + "/" + `relative`, once it is sure to name a file inside
// the working directory: an absolute path, a ".." component ("\" separating
// too) and a path whose real location (symbolic links resolved) lies outside
// are refused as "Invalid <subject>: <why>". `subject` names the key, the
// entry and the path ("path \"a.brep\" of entity core").
std::string fileInWorkingDirectory(const std::string& workingDirectory, const std::string& relative,
                                   const std::string& subject);
// Colours on the console only on a terminal, and never when NO_COLOR is set.
bool consoleMayColour();
