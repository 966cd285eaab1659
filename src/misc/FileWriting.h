#pragma once

#include <string>
#include <string_view>

// The system's text for an error number ("No space left on device").
std::string systemReason(int errorNumber);

// Writes `content` into the file at `path`, created or emptied first. Any
// failure of the open, a write or the close raises
// "Could not write file <path>: <the system's reason>".
void writeFileContent(const std::string& path, std::string_view content);
