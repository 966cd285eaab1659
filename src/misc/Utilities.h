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
// Last path component; "\" separates too.
std::string fileNameOf(const std::string& path);
// Base directory of temporary files: TEMP, else TMPDIR, else "/tmp".
std::string tempBaseDirectory();
// "/" when the directory already ends in "vemra", else "/vemra/".
std::string tempDirSuffix(std::string_view directory);
// Temp base + suffix + today's date (YYYY-MM-DD); creates nothing.
std::string datedTempPath();
// The whole content of a file; none when it cannot be opened or read (a
// directory opens but cannot be read).
std::optional<std::string> readFileContent(const std::string& path);
// Colours on the console only on a terminal, and never when NO_COLOR is set.
bool consoleMayColour();
